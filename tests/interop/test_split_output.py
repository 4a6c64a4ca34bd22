#!/usr/bin/env python3
"""tests/interop/test_split_output.py - split archives written by `ostrana add --split`.

Risk: a split set whose parts are too big, misnamed, or whose headers point
at the wrong part or offset; a set that only ostrana itself can read; parts
left behind by a failed run or by an earlier, longer set.  The checker here is
independent of the engine: it joins the parts, walks the central directory
and, for every entry, finds its local header at (disk, offset) in the part it
names, compares name and data descriptor with the central header, and checks
the end record's disk numbers and counts.  `ostrana test` and `ostrana
extract` read each set; 7-Zip reads it once the parts carry the names it
looks for (NAME.z01 .. NAME.zip), and its extraction is compared too.
"""
import glob
import os
import random
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import unittest
import zlib

from peerlib import OSTRANA, PEER_ENV, run, tree_of


def make_corpus(root, nbytes, seed=13):
    """Text, random and repetitive files, about nbytes in all."""
    rnd = random.Random(seed)
    words = [b"alpha", b"beta", b"gamma", b"delta", b"split", b"volume", b"archive", b"\n"]
    made = 0
    i = 0
    while made < nbytes:
        kind = i % 3
        size = rnd.randint(1, 400000)
        if kind == 0:
            data = b" ".join(rnd.choice(words) for _ in range(size // 6))
        elif kind == 1:
            data = rnd.randbytes(size)
        elif i % 9 == 2:
            data = bytes([i & 0xFF]) * size
        else:
            data = bytes(b & 0x0F for b in rnd.randbytes(size))  # half the entropy
        path = os.path.join(root, "d%d" % (i % 4), "f%03d.bin" % i)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        made += len(data)
        i += 1


def parts_of(archive):
    """The parts in order: NAME.zip.z01 ... then NAME.zip."""
    numbered = sorted(glob.glob(glob.escape(archive) + ".[z0-9][0-9][0-9]"),
                      key=lambda p: int(p[-3:].lstrip("z")))
    return numbered + [archive]


def check_set(test, archive, part_limit):
    """The independent checker.  Returns the number of entries."""
    parts = parts_of(archive)
    blobs = []
    for p in parts:
        with open(p, "rb") as f:
            blobs.append(f.read())
    for p, b in zip(parts[:-1], blobs[:-1]):
        test.assertLessEqual(len(b), part_limit, p)
    test.assertLessEqual(len(blobs[-1]), part_limit, archive)
    test.assertEqual(b"PK\x07\x08", blobs[0][:4], "spanning signature")
    last = blobs[-1]
    end = last.rfind(b"PK\x05\x06")
    test.assertGreaterEqual(end, 0)
    (_, this_disk, cd_disk, on_disk, total, cd_size, cd_offset, _) = struct.unpack_from("<IHHHHIIH", last, end)
    test.assertEqual(len(parts) - 1, this_disk)
    # The directory, read across the parts from (cd_disk, cd_offset).
    joined = b"".join(blobs)
    starts = [sum(len(b) for b in blobs[:k]) for k in range(len(blobs))]
    at = starts[cd_disk] + cd_offset
    test.assertEqual(starts[this_disk] + end - at, cd_size, "directory size")
    headers_per_disk = {}
    for _ in range(total):
        test.assertEqual(b"PK\x01\x02", joined[at:at + 4])
        disk_of_header = max(k for k in range(len(starts)) if starts[k] <= at)
        headers_per_disk[disk_of_header] = headers_per_disk.get(disk_of_header, 0) + 1
        flags, method, crc, csize, usize, n, m, k, disk, _, _, offset = struct.unpack_from(
            "<HHxxxxIIIHHHHHII", joined, at + 8)
        name = joined[at + 46:at + 46 + n]
        # A header is never split: it lies whole in one part.
        test.assertLessEqual(at + 46 + n + m + k, starts[disk_of_header] + len(blobs[disk_of_header]))
        # The local header sits whole at (disk, offset) in the part it names.
        local = blobs[disk]
        test.assertLessEqual(offset + 30, len(local), name)
        test.assertEqual(b"PK\x03\x04", local[offset:offset + 4], name)
        ln, lm = struct.unpack_from("<HH", local, offset + 26)
        test.assertEqual(name, local[offset + 30:offset + 30 + ln])
        test.assertLessEqual(offset + 30 + ln + lm, len(local), "local header split")
        test.assertTrue(flags & 8, "data descriptor flag")
        data_at = starts[disk] + offset + 30 + ln + lm
        data = joined[data_at:data_at + csize]
        if method == 0:
            test.assertEqual(crc, zlib.crc32(data) & 0xFFFFFFFF, name)
        elif method == 8:
            test.assertEqual(crc, zlib.crc32(zlib.decompress(data, -15)) & 0xFFFFFFFF, name)
        desc = joined[data_at + csize:data_at + csize + 16]
        test.assertEqual(b"PK\x07\x08", desc[:4], name)
        test.assertEqual((crc, csize, usize), struct.unpack_from("<III", desc, 4), name)
        at += 46 + n + m + k
    test.assertEqual(headers_per_disk.get(this_disk, 0), on_disk, "headers on the last part")
    test.assertEqual(min(headers_per_disk) if headers_per_disk else this_disk, cd_disk)
    return total


@unittest.skipUnless(shutil.which(OSTRANA) or os.path.exists(OSTRANA), "no ostrana binary")
class SplitOutput(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="split-output-")
        cls.src = os.path.join(cls.tmp, "corpus")
        make_corpus(cls.src, 5 * 1000 * 1000)
        cls.tree = tree_of(cls.src)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def setUp(self):
        self.out = tempfile.mkdtemp(dir=self.tmp)

    def extract_and_compare(self, archive):
        dest = os.path.join(self.out, "x")
        run([OSTRANA, "extract", archive, dest, "-q"])
        self.assertEqual(self.tree, tree_of(os.path.join(dest, os.path.relpath(self.src, "/"))))

    def test_megabyte_parts_read_back_by_ostrana_and_7zip(self):
        archive = os.path.join(self.out, "set.zip")
        p = run([OSTRANA, "add", archive, self.src, "--split", "1000000", "-l", "1"])
        parts = parts_of(archive)
        self.assertGreaterEqual(len(parts), 3)
        self.assertEqual(archive + ".z01", parts[0])
        self.assertIn(b"written: " + archive.encode(), p.stderr)
        total = check_set(self, archive, 1000000)
        self.assertGreater(total, len(self.tree))  # the files and their folders
        out = run([OSTRANA, "test", archive]).stdout.decode()
        self.assertIn("%d items tested, no errors" % total, out)
        self.extract_and_compare(archive)
        # 7-Zip looks for NAME.z01 beside NAME.zip.
        if shutil.which("7zz"):
            seven = os.path.join(self.out, "7z")
            os.makedirs(seven)
            for p in parts[:-1]:
                shutil.copy(p, os.path.join(seven, "set." + p[-3:]))
            shutil.copy(archive, os.path.join(seven, "set.zip"))
            run(["7zz", "t", os.path.join(seven, "set.zip")])
            dest = os.path.join(self.out, "7x")
            run(["7zz", "x", "-o" + dest, os.path.join(seven, "set.zip")])
            self.assertEqual(self.tree, tree_of(os.path.join(dest, os.path.relpath(self.src, "/"))))

    def test_small_sizes_count_as_64k_and_the_100th_part_is_named_100(self):
        archive = os.path.join(self.out, "small.zip")
        # Stored, so 7 MB of data make more than 100 parts of 65,536 bytes.
        src = os.path.join(self.out, "noise")
        os.makedirs(src)
        rnd = random.Random(7)
        for i in range(7):
            with open(os.path.join(src, "n%d" % i), "wb") as f:
                f.write(rnd.randbytes(1000 * 1000))
        run([OSTRANA, "add", archive, src, "--split", "1000", "-l", "0", "-q"])
        parts = parts_of(archive)
        self.assertGreater(len(parts), 101)
        self.assertTrue(os.path.exists(archive + ".z99"))
        self.assertTrue(os.path.exists(archive + ".100"))
        self.assertFalse(os.path.exists(archive + ".z100"))
        for p in parts[:-1]:
            self.assertLessEqual(os.path.getsize(p), 65536, p)
        self.assertEqual(65536, os.path.getsize(archive + ".100"))
        check_set(self, archive, 65536)
        run([OSTRANA, "test", archive, "-q"])

    def test_a_size_list_gives_each_part_its_size(self):
        archive = os.path.join(self.out, "list.zip")
        run([OSTRANA, "add", archive, self.src, "--split", "300k,200k,100k", "-l", "0", "-q"])
        parts = parts_of(archive)
        self.assertEqual(300 * 1024, os.path.getsize(parts[0]))
        self.assertEqual(200 * 1024, os.path.getsize(parts[1]))
        self.assertEqual(100 * 1024, os.path.getsize(parts[2]))
        self.assertEqual(300 * 1024, os.path.getsize(parts[3]))  # element 0 for the rest
        check_set(self, archive, 300 * 1024)

    def test_stale_parts_go_and_an_old_archive_is_replaced_whole(self):
        archive = os.path.join(self.out, "again.zip")
        with open(archive, "wb") as f:
            f.write(b"old archive")
        for n in ("z07", "z40", "123"):
            with open(archive + "." + n, "wb") as f:
                f.write(b"stale")
        one = os.path.join(self.src, "d0")
        run([OSTRANA, "add", archive, one, "--split", "1m", "-l", "6", "-q"])
        parts = parts_of(archive)
        for n in ("z07", "z40", "123"):
            if len(parts) <= int(n.lstrip("z")):
                self.assertFalse(os.path.exists(archive + "." + n), n)
        check_set(self, archive, 1024 * 1024)
        run([OSTRANA, "test", archive, "-q"])

    def test_a_failed_run_leaves_no_part_and_the_old_archive(self):
        archive = os.path.join(self.out, "fail.zip")
        with open(archive, "wb") as f:
            f.write(b"old archive")
        # Refused before anything is written, then cut short by Ctrl-C midway.
        p = run([OSTRANA, "add", archive, self.src, "--split", "1m", "--grow"], check=False)
        self.assertEqual(20, p.returncode)
        self.assertEqual([], glob.glob(glob.escape(archive) + ".*"))
        proc = subprocess.Popen([OSTRANA, "add", archive, self.src, "--split", "100k", "-l", "9", "-q"],
                                env=PEER_ENV, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        # Interrupted once its second part exists: some thirty parts of level 9
        # work are still ahead of it then.
        while not os.path.exists(archive + ".z02") and proc.poll() is None:
            time.sleep(0.01)
        self.assertIsNone(proc.poll(), "the run ended before its second part was written")
        proc.send_signal(signal.SIGINT)
        _, err = proc.communicate()
        self.assertEqual(9, proc.returncode, err.decode(errors="replace"))
        self.assertEqual([], glob.glob(glob.escape(archive) + ".*"))
        with open(archive, "rb") as f:
            self.assertEqual(b"old archive", f.read())

    def test_split_refuses_disk_options_and_update(self):
        archive = os.path.join(self.out, "refused.zip")
        p = run([OSTRANA, "update", archive, self.src, "--split", "1m"], check=False)
        self.assertEqual(64, p.returncode)  # update does not take --split
        p = run([OSTRANA, "add", archive, self.src, "--split", "1m", "--wipe"], check=False)
        self.assertEqual(64, p.returncode)
        p = run([OSTRANA, "add", archive, self.src, "--split", "0"], check=False)
        self.assertEqual(64, p.returncode)
        self.assertFalse(os.path.exists(archive))


if __name__ == "__main__":
    unittest.main()
