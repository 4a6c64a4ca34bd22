#!/usr/bin/env python3
"""tests/interop/test_encrypt_peers.py - archives encrypted by `ostrana add -p` against the peers.

Risk: an encrypted archive that only this project can open.  The ZIP AES
format (method 99, AE-2) at 128, 192 and 256 bits must open in 7-Zip, bsdtar
and ostrana, and each entry is decrypted here from its definition (PBKDF2,
AES-CTR, HMAC-SHA1) with Debian's python3-cryptography.  Traditional
archives at levels 0, 6 and 9 (an empty file among the entries) must pass
`7zz t` and come back byte for byte through 7-Zip and Python's zipfile with
the password.  Strong encryption with AES-128, -192 and -256 must come back
through `ostrana extract` and 7-Zip.  One strong-encryption entry is also
decrypted here from the bytes on disk, independently of the engine: Python's
hashlib for SHA-1 and the key derivation, `openssl enc` for AES-CBC,
following the decryption header field by field.  A repaired archive keeps
its entries readable; an update under another password copies an encrypted
entry byte for byte.
"""
import hashlib
import hmac
import os
import shutil
import struct
import tempfile
import unittest
import zipfile
import zlib

from peerlib import OSTRANA, have, run, tree_of, write_tree

PASSWORD = "p\u00e4ss w0rd"  # a blank and a non-ASCII character (UTF-8 bytes)
ALGORITHMS = {128: 0x660E, 192: 0x660F, 256: 0x6610}


def make_tree(root):
    import random
    rnd = random.Random(12)
    files = {
        "empty.txt": b"",
        "text.txt": b"".join(b"line %d of the text\n" % (i * 31 % 97) for i in range(4000)),
        "random.bin": bytes(rnd.getrandbits(8) for _ in range(40000)),
        "sub/thirty-two.txt": b"x" * 32,
        "sub/block.bin": bytes(rnd.getrandbits(8) for _ in range(8192)),
    }
    write_tree(root, files)
    return files


# ---- an independent reader of one strong-encryption entry -------------------------------

def derive_key(digest, nbytes):
    """The strong encryption format's DeriveKey over a 20-byte SHA-1 value."""
    b1 = bytearray(b"\x36" * 64)
    b2 = bytearray(b"\x5c" * 64)
    for i in range(20):
        b1[i] ^= digest[i]
        b2[i] ^= digest[i]
    return (hashlib.sha1(bytes(b1)).digest() + hashlib.sha1(bytes(b2)).digest())[:nbytes]


def aes_cbc_decrypt(data, key, iv):
    p = run(["openssl", "enc", "-d", "-aes-%d-cbc" % (8 * len(key)), "-K", key.hex(), "-iv", iv.hex(), "-nopad"],
            data=data)
    return p.stdout


def unpad(block_data):
    pad = block_data[-1]
    assert 1 <= pad <= 16 and block_data[-pad:] == bytes([pad]) * pad, "bad padding"
    return block_data[:-pad]


def decrypt_strong_entry(archive, info, password):
    """Follows the decryption header table; returns (header fields, the entry's content)."""
    with open(archive, "rb") as h:
        whole = h.read()
    at = info.header_offset
    assert whole[at:at + 4] == b"PK\x03\x04"
    name_n, extra_n = struct.unpack_from("<HH", whole, at + 26)
    data = whole[at + 30 + name_n + extra_n:at + 30 + name_n + extra_n + info.compress_size]
    fields = {}
    iv_size, = struct.unpack_from("<H", data, 0)
    fields["iv_size"] = iv_size
    pos = 2
    if iv_size == 0:
        iv_hashed = struct.pack("<IQ", info.CRC, info.file_size)
    else:
        iv_hashed = data[pos:pos + iv_size]
        pos += iv_size
    iv = (iv_hashed + bytes(16))[:16]
    remaining, fmt, alg, bits, flags, erd_n = struct.unpack_from("<IHHHHH", data, pos)
    fields.update(remaining=remaining, format=fmt, algorithm=alg, bits=bits, flags=flags, erd_size=erd_n)
    header_start = pos + 4
    pos += 14
    erd = data[pos:pos + erd_n]
    pos += erd_n
    reserved, = struct.unpack_from("<I", data, pos)
    pos += 4 + reserved
    v_n, = struct.unpack_from("<H", data, pos)
    fields.update(reserved=reserved, validation_size=v_n)
    pos += 2
    vdata = data[pos:pos + v_n]
    pos += v_n
    fields["header_size"] = pos
    assert pos - header_start == remaining, "remaining size"
    key_n = bits // 8

    master = derive_key(hashlib.sha1(password).digest(), key_n)
    random_data = unpad(aes_cbc_decrypt(erd, master, iv))
    session = derive_key(hashlib.sha1(iv_hashed + random_data).digest(), key_n)
    validation = aes_cbc_decrypt(vdata, session, iv)
    fields["password_ok"] = zlib.crc32(validation[:-4]) == struct.unpack("<I", validation[-4:])[0]
    # The file data continues the chain of the validation data.
    body = data[pos:]
    fields["body_size"] = len(body)
    plain = unpad(aes_cbc_decrypt(body, session, vdata[-16:]))
    if info.compress_type == 8:
        plain = zlib.decompress(plain, -15)
    return fields, plain


