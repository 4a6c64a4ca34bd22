"""Writes strong_iv0.zip: strong encryption (AES, password "secret") with IV size 0.

No other tool writes this form, so the file was made once with this script and
checked with 7-Zip (`7zz t -psecret strong_iv0.zip` reads every member but the
bare empty one, whose empty body 7-Zip rejects).  It needs the `cryptography`
package, which only regenerating the file requires.  Usage:
    python3 make_strong_iv0.py strong_iv0.zip
"""
import hashlib, os, struct, sys, zlib
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

def derive(h, n):
    b1 = bytearray(b'\x36' * 64); b2 = bytearray(b'\x5c' * 64)
    for i in range(20): b1[i] ^= h[i]; b2[i] ^= h[i]
    return (hashlib.sha1(b1).digest() + hashlib.sha1(b2).digest())[:n]

def pad(b):
    p = 16 - len(b) % 16
    return b + bytes([p]) * p

def member(name, content, pw, alg, bits, ivsize, empty_body=False):
    crc = zlib.crc32(content)
    if ivsize == 0:
        iv = struct.pack('<IQ', crc, len(content))
    else:
        iv = os.urandom(16)
    iv16 = iv.ljust(16, b'\0')
    k = bits // 8
    rd = os.urandom(128)
    mk = derive(hashlib.sha1(pw).digest(), k)
    enc = Cipher(algorithms.AES(mk), modes.CBC(iv16)).encryptor()
    erd = enc.update(pad(rd)) + enc.finalize()
    fk = derive(hashlib.sha1(iv + rd).digest(), k)
    v = os.urandom(124); v += struct.pack('<I', zlib.crc32(v))
    enc = Cipher(algorithms.AES(fk), modes.CBC(iv16)).encryptor()
    body = b'' if (empty_body and not content) else pad(content)
    ct = enc.update(v + body) + enc.finalize()   # data continues the chain of the validation data
    vd, data = ct[:128], ct[128:]
    rest = struct.pack('<HHHHH', 3, alg, bits, 1, len(erd)) + erd + struct.pack('<I', 0) + struct.pack('<H', 128) + vd
    hdr = struct.pack('<H', ivsize) + (iv if ivsize else b'') + struct.pack('<I', len(rest)) + rest
    payload = hdr + data
    return crc, payload

def build(path, pw, members):
    out = bytearray(); central = bytearray()
    for (name, content, alg, bits, ivsize, empty_body) in members:
        crc, payload = member(name, content, pw, alg, bits, ivsize, empty_body)
        nm = name.encode()
        flags = 0x41
        off = len(out)
        out += struct.pack('<IHHHHHIIIHH', 0x04034b50, 51, flags, 0, 0x6000, 0x5a21, crc, len(payload), len(content), len(nm), 0) + nm + payload
        extra = struct.pack('<HHHHHHI', 0x0017, 12, 2, alg, bits, 1, 0)
        central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 51, 51, flags, 0, 0x6000, 0x5a21, crc, len(payload), len(content), len(nm), len(extra), 0, 0, 0, 0x20, off) + nm + extra
    cd = len(out)
    out += central
    out += struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, len(members), len(members), len(central), cd, 0)
    open(path, 'wb').write(out)

if __name__ == '__main__':
    text = b'Strong encryption without a stored IV.\n' * 3
    build(sys.argv[1], b'secret', [
        ('iv0_aes128.txt', text, 0x660E, 128, 0, False),
        ('iv0_aes192.txt', text[:48], 0x660F, 192, 0, False),
        ('iv0_aes256.txt', text[:5], 0x6610, 256, 0, False),
        ('iv0_empty_padded.txt', b'', 0x6610, 256, 0, False),
        ('iv0_empty_bare.txt', b'', 0x6610, 256, 0, True),
    ])
