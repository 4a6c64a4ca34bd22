#!/usr/bin/env python3
"""tests/interop/test_writer_peers.py - archives written by `ostrana add` against the peers.

Risk: the archive writer produces something a peer reads differently from
what was stored: names (blanks, CP437 characters, characters CP437 cannot
hold), empty folders, bytes, Deflate64 streams, Zip64 records with many
entries or a member beyond 4 GiB, or a repaired directory.  Each archive is
tested by 7-Zip (`7zz t`), libarchive (`bsdtar -t`) and Python
(`zipfile.testzip()`), then extracted by each and compared with the source
tree, name for name and byte for byte; `ostrana test` and `ostrana extract`
read them back as well.  Python and bsdtar cannot read Deflate64; for those
archives 7-Zip and ostrana alone check.
"""
import os
import shutil
import tempfile
import unittest
import zipfile

from peerlib import OSTRANA, have, run, tree_of

SANITIZED = os.environ.get("OSTRANA_SANITIZED") == "1"

NAMES = [
    "plain.txt",
    "with blank.txt",
    "caf\u00e9 cr\u00e8me.txt",            # CP437 has these
    "\u65e5\u672c\u8a9e.txt",              # CP437 does not
    "sub/deeper/data.bin",
    "sub/empty file",
    "\u00c5ngstr\u00f6m/\u03a9 omega.txt",  # folder in CP437, file not
]
EMPTY_FOLDERS = ["empty folder", "sub/also empty"]


def make_tree(root):
    import random
    rnd = random.Random(7)
    for i, name in enumerate(NAMES):
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if name.endswith("empty file"):
            data = b""
        elif name.endswith(".bin"):
            data = bytes(rnd.getrandbits(8) for _ in range(70000)) + b"\0" * 50000
        else:
            data = ("%d %s\n" % (i, name)).encode() * (200 + 300 * i)
        with open(path, "wb") as h:
            h.write(data)
    for d in EMPTY_FOLDERS:
        os.makedirs(os.path.join(root, d), exist_ok=True)


