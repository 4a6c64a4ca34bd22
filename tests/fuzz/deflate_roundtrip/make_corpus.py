"""Writes the large seeds of the deflate_roundtrip fuzz target.

Each seed is two control bytes (level and format, read size; see fuzz.cpp)
and an entry.  The entries are generated here, deterministically, and are
long enough to make the compressor slide its window more than once (over
64 KiB for Deflate, over 128 KiB for Deflate64), which the small hand-made
seeds never reach:

  slide_text, slide_text64   source-like lines with identifiers that recur
                             tens of kilobytes apart, so matches reach back
                             across each slide
  window_edge, window_edge64 a sliding-window torture run: literal noise with
                             copies at distances just below, at and just above
                             the window size, of every length 3..258, and runs
                             that go on across block ends
  repeated_text              one paragraph over and over (long matches, the
                             lazy matcher's cut-offs)
  mixed_binary               random bytes with repeated records and zero runs

The seeds are longer than the fuzzers' usual input limit: max_len beside this
file raises it for this target.

Usage: python3 make_corpus.py OUT_DIR
"""
import os, random, sys

WORDS = ('archive entry header length offset buffer window match literal '
         'distance block symbol table count index value result status flag '
         'volume folder name size crc method level stream source sink').split()


def source_lines(rng, nbytes):
    """Text shaped like C++: declarations, calls, comments, indentation."""
    names = ['%s_%s' % (rng.choice(WORDS), rng.choice(WORDS)) for _ in range(300)]
    out, depth = [], 0
    while sum(map(len, out)) < nbytes:
        kind = rng.random()
        pad = '  ' * depth
        a, b, c = rng.choice(names), rng.choice(names), rng.choice(names)
        if kind < 0.15 and depth < 4:
            out.append('%sfor (size_t %s = 0; %s < %s.size(); ++%s) {\n' % (pad, a[:1], a[:1], b, a[:1]))
            depth += 1
        elif kind < 0.3 and depth > 0:
            depth -= 1
            out.append('  ' * depth + '}\n')
        elif kind < 0.45:
            out.append('%s// The %s of the %s, kept for the %s.\n' % (pad, *rng.sample(WORDS, 3)))
        elif kind < 0.7:
            out.append('%sconst uint%d_t %s = %s(%s, %d);\n' % (pad, rng.choice((8, 16, 32, 64)), a, b, c,
                                                            rng.randrange(65536)))
        else:
            out.append('%sif (%s != %s) return %s;\n' % (pad, a, b, c))
    return ''.join(out).encode()[:nbytes]


def window_edge(rng, window, nbytes):
    """Copies at distances window-2 .. window+2 of lengths 3..258, between noise."""
    data = bytearray(rng.randbytes(window + 300))
    length = 3
    while len(data) < nbytes:
        for distance in (window - 2, window - 1, window, window + 1, 1, 258, 32768 - 1):
            start = len(data) - distance
            for i in range(length):  # byte by byte: a copy may overlap itself
                data.append(data[start + i])
            data += rng.randbytes(rng.randrange(1, 6))
        length = length + 1 if length < 258 else 3
        if rng.random() < 0.02:  # a long run that a block end falls into
            data += bytes([rng.randrange(256)]) * rng.randrange(2000, 20000)
    return bytes(data[:nbytes])


def repeated_text(nbytes):
    paragraph = (b'The new archive is built beside the old one and renamed over it only when '
                 b'it is complete and flushed; a crash leaves the old archive as it was.\n')
    return (paragraph * (nbytes // len(paragraph) + 1))[:nbytes]


def mixed_binary(rng, nbytes):
    records = [rng.randbytes(rng.randrange(16, 200)) for _ in range(40)]
    out = bytearray()
    while len(out) < nbytes:
        r = rng.random()
        if r < 0.5:
            out += rng.choice(records)
        elif r < 0.8:
            out += rng.randbytes(rng.randrange(1, 400))
        else:
            out += bytes(rng.randrange(1, 3000))
    return bytes(out[:nbytes])


def main(out):
    rng = random.Random(25)
    os.makedirs(out, exist_ok=True)
    # Control bytes: low nibble level, 0x10 Deflate64; second byte 0 = one read, else 97-byte steps.
    seeds = {
        'slide_text': (b'\x07\x00', source_lines(rng, 90000)),
        'slide_text64': (b'\x19\x03', source_lines(rng, 150000)),
        'window_edge': (b'\x06\x00', window_edge(rng, 32768, 100000)),
        'window_edge64': (b'\x19\x00', window_edge(rng, 65536, 200000)),
        'repeated_text': (b'\x09\x05', repeated_text(70000)),
        'mixed_binary': (b'\x05\x00', mixed_binary(rng, 80000)),
    }
    for name, (control, entry) in seeds.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(control + entry)


if __name__ == '__main__':
    main(sys.argv[1])
