#!/usr/bin/env python3
"""tests/engine/zip/check_deflate_streams.py - checks compressor output with the peer decoders.

Usage: check_deflate_streams.py DIR

DIR/manifest.txt has one line per stream, fields separated by tabs:
    stream-file  method  original-file-or-"-"  crc32-hex  size
Method 8 streams are decoded with Python's zlib (raw, wbits=-15); all streams,
method 8 and method 9 (Deflate64), are also wrapped into one zip archive,
built here byte by byte, and tested and extracted with 7-Zip (`7zz t`, `7zz x`).  When an original file
is named, the decoded bytes must equal it and the CRC-32 must be Python's zlib
crc32 of it; otherwise the decoded bytes must have the given CRC-32 and size
(the big streams, whose originals are not kept).  Exit status 0 only when every
stream passes; the last line reads "N passed, M failed".
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib


def inflate_raw(path):
    """Streams the decoded bytes of a raw deflate stream; checks that it ends exactly."""
    d = zlib.decompressobj(-15)
    with open(path, "rb") as f:
        while True:
            chunk = f.read(1 << 20)
            if not chunk:
                break
            out = d.decompress(chunk)
            if out:
                yield out
    tail = d.flush()
    if tail:
        yield tail
    if not d.eof:
        raise ValueError("stream does not end with a final block")
    if d.unused_data:
        raise ValueError("%d bytes after the end of the stream" % len(d.unused_data))


def crc_of_file(path):
    crc, size = 0, 0
    with open(path, "rb") as f:
        while True:
            chunk = f.read(1 << 20)
            if not chunk:
                return crc, size
            crc = zlib.crc32(chunk, crc)
            size += len(chunk)


def check_method8(stream, original, crc, size):
    got_crc, got_size = 0, 0
    parts = []
    for part in inflate_raw(stream):
        got_crc = zlib.crc32(part, got_crc)
        got_size += len(part)
        if original is not None:
            parts.append(part)
    if original is not None:
        with open(original, "rb") as f:
            if b"".join(parts) != f.read():
                return "decoded bytes differ from the original"
    if got_crc != crc or got_size != size:
        return "crc/size %08x/%d, expected %08x/%d" % (got_crc, got_size, crc, size)
    return None


def build_zip(path, entries):
    """entries: (name, stream-file, method, crc, size).  No data descriptors."""
    central = b""
    with open(path, "wb") as z:
        for name, stream, method, crc, size in entries:
            offset = z.tell()
            csize = os.path.getsize(stream)
            bname = name.encode()
            version = 21 if method == 9 else 20
            z.write(struct.pack("<IHHHHHIIIHH",
                                0x04034B50,  # local header signature
                                version,     # version needed: 2.1 for Deflate64, 2.0 for deflate
                                0,           # flags
                                method,      # 8 deflate, 9 Deflate64
                                0,           # time
                                0x21,        # date: 1980-01-01
                                crc, csize, size,
                                len(bname), 0))
            z.write(bname)
            with open(stream, "rb") as s:
                while True:
                    chunk = s.read(1 << 20)
                    if not chunk:
                        break
                    z.write(chunk)
            central += struct.pack("<IHHHHHHIIIHHHHHII",
                                   0x02014B50,  # central header signature
                                   version, version,  # made by, needed
                                   0, method, 0, 0x21,
                                   crc, csize, size,
                                   len(bname), 0, 0,  # name, extra, comment lengths
                                   0, 0, 0,           # disk, internal, external attributes
                                   offset) + bname
        cd_offset = z.tell()
        z.write(central)
        z.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries),
                            len(central), cd_offset, 0))


def check_with_7zip(work, items, results):
    """items: (stream, method, original, crc, size)."""
    zpath = os.path.join(work, "streams.zip")
    entries = [("e%04d" % i, stream, method, crc, size) for i, (stream, method, _o, crc, size) in enumerate(items)]
    build_zip(zpath, entries)
    t = subprocess.run(["7zz", "t", zpath], capture_output=True, text=True)
    if t.returncode != 0:
        for stream, *_ in items:
            results.append((stream, "7zz t failed: " + (t.stdout + t.stderr)[-800:]))
        return
    out_dir = os.path.join(work, "x")
    x = subprocess.run(["7zz", "x", "-y", "-o" + out_dir, zpath], capture_output=True, text=True)
    for i, (stream, _method, original, crc, size) in enumerate(items):
        extracted = os.path.join(out_dir, "e%04d" % i)
        problem = None
        if x.returncode != 0 or not os.path.exists(extracted):
            problem = "7zz x failed: " + (x.stdout + x.stderr)[-400:]
        else:
            got_crc, got_size = crc_of_file(extracted)
            if (got_crc, got_size) != (crc, size):
                problem = "7zz gave crc/size %08x/%d, expected %08x/%d" % (got_crc, got_size, crc, size)
            elif original is not None:
                with open(original, "rb") as a, open(extracted, "rb") as b:
                    if a.read() != b.read():
                        problem = "7zz output differs from the original"
            os.remove(extracted)
        results.append((stream + " (7-Zip)", problem))


def main():
    folder = sys.argv[1]
    items = []
    with open(os.path.join(folder, "manifest.txt")) as m:
        for line in m:
            stream, method, original, crc, size = line.rstrip("\n").split("\t")
            stream = os.path.join(folder, stream)
            original = None if original == "-" else os.path.join(folder, original)
            crc, size = int(crc, 16), int(size)
            if original is not None:
                crc, size = crc_of_file(original)  # the control's own CRC of the original
            items.append((stream, int(method), original, crc, size))
    results = []
    for stream, method, original, crc, size in items:
        if method != 8:
            continue
        try:
            results.append((stream + " (zlib)", check_method8(stream, original, crc, size)))
        except (zlib.error, ValueError) as e:
            results.append((stream + " (zlib)", "zlib: %s" % e))
    if items:
        with tempfile.TemporaryDirectory(dir=folder) as work:
            check_with_7zip(work, items, results)
    failed = [(s, p) for s, p in results if p]
    for s, p in failed:
        print("FAIL %s: %s" % (os.path.basename(s), p))
    print("%d passed, %d failed" % (len(results) - len(failed), len(failed)))
    return 1 if failed or not results else 0


if __name__ == "__main__":
    sys.exit(main())
