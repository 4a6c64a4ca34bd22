#!/usr/bin/env python3
"""tests/interop/test_writer_unchanged.py - Zip64 allowed, written only where needed.

Risk: allowing Zip64 (as every wizard run now does) changes archives that
need none, and readers that know no Zip64, or check versions strictly, see
something new.  tests/data/writer/before-unix-fields.zip is what this
project's writer made of the tree below (`ostrana add -l 7 --relative`,
TZ=UTC) before its entries were made on Unix.  Today's writer, with
`--zip64`, must give the same archive record for record and byte for byte,
apart from exactly these fields, which the test names: the 0x5455 block
(9 bytes, in both headers) holding the file's time, the host byte of version
made by (3, Unix) and the mode in the high 16 bits of the external
attributes; the offsets and the directory size move by those 9 bytes.  No
0x0001 block, no version 45 and no Zip64 end record may appear.  The
compressor has changed since (chunks, other parsers): deflated data is
compared by what it expands to, must not have grown, and the compressed
sizes and the offsets behind them follow it.
"""
import os
import shutil
import struct
import subprocess
import tempfile
import unittest
import zlib

from peerlib import OSTRANA, write_tree

BEFORE = os.path.join(os.environ.get("OSTRANA_TEST_DATA", os.path.join(os.path.dirname(__file__), "..", "data")),
                      "writer", "before-unix-fields.zip")
MTIME = 1431000000  # 2015-05-07 12:00:00 UTC
TREE = {
    "a.txt": b"".join(b"line %d of a small text\n" % (i % 37) for i in range(400)),
    "c.txt": b"short\n",
    "sub/b.bin": bytes((i * 7919 + (i >> 5)) & 0xFF for i in range(20000)),
    "sub/empty": b"",
}


def make_tree(root):
    write_tree(root, TREE)
    for name in TREE:
        os.chmod(os.path.join(root, name), 0o644)
    os.chmod(os.path.join(root, "sub"), 0o755)
    for name in list(TREE) + ["sub"]:
        os.utime(os.path.join(root, name), (MTIME, MTIME))


def records(archive):
    """[(central header fields, name, central extra, local fields, local extra, data)], end record fields."""
    end_at = archive.rfind(b"PK\x05\x06")
    end = struct.unpack_from("<4sHHHHIIH", archive, end_at)
    out, at = [], end[6]
    for _ in range(end[4]):
        c = struct.unpack_from("<4sHHHHHHIIIHHHHHII", archive, at)
        name = archive[at + 46:at + 46 + c[10]]
        cextra = archive[at + 46 + c[10]:at + 46 + c[10] + c[11]]
        at += 46 + c[10] + c[11] + c[12]
        lo = c[16]
        l = struct.unpack_from("<4sHHHHHIIIHH", archive, lo)
        lextra = archive[lo + 30 + l[9]:lo + 30 + l[9] + l[10]]
        data_at = lo + 30 + l[9] + l[10]
        out.append((c, name, cextra, l, lextra, archive[data_at:data_at + c[8]]))
    return out, end


class WriterUnchanged(unittest.TestCase):
    def test_an_archive_without_zip64_needs_is_as_before_apart_from_the_unix_fields(self):
        tmp = tempfile.mkdtemp(prefix="ostrana-unchanged-")
        try:
            src = os.path.join(tmp, "tree")
            make_tree(src)
            archive = os.path.join(tmp, "now.zip")
            env = dict(os.environ, TZ="UTC", XDG_STATE_HOME=os.path.join(tmp, "state"))
            p = subprocess.run([OSTRANA, "add", "-q", "-l", "7", "--relative", "--zip64", archive, "."], cwd=src,
                               env=env, capture_output=True)
            self.assertEqual(0, p.returncode, p.stderr.decode(errors="replace"))
            with open(BEFORE, "rb") as h:
                before = h.read()
            with open(archive, "rb") as h:
                now = h.read()
        finally:
            shutil.rmtree(tmp, ignore_errors=True)
        self.assertNotIn(b"PK\x06\x06", now, "no Zip64 end record")
        old, old_end = records(before)
        new, new_end = records(now)
        self.assertEqual([r[1] for r in old], [r[1] for r in new])
        stamp = struct.pack("<HHBI", 0x5455, 5, 1, MTIME)
        grown = 0  # compressed bytes the entries so far gained (negative: lost)
        for i, (o, n) in enumerate(zip(old, new)):
            oc, name, ocx, ol, olx, odata = o
            nc, _, ncx, nl, nlx, ndata = n
            with self.subTest(name=name):
                expand = (lambda d: zlib.decompress(d, -15)) if oc[4] == 8 else (lambda d: d)
                self.assertEqual(expand(odata), expand(ndata), "the data")
                self.assertLessEqual(len(ndata), len(odata), "the data has not grown")
                self.assertEqual((b"", b""), (ocx, olx), "the old entry had no extra field")
                self.assertEqual((stamp, stamp), (ncx, nlx), "the new extra field is the 0x5455 block alone")
                # Version made by: host 0 became 3 (Unix), the version itself is the same.
                self.assertEqual((0, 3), (oc[1] >> 8, nc[1] >> 8))
                self.assertEqual(oc[1] & 0xFF, nc[1] & 0xFF)
                self.assertLess(nc[2], 45, "no Zip64 version needed")
                # External attributes: the same DOS byte, the mode above it.
                mode = 0o040755 if name.endswith(b"/") else 0o100644
                self.assertEqual(mode << 16 | oc[15], nc[15])
                # Local header offset: every earlier local header is 9 bytes longer,
                # every earlier entry's data as long as it now is.
                self.assertEqual(oc[16] + 9 * i + grown, nc[16])
                # Everything else of the central header is as it was: versions needed,
                # flags, method, DOS time and date, CRC, size, lengths, disk, internal attributes.
                kept = [0, 2, 3, 4, 5, 6, 7, 9, 10, 12, 13, 14]
                self.assertEqual([oc[k] for k in kept], [nc[k] for k in kept])
                self.assertEqual((0, 9), (oc[11], nc[11]), "central extra length")
                self.assertEqual(ol[:7] + ol[8:10], nl[:7] + nl[8:10], "the local header up to its extra length")
                self.assertEqual(len(ndata), nl[7], "the local compressed size")
                self.assertEqual((0, 9), (ol[10], nl[10]))
                grown += len(ndata) - len(odata)
        count = len(old)
        self.assertEqual(old_end[:5], new_end[:5])
        self.assertEqual(old_end[5] + 9 * count, new_end[5], "directory size")
        self.assertEqual(old_end[6] + 9 * count + grown, new_end[6], "directory offset")
        self.assertEqual(old_end[7], new_end[7])


if __name__ == "__main__":
    unittest.main()