# ---- an independent reader of one ZIP AES (method 99, AE-2) entry ---------------------------

def decrypt_zip_aes_entry(archive, info, password):
    """The entry's data, decrypted and expanded here: PBKDF2-HMAC-SHA1 (1,000
    rounds) gives the AES key, the HMAC key and the 2-byte verifier; the data
    is AES-CTR with a little-endian block counter starting at 1; the last 10
    bytes are HMAC-SHA1 over the encrypted data.  @return (strength, method, data)."""
    from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
    at = 0
    aes = None
    while at + 4 <= len(info.extra):
        tag, size = struct.unpack_from("<HH", info.extra, at)
        if tag == 0x9901:
            aes = struct.unpack_from("<H2sBH", info.extra, at + 4)
        at += 4 + size
    version, vendor, strength, method = aes
    assert (version, vendor) == (2, b"AE"), aes
    with open(archive, "rb") as h:
        h.seek(info.header_offset)
        local = h.read(30)
        name_n, extra_n = struct.unpack_from("<HH", local, 26)
        h.seek(info.header_offset + 30 + name_n + extra_n)
        payload = h.read(info.compress_size)
    key_n = {1: 16, 2: 24, 3: 32}[strength]
    salt, verifier = payload[:key_n // 2], payload[key_n // 2:key_n // 2 + 2]
    data, mac = payload[key_n // 2 + 2:-10], payload[-10:]
    keys = hashlib.pbkdf2_hmac("sha1", password, salt, 1000, 2 * key_n + 2)
    assert keys[-2:] == verifier, "password verifier"
    assert hmac.new(keys[key_n:2 * key_n], data, hashlib.sha1).digest()[:10] == mac, "authentication code"
    ecb = Cipher(algorithms.AES(keys[:key_n]), modes.ECB()).encryptor()
    stream = ecb.update(b"".join(struct.pack("<QQ", n + 1, 0) for n in range((len(data) + 15) // 16)))
    plain = bytes(a ^ b for a, b in zip(data, stream))
    if method == 8:
        plain = zlib.decompressobj(-15).decompress(plain)
    return strength, method, plain


class EncryptPeers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="ostrana-encrypt-")
        os.environ["XDG_STATE_HOME"] = os.path.join(cls.tmp, "state")
        cls.src = os.path.join(cls.tmp, "tree")
        cls.files = make_tree(cls.src)
        cls.expected = tree_of(cls.src)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def add(self, archive, *args):
        return run([OSTRANA, "add", "-q", "--relative", archive, "."] + list(args), cwd=self.src, check=False)

    def extracted_by(self, tool, archive, password=PASSWORD):
        out = tempfile.mkdtemp(dir=self.tmp)
        if tool == "ostrana":
            run([OSTRANA, "extract", "-q", "-p", password, archive, out])
        elif tool == "7zz":
            run(["7zz", "x", "-y", "-p" + password, "-o" + out, archive])
        else:
            with zipfile.ZipFile(archive) as z:
                z.extractall(out, pwd=password.encode())
        tree = tree_of(out)
        shutil.rmtree(out)
        return tree

    def test_traditional_reads_back_in_7zip_and_python(self):
        for level in ["0", "6", "9"]:
            with self.subTest(level=level):
                archive = os.path.join(self.tmp, "traditional%s.zip" % level)
                p = self.add(archive, "-l", level, "-p", PASSWORD)
                self.assertEqual(0, p.returncode, p.stderr.decode())
                with zipfile.ZipFile(archive) as z:
                    for i in z.infolist():
                        if i.is_dir():
                            self.assertEqual(0, i.flag_bits & 0x41, "a folder has no data to encrypt")
                            continue
                        self.assertEqual(1, i.flag_bits & 0x41, i.filename)
                        if i.compress_type == 0:
                            self.assertEqual(i.file_size + 12, i.compress_size, i.filename)
                    self.assertEqual(12, z.getinfo("empty.txt").compress_size)
                    z.setpassword(PASSWORD.encode())
                    self.assertIsNone(z.testzip())
                self.assertEqual(self.expected, self.extracted_by("python", archive), "Python")
                self.assertEqual(self.expected, self.extracted_by("ostrana", archive), "ostrana")
                if have("7zz"):
                    self.assertIn("Everything is Ok", run(["7zz", "t", "-p" + PASSWORD, archive]).stdout.decode())
                    self.assertEqual(self.expected, self.extracted_by("7zz", archive), "7-Zip")
                    self.assertNotEqual(0, run(["7zz", "t", "-pwrong", archive], check=False).returncode)

    def test_strong_encryption_reads_back_in_ostrana_and_7zip(self):
        for bits in [128, 192, 256]:
            with self.subTest(bits=bits):
                archive = os.path.join(self.tmp, "aes%d.zip" % bits)
                p = self.add(archive, "-p", PASSWORD, "--aes", str(bits))
                self.assertEqual(0, p.returncode, p.stderr.decode())
                with zipfile.ZipFile(archive) as z:
                    for i in z.infolist():
                        if i.is_dir():
                            continue
                        self.assertEqual(0x41, i.flag_bits & 0x49, i.filename)
                        self.assertEqual(51, i.create_version)
                        self.assertEqual(51, i.extract_version)
                        # The 0x0017 block: format 2, algorithm, bits, flags 1, 4 zero bytes.
                        self.assertEqual(struct.pack("<HHHHHHI", 0x17, 12, 2, ALGORITHMS[bits], bits, 1, 0),
                                         i.extra[i.extra.find(b"\x17\x00\x0c\x00"):][:16])
                        self.assertEqual(0, (i.compress_size - 294) % 16, i.filename)
                    self.assertEqual(294 + 16, z.getinfo("empty.txt").compress_size)
                self.assertEqual(self.expected, self.extracted_by("ostrana", archive), "ostrana")
                if have("7zz"):
                    self.assertIn("Everything is Ok", run(["7zz", "t", "-p" + PASSWORD, archive]).stdout.decode())
                    self.assertEqual(self.expected, self.extracted_by("7zz", archive), "7-Zip")
                    self.assertNotEqual(0, run(["7zz", "t", "-pwrong", archive], check=False).returncode)

    @unittest.skipUnless(have("openssl"), "openssl is not installed")
    def test_strong_entry_decrypts_independently_from_the_bytes_on_disk(self):
        archive = os.path.join(self.tmp, "independent.zip")
        self.assertEqual(0, self.add(archive, "-p", PASSWORD, "--aes", "256").returncode)
        with zipfile.ZipFile(archive) as z:
            infos = {i.filename: i for i in z.infolist()}
        for name in ["text.txt", "random.bin", "sub/thirty-two.txt", "sub/block.bin", "empty.txt"]:
            with self.subTest(name=name):
                fields, content = decrypt_strong_entry(archive, infos[name], PASSWORD.encode())
                self.assertEqual(dict(iv_size=0, remaining=288, format=3, algorithm=0x6610, bits=256, flags=1,
                                      erd_size=144, reserved=0, validation_size=128, header_size=294,
                                      password_ok=True, body_size=fields["body_size"]), fields)
                self.assertEqual(self.files[name], content)
                self.assertEqual(infos[name].compress_size, 294 + fields["body_size"])
        # A wrong password fails the validation data's CRC (or the random data's padding).
        try:
            fields, _ = decrypt_strong_entry(archive, infos["text.txt"], b"wrong")
            self.assertFalse(fields["password_ok"])
        except AssertionError as e:
            self.assertIn("padding", str(e))

    def test_zip_aes_format_opens_in_every_reader_and_decrypts_independently(self):
        try:
            import cryptography  # noqa: F401  (Debian: python3-cryptography)
            independent = True
        except ImportError:
            print("skipped: the independent decryption needs python3-cryptography")
            independent = False
        for bits, strength in [(128, 1), (192, 2), (256, 3)]:
            with self.subTest(bits=bits):
                archive = os.path.join(self.tmp, "zip-aes%d.zip" % bits)
                p = self.add(archive, "-p", PASSWORD, "--aes", str(bits), "--aes-format", "winzip")
                self.assertEqual(0, p.returncode, p.stderr.decode())
                with zipfile.ZipFile(archive) as z:
                    infos = [i for i in z.infolist() if not i.is_dir()]
                for info in infos:
                    self.assertEqual(99, info.compress_type, info.filename)
                    self.assertEqual(1, info.flag_bits & 0x41, info.filename)  # bit 0, not strong encryption's bit 6
                    self.assertEqual(0, info.CRC, "AE-2 stores no CRC-32: %s" % info.filename)
                    if independent:
                        got = decrypt_zip_aes_entry(archive, info, PASSWORD.encode())
                        self.assertEqual(strength, got[0])
                        self.assertEqual(self.files[info.filename], got[2], info.filename)
                self.assertEqual(self.expected, self.extracted_by("ostrana", archive))
                if have("7zz"):
                    self.assertIn("Everything is Ok", run(["7zz", "t", "-p" + PASSWORD, archive]).stdout.decode())
                    self.assertEqual(self.expected, self.extracted_by("7zz", archive))
                if have("bsdtar"):
                    out = tempfile.mkdtemp(dir=self.tmp)
                    run(["bsdtar", "-xf", archive, "--passphrase", PASSWORD], cwd=out)
                    self.assertEqual(self.expected, tree_of(out))
                    shutil.rmtree(out)
                # Streamed out (split parts: flag bit 3, sizes after the data) it reads back too.
                split = os.path.join(self.tmp, "zip-aes-split%d.zip" % bits)
                p = self.add(split, "-p", PASSWORD, "--aes", str(bits), "--aes-format", "winzip", "--split", "64k")
                self.assertEqual(0, p.returncode, p.stderr.decode())
                self.assertEqual(self.expected, self.extracted_by("ostrana", split))

    def test_repair_keeps_strong_entries_readable(self):
        archive = os.path.join(self.tmp, "repair.zip")
        self.assertEqual(0, self.add(archive, "-p", PASSWORD, "--aes", "128").returncode)
        with open(archive, "rb") as h:
            whole = h.read()
        with open(archive, "wb") as h:
            h.write(whole[:whole.find(b"PK\x01\x02") + 30])  # the directory cut off
        p = run([OSTRANA, "add", "-q", "--fix", archive], check=False)
        self.assertEqual(0, p.returncode, p.stderr.decode())
        self.assertEqual(self.expected, self.extracted_by("ostrana", archive), "ostrana")
        if have("7zz"):
            self.assertEqual(self.expected, self.extracted_by("7zz", archive), "7-Zip")

    def test_update_under_another_password_copies_encrypted_entries_unchanged(self):
        archive = os.path.join(self.tmp, "update.zip")
        self.assertEqual(0, self.add(archive, "-p", "first", "--aes", "192").returncode)

        def entry_bytes(path, name):
            with zipfile.ZipFile(path) as z:
                i = z.getinfo(name)
            with open(path, "rb") as h:
                whole = h.read()
            name_n, extra_n = struct.unpack_from("<HH", whole, i.header_offset + 26)
            return whole[i.header_offset:i.header_offset + 30 + name_n + extra_n + i.compress_size]

        before = {n: entry_bytes(archive, n) for n in self.files}
        new_file = os.path.join(self.src, "added later.txt")
        with open(new_file, "wb") as h:
            h.write(b"added under the second password\n")
        try:
            p = run([OSTRANA, "update", "-q", "--relative", "-p", "second", archive, "."], cwd=self.src, check=False)
            self.assertEqual(0, p.returncode, p.stderr.decode())
        finally:
            os.remove(new_file)
        for n in self.files:
            self.assertEqual(before[n], entry_bytes(archive, n), n)
        with zipfile.ZipFile(archive) as z:
            self.assertEqual(b"added under the second password\n", z.read("added later.txt", pwd=b"second"))
        if have("7zz"):
            run(["7zz", "t", "-pfirst", archive, "-x!added later.txt"])


if __name__ == "__main__":
    unittest.main()
