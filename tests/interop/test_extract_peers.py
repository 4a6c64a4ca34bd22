#!/usr/bin/env python3
"""tests/interop/test_extract_peers.py - `ostrana extract` and `ostrana test` on archives the peers made.

Risk: an archive another tool wrote (7-Zip's methods and ciphers, Zip64 from
a 70,000-entry archive, Python's streamed data descriptors and forced Zip64
extras, bsdtar's layout, split sets, bytes in front of an archive) extracts
to something other than the files that went in: wrong bytes, wrong times,
lost empty folders, mangled names.  Every file must come back byte for byte
with its modification time (DOS times have 2-second steps, so the sources use
even seconds), every empty folder must be made, `ostrana test` must pass, and
a single flipped data byte must make it fail with 39.  Split sets must be read
without a single question, trying NAME.zip.z01 before NAME.z01.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

from peerlib import FIXTURES, PEER_ENV, Unseekable, ostrana, write_tree

SPLITTER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "zip_split.py")
SOURCE_TIME = time.mktime((2019, 5, 6, 7, 8, 10, 0, 0, -1))
BAD_CRC = 39


def make_tree(root, files, folders):
    write_tree(root, files, folders)
    for n, (dirpath, dirnames, filenames) in enumerate(os.walk(root)):
        for name in filenames:
            t = SOURCE_TIME + 2 * (hash(name) % 1000)
            os.utime(os.path.join(dirpath, name), (t, t))


def data_offset(path, member):
    with zipfile.ZipFile(path) as z:
        info = z.getinfo(member)
    with open(path, "rb") as f:
        f.seek(info.header_offset)
        head = f.read(30)
    n, m = struct.unpack_from("<HH", head, 26)
    return info.header_offset + 30 + n + m


def flip_byte(path, member, copy_to):
    shutil.copyfile(path, copy_to)
    at = data_offset(copy_to, member) + 20
    with open(copy_to, "r+b") as f:
        f.seek(at)
        b = f.read(1)
        f.seek(at)
        f.write(bytes([b[0] ^ 0x55]))
    return copy_to


class ExtractPeers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="ostrana-extract-")
        os.environ["XDG_STATE_HOME"] = os.path.join(cls.tmp, "state")
        cls.src = os.path.join(cls.tmp, "src")
        files = {
            "text.txt": b"The quick brown fox jumps over the lazy dog.\n" * 3000,
            "random.bin": os.urandom(300000),
            "empty.txt": b"",
            "sub/deeper/zeros.bin": b"\0" * 200000,
            "dir with blanks/file name.txt": b"blanks\n",
            "caf\u00e9 na\u00efve/\u00fcber \u00e5.txt": b"non-ASCII\n",
            "sub/repeat.txt": b"abcdefghij" * 40000,
        }
        make_tree(cls.src, files, ["empty folder", "sub/empty inner"])
        cls.files = files

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.tmp, name)

    def assert_extracts(self, archive, password=None, source=None, expect_folders=True):
        """Extracts @archive, compares every file and time with the source, then tests it."""
        source = source or self.src
        out = tempfile.mkdtemp(prefix="out-", dir=self.tmp)
        args = ["extract", archive, out] + (["-p", password] if password else [])
        r = ostrana(*args)
        self.assertEqual(0, r.returncode, r.stderr.decode())
        self.assertEqual(b"", r.stderr, "nothing to say about a good archive")
        for dirpath, dirnames, filenames in os.walk(source):
            rel = os.path.relpath(dirpath, source)
            target = os.path.normpath(os.path.join(out, rel))
            if expect_folders:
                self.assertTrue(os.path.isdir(target), target)
            for name in filenames:
                a, b = os.path.join(dirpath, name), os.path.join(target, name)
                with open(a, "rb") as fa, open(b, "rb") as fb:
                    self.assertTrue(fa.read() == fb.read(), b)
                self.assertEqual(int(os.stat(a).st_mtime), int(os.stat(b).st_mtime), b)
        t = ostrana(*(["test", archive] + (["-p", password] if password else [])))
        self.assertEqual(0, t.returncode, t.stderr.decode())
        shutil.rmtree(out)

    # ---- 7-Zip ------------------------------------------------------------------
    def seven_zip(self, name, *switches, source=None):
        path = self.path(name)
        subprocess.run(["7zz", "a", "-tzip", "-bd", "-bso0", "-bsp0", *switches, path, "."],
                       cwd=source or self.src, check=True, env=PEER_ENV)
        return path

    def test_7zip_methods(self):
        for name, switches in (("store", ["-mx0"]), ("deflate1", ["-mx1"]), ("deflate5", ["-mx5"]),
                               ("deflate9", ["-mx9"]), ("deflate64", ["-mm=Deflate64"])):
            with self.subTest(name):
                path = self.seven_zip("7z-%s.zip" % name, *switches)
                self.assert_extracts(path)
                bad = flip_byte(path, "random.bin", self.path("7z-%s-bad.zip" % name))
                self.assertEqual(BAD_CRC, ostrana("test", bad).returncode)

    def test_7zip_ciphers(self):
        for cipher in ("ZipCrypto", "AES128", "AES192", "AES256"):
            with self.subTest(cipher):
                path = self.seven_zip("7z-%s.zip" % cipher, "-pSecret pass", "-mem=" + cipher)
                self.assert_extracts(path, password="Secret pass")
                bad = flip_byte(path, "random.bin", self.path("7z-%s-bad.zip" % cipher))
                self.assertEqual(BAD_CRC, ostrana("test", bad, "-p", "Secret pass").returncode)

    def test_7zip_comment_and_seventy_thousand_entries(self):
        path = self.seven_zip("7z-comment.zip", "-mx5")
        with zipfile.ZipFile(path, "a") as z:
            z.comment = b"an archive comment"
        self.assertEqual(b"an archive comment\n", ostrana("comment", path).stdout)
        self.assert_extracts(path)

        many = os.path.join(self.tmp, "many")
        # The full count runs in the normal build; the sanitizer build, which
        # repeats the suite several times slower, checks the same path with fewer.
        count = 7000 if os.environ.get("OSTRANA_SANITIZED") else 70000
        for n in range(count):
            folder = os.path.join(many, "d%02d" % (n % 40))
            if n < 40:
                os.makedirs(folder)
            name = os.path.join(folder, "f%05d" % n)
            with open(name, "wb") as f:
                f.write(b"%d" % n)
            os.utime(name, (SOURCE_TIME, SOURCE_TIME))
        path = self.seven_zip("7z-70000.zip", "-mx1", source=many)
        with zipfile.ZipFile(path) as z:
            self.assertEqual(count + 40, len(z.infolist()))
        self.assert_extracts(path, source=many)

    # ---- Python and bsdtar --------------------------------------------------------------
    def python_archive(self, name, mode):
        path = self.path(name)
        with open(path, "wb") as raw:
            if mode == "preamble":
                raw.write(b"#!/bin/sh\necho a self-extracting stub\nexit 0\n" * 20)
            target = Unseekable(raw) if mode == "descriptors" else raw
            with zipfile.ZipFile(target, "w" if mode != "preamble" else "a", compression=zipfile.ZIP_DEFLATED) as z:
                for dirpath, dirnames, filenames in sorted(os.walk(self.src)):
                    for d in dirnames:
                        z.write(os.path.join(dirpath, d), os.path.relpath(os.path.join(dirpath, d), self.src))
                    for fname in filenames:
                        full = os.path.join(dirpath, fname)
                        arcname = os.path.relpath(full, self.src)
                        if mode == "zip64":
                            info = zipfile.ZipInfo.from_file(full, arcname)
                            info.compress_type = zipfile.ZIP_DEFLATED
                            with open(full, "rb") as f, z.open(info, "w", force_zip64=True) as out:
                                out.write(f.read())
                        else:
                            z.write(full, arcname)
        return path

    def test_python_descriptors_zip64_and_preamble(self):
        for mode in ("descriptors", "zip64", "preamble"):
            with self.subTest(mode):
                path = self.python_archive("py-%s.zip" % mode, mode)
                with zipfile.ZipFile(path) as z:
                    infos = z.infolist()
                if mode == "descriptors":
                    self.assertTrue(all(i.flag_bits & 0x08 for i in infos if not i.is_dir()))
                self.assert_extracts(path)

    def test_stub_glued_in_front_is_read_with_a_warning(self):
        base = self.seven_zip("7z-for-stub.zip", "-mx5")
        path = self.path("glued.zip")
        stub = b"MZ" + b"\x90" * 4094
        with open(path, "wb") as f, open(base, "rb") as b:
            f.write(stub + b.read())
        out = tempfile.mkdtemp(prefix="glued-", dir=self.tmp)
        r = ostrana("extract", path, out)
        self.assertEqual(0, r.returncode, r.stderr.decode())
        self.assertEqual(1, r.stderr.count(b"has a preamble of 4096 bytes"), r.stderr)
        with open(os.path.join(out, "text.txt"), "rb") as f:
            self.assertEqual(self.files["text.txt"], f.read())

    def test_bsdtar(self):
        for name, options in (("bsdtar-deflate.zip", []), ("bsdtar-store.zip", ["--options", "zip:compression=store"])):
            with self.subTest(name):
                path = self.path(name)
                subprocess.run(["bsdtar", "--format", "zip", *options, "-cf", path, "."], cwd=self.src, check=True,
                               env=PEER_ENV)
                self.assert_extracts(path)

    # ---- split sets --------------------------------------------------------------------------
    def test_split_sets_need_no_question(self):
        base = self.seven_zip("7z-to-split.zip", "-mx5")
        folder = self.path("split")
        os.makedirs(folder)
        out = subprocess.run([sys.executable, SPLITTER, base, "65536", os.path.join(folder, "name.z{n:02d}"),
                              os.path.join(folder, "name.zip")], capture_output=True, check=True)
        self.assertGreaterEqual(int(out.stdout), 4)
        self.assert_extracts(os.path.join(folder, "name.zip"))

        # NAME.zip.z01 is tried before NAME.z01: the other one here is junk.
        for n in range(1, int(out.stdout)):
            os.rename(os.path.join(folder, "name.z%02d" % n), os.path.join(folder, "name.zip.z%02d" % n))
        with open(os.path.join(folder, "name.z01"), "wb") as f:
            f.write(b"junk" * 1000)
        self.assert_extracts(os.path.join(folder, "name.zip"))

    def test_split_fixture_matches_7zip(self):
        fixture = os.path.join(FIXTURES, "commons-compress", "split_zip")
        ours = tempfile.mkdtemp(prefix="split-ours-", dir=self.tmp)
        theirs = tempfile.mkdtemp(prefix="split-7z-", dir=self.tmp)
        r = ostrana("extract", os.path.join(fixture, "split_zip_created_by_zip.zip"), ours)
        self.assertEqual(0, r.returncode, r.stderr.decode())
        self.assertEqual(b"", r.stderr)
        subprocess.run(["7zz", "x", "-bd", "-bso0", "-bsp0", "-o" + theirs,
                        os.path.join(fixture, "split_zip_created_by_zip.zip")], check=True, env=PEER_ENV)
        compared = 0
        for dirpath, dirnames, filenames in os.walk(theirs):
            for name in filenames:
                a = os.path.join(dirpath, name)
                b = os.path.join(ours, os.path.relpath(a, theirs))
                with open(a, "rb") as fa, open(b, "rb") as fb:
                    self.assertTrue(fa.read() == fb.read(), b)
                compared += 1
        self.assertGreater(compared, 200)


if __name__ == "__main__":
    unittest.main(verbosity=2)
