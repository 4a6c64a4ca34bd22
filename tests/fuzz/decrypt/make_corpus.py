"""Writes the seed corpus of the decrypt fuzz target from the sample archives.

Each seed is one encrypted item in the target's input format (see fuzz.cpp).
Usage: python3 make_corpus.py FIXTURES_DIR OUT_DIR
"""
import os, struct, sys, zipfile

SEEDS = [
    ('sharpcompress/zipcrypto.zip', 'brown.txt', b'test'),
    ('libarchive/traditional_encryption_data.zip', 'bar.txt', b'12345678'),
    ('zip2/aes_archive.zip', 'secret_data_128', b'helloworld'),
    ('zip2/aes_archive.zip', 'secret_data_256', b'helloworld'),
    ('libarchive/encryption_data.zip', 'bar.txt', b'12345678'),
]

def blocks(extra, tag):
    at = 0
    while at + 4 <= len(extra):
        t, n = struct.unpack_from('<HH', extra, at)
        if t == tag:
            return extra[at:at + 4 + n]
        at += 4 + n
    return b''

def main(fixtures, out):
    os.makedirs(out, exist_ok=True)
    for i, (path, name, pw) in enumerate(SEEDS):
        raw = open(os.path.join(fixtures, path), 'rb').read()
        info = zipfile.ZipFile(os.path.join(fixtures, path)).getinfo(name)
        n, m = struct.unpack_from('<HH', raw, info.header_offset + 26)
        local_extra = raw[info.header_offset + 30 + n:info.header_offset + 30 + n + m]
        start = info.header_offset + 30 + n + m
        aes = blocks(info.extra, 0x9901) or blocks(local_extra, 0x9901)
        strong = blocks(info.extra, 0x0017)
        selector = (1 if info.flag_bits & 1 else 0) | (2 if info.flag_bits & 8 else 0) | (4 if info.flag_bits & 0x40 else 0)
        selector |= (8 if aes else 0) | (16 if strong else 0)
        dos_time = (info.date_time[3] << 11) | (info.date_time[4] << 5) | (info.date_time[5] // 2)
        seed = struct.pack('<BIHQHB', selector, info.CRC, dos_time, info.file_size, info.compress_size, len(pw)) + pw
        if aes:
            seed += bytes([len(aes)]) + aes
        if strong:
            seed += bytes([len(strong)]) + strong
        seed += raw[start:start + info.compress_size + 8]
        open(os.path.join(out, 'seed-%d' % i), 'wb').write(seed)

if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
