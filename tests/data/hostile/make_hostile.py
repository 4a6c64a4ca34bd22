#!/usr/bin/env python3
"""tests/data/hostile/make_hostile.py - writes the hostile archives of the tests.

Each archive is built byte by byte here (struct, zlib), so every field that a
hostile writer could set is under control; nothing is downloaded.  The
archives are committed beside this script; `make_hostile.py --check DIR`
rebuilds them into DIR and the interop test compares the two, so the committed
files and their description here never drift apart.

    overlapping.zip          three directory records share one local header / point into data
    local_offset_beyond.zip  a local header offset far beyond the end of the file
    directory_self_local.zip an item whose local header offset is the directory itself
    directory_self_end.zip   a directory offset that points at the end record
    zip64_absurd_counts.zip  a Zip64 end record claiming 2^64-1 entries in 2^62 bytes
    long_name.zip            an item name of 65,535 bytes, then an ordinary item
    climbing_names.zip       "..", absolute and backslash names beside an ordinary item
    listed_twice.zip         one name listed twice, with different data
    bomb.zip                 50 MB of zeros in 50 KB, claiming 100 bytes
"""
import os
import struct
import sys
import zlib

DOS_TIME = (12 << 11) | (30 << 5)
DOS_DATE = (30 << 9) | (6 << 5) | 15


def local_header(name, data, method=0, crc=None, csize=None, usize=None, extra=b""):
    crc = zlib.crc32(data) if crc is None else crc
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, method, DOS_TIME, DOS_DATE, crc,
                       len(data) if csize is None else csize, len(data) if usize is None else usize,
                       len(name), len(extra)) + name + extra


def central_header(name, offset, crc, csize, usize, method=0, extra=b""):
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, method, DOS_TIME, DOS_DATE, crc,
                       csize, usize, len(name), len(extra), 0, 0, 0, 0o100644 << 16, offset) + name + extra


def end_record(count, cd_size, cd_offset, disk_count=None):
    n = count if disk_count is None else disk_count
    return struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, n, count, cd_size, cd_offset, 0)


class Builder:
    """Local headers and data first, then the directory, then the end record."""

    def __init__(self):
        self.body = b""
        self.records = []

    def add(self, name, data, method=0, stored=None, usize=None):
        """Adds an item; @stored is the data as written (compressed), @data the original."""
        stored = data if stored is None else stored
        usize = len(data) if usize is None else usize
        offset = len(self.body)
        crc = zlib.crc32(data)
        self.body += local_header(name, stored, method, crc, len(stored), usize) + stored
        self.records.append(central_header(name, offset, crc, len(stored), usize, method))
        return offset

    def record(self, name, offset, data, method=0):
        """A directory record only, pointing at @offset."""
        self.records.append(central_header(name, offset, zlib.crc32(data), len(data), len(data), method))

    def build(self):
        cd = b"".join(self.records)
        return self.body + cd + end_record(len(self.records), len(cd), len(self.body))


def overlapping():
    b = Builder()
    data = b"A" * 64
    b.add(b"a.txt", data)
    b.record(b"b.txt", 0, data)    # a second name for the same local header and data
    b.record(b"c.txt", 40, data)   # a "local header" in the middle of a.txt's data
    return b.build()


def local_offset_beyond():
    b = Builder()
    b.add(b"ok.txt", b"fine")
    b.record(b"far.txt", 0x7FFFFFF0, b"far away")
    return b.build()


def directory_self_local():
    b = Builder()
    b.add(b"ok.txt", b"fine")
    cd_offset = len(b.body)
    b.record(b"self.txt", cd_offset, b"x" * 46)  # its "local header" is the first directory record
    return b.build()


def directory_self_end():
    b = Builder()
    b.add(b"ok.txt", b"fine")
    cd = b"".join(b.records)
    end_offset = len(b.body) + len(cd)
    # The end record says the directory is the end record itself.
    return b.body + cd + end_record(1, 22, end_offset)


def zip64_absurd_counts():
    b = Builder()
    b.add(b"ok.txt", b"fine")
    cd = b"".join(b.records)
    cd_offset = len(b.body)
    z64_offset = cd_offset + len(cd)
    z64 = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, 0xFFFFFFFFFFFFFFFF, 0xFFFFFFFFFFFFFFFF,
                      1 << 62, cd_offset)
    locator = struct.pack("<IIQI", 0x07064B50, 0, z64_offset, 1)
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0)
    return b.body + cd + z64 + locator + end


def long_name():
    b = Builder()
    b.add(b"n" * 65535, b"long")
    b.add(b"ok.txt", b"fine")
    return b.build()


def climbing_names():
    b = Builder()
    for name in (b"../escape1.txt", b"sub/../../escape2.txt", b"/tmp/ostrana-absolute.txt",
                 b"..\\escape3.txt", b"sub/..", b"ok.txt"):
        b.add(name, b"payload of " + name)
    return b.build()


def listed_twice():
    b = Builder()
    b.add(b"same.txt", b"first")
    b.add(b"same.txt", b"second")
    return b.build()


def bomb():
    data = b"\0" * (50 << 20)
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    stored = c.compress(data) + c.flush()
    b = Builder()
    b.add(b"bomb.bin", b"\0" * 100, method=8, stored=stored, usize=100)
    return b.build()


ARCHIVES = {
    "overlapping.zip": overlapping,
    "local_offset_beyond.zip": local_offset_beyond,
    "directory_self_local.zip": directory_self_local,
    "directory_self_end.zip": directory_self_end,
    "zip64_absurd_counts.zip": zip64_absurd_counts,
    "long_name.zip": long_name,
    "climbing_names.zip": climbing_names,
    "listed_twice.zip": listed_twice,
    "bomb.zip": bomb,
}


def write_all(folder):
    os.makedirs(folder, exist_ok=True)
    for name, make in ARCHIVES.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(make())


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--check":
        write_all(sys.argv[2])
    else:
        write_all(os.path.dirname(os.path.abspath(__file__)))
