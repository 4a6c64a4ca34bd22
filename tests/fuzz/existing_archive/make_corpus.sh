#!/usr/bin/env bash
# tests/fuzz/existing_archive/make_corpus.sh - small seed archives written by the peers.
# Run from anywhere; rewrites corpus/.  7-Zip, bsdtar and Python each write a
# small archive; Python also writes one with data descriptors (a stream), one
# with Zip64 sizes, and one with a preamble, a comment and bytes after it.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -p s/e
printf 'hello hello hello hello\n' > s/a.txt
printf '\001\002\003\004\005\006\007' > s/b.bin
7zz a -tzip "$here/corpus/7z.zip" s >/dev/null
bsdtar -a -cf "$here/corpus/bsdtar.zip" s
python3 - "$here/corpus" <<'PY'
import io, sys, zipfile
out = sys.argv[1]
class Stream(io.RawIOBase):
    def __init__(self): self.data = bytearray()
    def writable(self): return True
    def write(self, b): self.data += b; return len(b)
s = Stream()
with zipfile.ZipFile(s, "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("streamed.txt", b"streamed " * 10)
    z.writestr("dir/", b"")
open(out + "/py-descriptors.zip", "wb").write(bytes(s.data))
with zipfile.ZipFile(out + "/py-zip64.zip", "w", zipfile.ZIP_STORED) as z:
    with z.open("z64.txt", "w", force_zip64=True) as f:
        f.write(b"zip64 sizes")
b = io.BytesIO()
with zipfile.ZipFile(b, "w") as z:
    z.writestr("x.txt", b"x")
    z.comment = b"comment"
open(out + "/py-preamble-garbage.zip", "wb").write(b"#!stub\n" + b.getvalue() + b"junk")
PY
