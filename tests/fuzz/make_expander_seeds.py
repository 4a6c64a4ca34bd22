#!/usr/bin/env python3
"""tests/fuzz/make_expander_seeds.py - seed corpora of the expanders' fuzz targets.

Writes tests/fuzz/{inflate,inflate64,unshrink,unreduce,explode}/corpus/ from
Python's zlib, 7-Zip (Deflate64) and the sample archives in
tests/data/fixtures.  Every seed starts with the harness's four bytes: the
target's variant byte and the uncompressed size (see expander_fuzz.h).
Run from anywhere; the output is deterministic except for 7-Zip's archives.
"""
import os, random, struct, subprocess, sys, tempfile, zipfile, zlib

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, '..', 'data', 'fixtures')


def seed(target, name, variant, size, data):
    d = os.path.join(HERE, target, 'corpus')
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), 'wb') as f:
        f.write(bytes([variant]) + struct.pack('<I', size)[:3] + data)


def members(archive):
    """(info, raw data) of each member, located through the local header."""
    with open(archive, 'rb') as f:
        blob = f.read()
    with zipfile.ZipFile(archive) as z:
        for info in z.infolist():
            off = info.header_offset
            name_len, extra_len = struct.unpack('<HH', blob[off + 26:off + 30])
            start = off + 30 + name_len + extra_len
            yield info, blob[start:start + info.compress_size]


rnd = random.Random(7)
text = ' '.join(''.join(rnd.choice('abcdefghij') for _ in range(rnd.randint(1, 7))) for _ in range(500)).encode()
mixed = text[:800] + bytes(rnd.getrandbits(8) for _ in range(300)) + b'\0' * 400 + text[:600]
for i, (level, strategy, wbits) in enumerate([(1, 0, 15), (6, 0, 15), (9, 0, 15), (0, 0, 15), (6, zlib.Z_FIXED, 15),
                                              (6, zlib.Z_HUFFMAN_ONLY, 15), (6, zlib.Z_RLE, 15), (9, 0, 9)]):
    for j, data in enumerate((text, mixed)):
        c = zlib.compressobj(level, zlib.DEFLATED, -wbits, 8, strategy)
        seed('inflate', f'zlib-{i}-{j}', i & 3, len(data), c.compress(data) + c.flush())

with tempfile.TemporaryDirectory() as tmp:
    for name, data in (('text', text), ('mixed', mixed * 3), ('far', bytes(rnd.getrandbits(8) for _ in range(1500)) * 3)):
        with open(os.path.join(tmp, name), 'wb') as f:
            f.write(data)
    archive = os.path.join(tmp, 'd64.zip')
    subprocess.run(['7zz', 'a', '-tzip', '-mm=Deflate64', '-mx=9', archive, 'text', 'mixed', 'far'],
                   cwd=tmp, check=True, stdout=subprocess.DEVNULL)
    for info, data in members(archive):
        if info.compress_type == 9:
            seed('inflate64', '7zz-' + info.filename, 0, info.file_size, data)

for archive, target in (('zip2/shrink.zip', 'unshrink'), ('commons-compress/SHRUNK.ZIP', 'unshrink'),
                        ('zip2/reduce.zip', 'unreduce'), ('zip2/implode.zip', 'explode'),
                        ('commons-compress/imploding-4Kdict-2trees.zip', 'explode'),
                        ('commons-compress/imploding-8Kdict-3trees.zip', 'explode'),
                        ('commons-compress/lorem-ipsum-deflate64.zip', 'inflate64')):
    for info, data in members(os.path.join(FIXTURES, archive)):
        if target == 'unreduce':
            variant = info.compress_type - 2
        elif target == 'explode':
            variant = info.flag_bits & 6
        else:
            variant = 0
        base = os.path.basename(archive).split('.')[0] + '-' + info.filename.replace('/', '_')
        seed(target, base, variant, info.file_size, data[:6000])
# The larger reduce members, cut short: one per factor.
for factor in range(1, 5):
    for info, data in members(os.path.join(FIXTURES, f'sharpcompress/Zip.reduce{factor}.zip')):
        if info.filename == 'TEST.EXE':
            seed('unreduce', f'reduce{factor}-head', factor - 1, 3000, data[:1500])