class WriterPeers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="ostrana-writer-")
        os.environ["XDG_STATE_HOME"] = os.path.join(cls.tmp, "state")
        cls.src = os.path.join(cls.tmp, "tree")
        make_tree(cls.src)
        cls.expected = tree_of(cls.src, folders=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def add(self, archive, *args):
        # The folder item stands for its whole content; names are relative to it.
        return run([OSTRANA, "add", "-q", "--relative", archive, "."] + list(args), cwd=self.src, check=False)

    def extracted_by(self, tool, archive):
        out = tempfile.mkdtemp(dir=self.tmp)
        if tool == "ostrana":
            run([OSTRANA, "extract", "-q", archive, out])
        elif tool == "7zz":
            run(["7zz", "x", "-y", "-o" + out, archive])
        elif tool == "bsdtar":
            run(["bsdtar", "-xf", archive], cwd=out)
        else:
            with zipfile.ZipFile(archive) as z:
                z.extractall(out)
        tree = tree_of(out, folders=True)
        shutil.rmtree(out)
        return tree

    def check_with_peers(self, archive, deflate64):
        run([OSTRANA, "test", "-q", archive])
        self.assertEqual(self.expected, self.extracted_by("ostrana", archive), "ostrana")
        if have("7zz"):
            run(["7zz", "t", archive])
            self.assertEqual(self.expected, self.extracted_by("7zz", archive), "7-Zip")
        if deflate64:
            return
        if have("bsdtar"):
            listing = run(["bsdtar", "-tf", archive]).stdout.decode().split("\n")
            self.assertIn("\u65e5\u672c\u8a9e.txt", listing)
            self.assertIn("caf\u00e9 cr\u00e8me.txt", listing)
            self.assertEqual(self.expected, self.extracted_by("bsdtar", archive), "bsdtar")
        with zipfile.ZipFile(archive) as z:
            self.assertIsNone(z.testzip())
        self.assertEqual(self.expected, self.extracted_by("python", archive), "Python")

    def test_every_level_reads_back_alike_in_every_peer(self):
        for level in ["0", "1", "6", "9", "10", "19"]:
            with self.subTest(level=level):
                archive = os.path.join(self.tmp, "level%s.zip" % level)
                p = self.add(archive, "-l", level)
                self.assertEqual(0, p.returncode, p.stderr.decode())
                with zipfile.ZipFile(archive) as z:
                    methods = {i.compress_type for i in z.infolist() if not i.is_dir() and i.file_size}
                expected = {"0": {0}, "10": {9}, "19": {9}}.get(level, {8})
                self.assertTrue(methods <= expected | {0}, methods)
                self.assertTrue(methods & expected, methods)
                self.check_with_peers(archive, deflate64=level in ("10", "19"))

    def test_update_of_peer_archives_keeps_their_entries(self):
        """Archives of every peer (Python's with a comment, a stream with data
        descriptors, 7-Zip's, bsdtar's with Zip64 descriptors) take a new file and
        keep what they had, byte for byte."""
        kept = os.path.join(self.tmp, "peer-src")
        os.makedirs(os.path.join(kept, "from peer"), exist_ok=True)
        with open(os.path.join(kept, "from peer", "kept.txt"), "wb") as h:
            h.write(b"kept by the update\n" * 100)
        archives = {}
        archives["python"] = os.path.join(self.tmp, "peer-python.zip")
        with zipfile.ZipFile(archives["python"], "w", zipfile.ZIP_DEFLATED) as z:
            z.write(os.path.join(kept, "from peer", "kept.txt"), "from peer/kept.txt")
            z.comment = b"python's comment"
        archives["stream"] = os.path.join(self.tmp, "peer-stream.zip")
        with open(archives["stream"], "wb") as raw:
            class Unseekable:
                def write(self, b):
                    return raw.write(b)
                def flush(self):
                    raw.flush()
            with zipfile.ZipFile(Unseekable(), "w", zipfile.ZIP_DEFLATED) as z:
                z.write(os.path.join(kept, "from peer", "kept.txt"), "from peer/kept.txt")
        if have("7zz"):
            archives["7zz"] = os.path.join(self.tmp, "peer-7zz.zip")
            run(["7zz", "a", "-tzip", archives["7zz"], "from peer"], cwd=kept)
        if have("bsdtar"):
            archives["bsdtar"] = os.path.join(self.tmp, "peer-bsdtar.zip")
            run(["bsdtar", "--options", "zip:zip64", "-a", "-cf", archives["bsdtar"], "from peer"], cwd=kept)
        for peer, archive in archives.items():
            with self.subTest(peer=peer):
                p = self.add(archive, "-l", "6")
                self.assertEqual(0, p.returncode, p.stderr.decode())
                with zipfile.ZipFile(archive) as z:
                    self.assertIsNone(z.testzip())
                    self.assertEqual(b"kept by the update\n" * 100, z.read("from peer/kept.txt"))
                    self.assertIn("\u65e5\u672c\u8a9e.txt", z.namelist())
                    if peer == "python":
                        self.assertEqual(b"python's comment", z.comment)
                if have("7zz"):
                    run(["7zz", "t", archive])

    def test_repair_rebuilds_a_cut_off_directory(self):
        archive = os.path.join(self.tmp, "cut.zip")
        self.assertEqual(0, self.add(archive).returncode)
        with open(archive, "rb") as h:
            whole = h.read()
        directory = whole.rfind(b"PK\x01\x02", 0, len(whole) - 22)
        first = whole.find(b"PK\x01\x02")
        for option in ["--fix", "--fix-harder"]:
            with self.subTest(option=option):
                with open(archive, "wb") as h:
                    h.write(whole[:first + 30])  # the directory cut off in its first header
                p = run([OSTRANA, "add", "-q", option, archive], check=False)
                self.assertEqual(0, p.returncode, p.stderr.decode())
                if have("7zz"):
                    out = run(["7zz", "t", archive]).stdout.decode()
                    self.assertIn("Everything is Ok", out)
                    self.assertNotIn("Warning", out)
                with zipfile.ZipFile(archive) as z:
                    self.assertIsNone(z.testzip())
                    self.assertEqual(len([n for n in self.expected if self.expected[n] is not None]),
                                     len([i for i in z.infolist() if not i.is_dir()]))
                    # The UTC time of each rebuilt entry survives (its 0x5455 block).
                    for i in z.infolist():
                        self.assertIn(b"UT\x05\x00\x01", i.extra, i.filename)
        self.assertGreater(directory, first - 1)


class WriterZip64(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="ostrana-zip64-")
        os.environ["XDG_STATE_HOME"] = os.path.join(cls.tmp, "state")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def test_seventy_thousand_entries_need_the_zip64_flag(self):
        src = os.path.join(self.tmp, "many")
        count = 70000
        for d in range(70):
            folder = os.path.join(src, "d%02d" % d)
            os.makedirs(folder)
            for i in range(count // 70):
                with open(os.path.join(folder, "f%04d" % i), "wb") as h:
                    h.write(b"%d" % i)
        archive = os.path.join(self.tmp, "many.zip")
        p = run([OSTRANA, "add", "-q", "-l", "0", "--relative", archive, src], check=False)
        self.assertEqual(6, p.returncode)
        self.assertIn("the archive needs Zip64", p.stderr.decode())
        self.assertIn("--zip64", p.stderr.decode())
        self.assertFalse(os.path.exists(archive))

        p = run([OSTRANA, "add", "-q", "-l", "0", "--zip64", "--relative", archive, src], check=False)
        self.assertEqual(0, p.returncode, p.stderr.decode())
        with zipfile.ZipFile(archive) as z:
            names = z.namelist()
        self.assertEqual(count + 70, len(names))  # with the folder entries
        self.assertIn("d69/f0999", names)
        if have("7zz"):
            out = run(["7zz", "l", archive]).stdout.decode()
            self.assertIn("%d files, 70 folders" % count, out)

    @unittest.skipIf(SANITIZED, "a 4 GiB member is too slow in the instrumented build")
    def test_a_member_beyond_four_gib_round_trips(self):
        sparse = os.path.join(self.tmp, "zeros.bin")
        size = (4 << 30) + 1000
        with open(sparse, "wb") as h:
            h.truncate(size)
        archive = os.path.join(self.tmp, "big.zip")
        p = run([OSTRANA, "add", "-q", "-l", "1", "--zip64", "-j", archive, sparse], check=False)
        self.assertEqual(0, p.returncode, p.stderr.decode())
        os.remove(sparse)
        with zipfile.ZipFile(archive) as z:
            info = z.getinfo("zeros.bin")
            self.assertEqual(size, info.file_size)
        if have("7zz"):
            out = run(["7zz", "t", archive]).stdout.decode()
            self.assertIn("Everything is Ok", out)
            self.assertNotIn("Warning", out)
        listing = run([OSTRANA, "list", archive]).stdout.decode().split("\t")
        self.assertEqual(str(size), listing[2])
        self.assertIn("1 items tested, no errors", run([OSTRANA, "test", archive]).stdout.decode())


if __name__ == "__main__":
    unittest.main()
