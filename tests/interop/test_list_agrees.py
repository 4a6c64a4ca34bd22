#!/usr/bin/env python3
"""tests/interop/test_list_agrees.py - `ostrana list` against Python's zipfile.

Risk: the directory reader or the information functions misread an archive
that another tool wrote (Zip64 records, data descriptors, AES extra fields,
Deflate64, CP437 and UTF-8 names, huge entry counts), and the application
then shows wrong names, sizes, CRCs, methods or dates.  Where an item carries
a UTC time (0x5455, or 7-Zip's NTFS block 0x000A) the engine shows that one,
in local time, not the zoneless DOS date-time.  Archives are made by
7-Zip (7zz), by Python and by bsdtar; Python's zipfile is the control.  For
an AES item zipfile reports method 99, so the control takes the real method
from the item's 0x9901 extra block, as the engine must.
"""
import os
import shutil
import struct
import subprocess
import tempfile
import time
import unittest
import zipfile

from peerlib import OSTRANA, PEER_ENV, Unseekable


def shown_date_time(info):
    """The date the engine shows: the UTC time of a 0x5455 (else 0x000A) block
    in local time, to even seconds; the DOS date-time when there is none."""
    blocks = {}
    extra, at = info.extra, 0
    while at + 4 <= len(extra):
        tag, size = struct.unpack_from("<HH", extra, at)
        blocks.setdefault(tag, extra[at + 4:at + 4 + size])
        at += 4 + size
    t = None
    stamp = blocks.get(0x5455, b"")
    if len(stamp) >= 5 and stamp[0] & 1:
        t = struct.unpack_from("<I", stamp, 1)[0]
    ntfs = blocks.get(0x000A, b"")
    if t is None and len(ntfs) >= 32 and struct.unpack_from("<HH", ntfs, 4) == (1, 24):
        t = struct.unpack_from("<Q", ntfs, 8)[0] // 10000000 - 11644473600
    if t is None:
        return info.date_time
    tm = time.localtime(t)
    return (tm.tm_year, tm.tm_mon, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec // 2 * 2)


def real_method(info):
    """The method as the engine shows it: an AES item's actual method."""
    if info.compress_type != 99:
        return info.compress_type
    extra = info.extra
    at = 0
    while at + 4 <= len(extra):
        tag, size = struct.unpack_from("<HH", extra, at)
        if tag == 0x9901 and size >= 7:
            return struct.unpack_from("<H", extra, at + 4 + 5)[0]
        at += 4 + size
    return 99


METHOD_NAMES = {0: "Store", 1: "Shrunk", 2: "Reduce1", 3: "Reduce2", 4: "Reduce3", 5: "Reduce4",
                6: "Implode", 7: "Tokenize", 8: "Deflate", 9: "Deflate64"}


def ostrana_list(path):
    out = subprocess.run([OSTRANA, "list", path], capture_output=True, check=False)
    if out.returncode != 0:
        raise AssertionError("ostrana list %s exited %d: %s" % (path, out.returncode, out.stderr.decode()))
    lines = out.stdout.decode("utf-8").split("\n")
    assert lines[-1] == ""
    return [line.split("\t") for line in lines[:-1]]


class ListAgrees(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="ostrana-interop-")
        os.environ["XDG_STATE_HOME"] = os.path.join(cls.tmp, "state")
        src = os.path.join(cls.tmp, "src")
        os.makedirs(os.path.join(src, "sub", "deeper"))
        os.makedirs(os.path.join(src, "empty folder"))
        files = {
            "text.txt": b"The quick brown fox jumps over the lazy dog.\n" * 300,
            "sub/data.bin": bytes(range(256)) * 64,
            "sub/deeper/zero.bin": b"\0" * 70000,
            "empty.txt": b"",
            "caf\u00e9 na\u00efve.txt": b"accents\n",
        }
        for name, data in files.items():
            with open(os.path.join(src, name), "wb") as f:
                f.write(data)
        cls.src = src

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def assert_agrees(self, path, expect_count=None):
        with zipfile.ZipFile(path) as z:
            infos = z.infolist()
        rows = ostrana_list(path)
        items, total = rows[:-1], rows[-1]
        self.assertEqual(len(infos), len(items), path)
        if expect_count is not None:
            self.assertEqual(expect_count, len(items))
        self.assertEqual("total", total[0])
        self.assertEqual("%d items" % len(infos), total[1])
        self.assertEqual(sum(i.file_size for i in infos), int(total[2]))
        self.assertEqual(sum(i.compress_size for i in infos), int(total[3]))
        for n, (info, row) in enumerate(zip(infos, items)):
            where = "%s item %d (%s)" % (os.path.basename(path), n, info.filename)
            self.assertEqual(9, len(row), where)
            self.assertEqual(str(n), row[0], where)
            self.assertEqual(info.filename, row[1], where)
            self.assertEqual(info.file_size, int(row[2]), where)
            self.assertEqual(info.compress_size, int(row[3]), where)
            self.assertEqual(METHOD_NAMES.get(real_method(info), "Unknown"), row[4], where)
            self.assertEqual("0x%08X" % info.CRC, row[5], where)
            y, mo, d, h, mi, s = shown_date_time(info)
            self.assertEqual("%02d/%02d/%04d  %02d:%02d:%02d" % (mo, d, y, h, mi, s), row[6], where)
            encrypted = bool(info.flag_bits & 1)
            self.assertEqual(encrypted, row[7][6] == "E", where)
            self.assertEqual(encrypted, row[8] != "none", where)
        return items

    # ---- 7-Zip --------------------------------------------------------------
    def seven_zip(self, name, *switches):
        path = os.path.join(self.tmp, name)
        subprocess.run(["7zz", "a", "-tzip", "-bd", "-bso0", "-bsp0", *switches, path, "."],
                       cwd=self.src, check=True, env=PEER_ENV)
        return path

    def test_7zip_store(self):
        items = self.assert_agrees(self.seven_zip("7z-store.zip", "-mx0"))
        self.assertTrue(all(row[4] == "Store" for row in items))

    def test_7zip_deflate(self):
        items = self.assert_agrees(self.seven_zip("7z-deflate.zip", "-mm=Deflate", "-mx9"))
        self.assertIn("Deflate", [row[4] for row in items])
        names = [row[1] for row in items]
        self.assertIn("caf\u00e9 na\u00efve.txt", names)
        self.assertIn("empty folder/", names)

    def test_7zip_deflate64(self):
        items = self.assert_agrees(self.seven_zip("7z-deflate64.zip", "-mm=Deflate64"))
        self.assertIn("Deflate64", [row[4] for row in items])

    def test_7zip_zipcrypto(self):
        items = self.assert_agrees(self.seven_zip("7z-zipcrypto.zip", "-pSecret", "-mem=ZipCrypto"))
        files = [row for row in items if not row[1].endswith("/")]
        self.assertTrue(all(row[8] == "Zip 2.04 Compatible" for row in files))

    def test_7zip_aes256(self):
        items = self.assert_agrees(self.seven_zip("7z-aes256.zip", "-pSecret", "-mem=AES256"))
        files = [row for row in items if not row[1].endswith("/")]
        self.assertTrue(files)
        for row in files:
            self.assertNotEqual("Unknown", row[4], "an AES item shows its real method")
            self.assertTrue(row[8].startswith("wZip AES-") and row[8].endswith("[256 bit]"), row)

    # ---- Python ---------------------------------------------------------------
    def test_python_forced_zip64(self):
        path = os.path.join(self.tmp, "py-zip64.zip")
        with zipfile.ZipFile(path, "w", compression=zipfile.ZIP_DEFLATED) as z:
            for name in ("one.txt", "two/three.bin"):
                with z.open(name, "w", force_zip64=True) as f:
                    f.write(b"zip64 sized data\n" * 100)
            z.writestr("plain.txt", b"plain")
        self.assert_agrees(path, 3)

    def test_python_data_descriptors(self):
        path = os.path.join(self.tmp, "py-descriptors.zip")
        with open(path, "wb") as raw:
            with zipfile.ZipFile(Unseekable(raw), "w", compression=zipfile.ZIP_DEFLATED) as z:
                z.writestr("streamed.txt", b"written without seeking back\n" * 50)
                z.writestr("stored.bin", b"\x01\x02\x03", compress_type=zipfile.ZIP_STORED)
        with zipfile.ZipFile(path) as z:
            self.assertTrue(all(i.flag_bits & 0x08 for i in z.infolist()), "data descriptors were written")
        self.assert_agrees(path, 2)

    def test_python_seventy_thousand_entries(self):
        path = os.path.join(self.tmp, "py-70000.zip")
        with zipfile.ZipFile(path, "w") as z:
            for n in range(70000):
                z.writestr(zipfile.ZipInfo("d%02d/f%05d.txt" % (n % 50, n), date_time=(2020, 1, 2, 3, 4, 6)),
                           b"%d" % n)
        with open(path, "rb") as f:
            f.seek(-22, os.SEEK_END)
            self.assertEqual(0xFFFF, struct.unpack("<4s4H2LH", f.read(22))[4], "saturated entry count: Zip64")
        self.assert_agrees(path, 70000)
        count = subprocess.run([OSTRANA, "count", path, "d07/*.txt"], capture_output=True, check=True)
        self.assertEqual(b"1400\n", count.stdout)

    # ---- bsdtar -----------------------------------------------------------------
    def test_bsdtar(self):
        for name, options in (("bsdtar-deflate.zip", []), ("bsdtar-store.zip", ["--options", "zip:compression=store"])):
            path = os.path.join(self.tmp, name)
            subprocess.run(["bsdtar", "--format", "zip", *options, "-cf", path, "."], cwd=self.src, check=True,
                           env=PEER_ENV)
            self.assert_agrees(path)


if __name__ == "__main__":
    unittest.main(verbosity=2)
