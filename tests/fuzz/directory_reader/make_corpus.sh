#!/usr/bin/env bash
# make_corpus.sh - rebuilds the seed corpus of the directory-reader fuzz target
# with the peer tools (7-Zip, Python's zipfile, bsdtar).  Small archives only:
# the fuzzer mutates them, so each seed should show one feature of the format.
set -euo pipefail
out=$(cd "$(dirname "$0")" && pwd)/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out" "$work/src/sub"
cd "$work/src"
printf 'hello, world\n' > hello.txt
python3 -c "print('lorem ipsum dolor sit amet ' * 40)" > sub/lorem.txt
printf 'x' > "My Document.txt"

7zz a -tzip -mx=0 "$out/7z-store.zip" hello.txt sub >/dev/null
7zz a -tzip -mx=9 "$out/7z-deflate.zip" hello.txt sub >/dev/null
7zz a -tzip -mm=Deflate64 "$out/7z-deflate64.zip" sub/lorem.txt >/dev/null
7zz a -tzip -pseed -mem=AES256 "$out/7z-aes256.zip" hello.txt "My Document.txt" >/dev/null
7zz a -tzip -pseed -mem=ZipCrypto "$out/7z-zipcrypto.zip" hello.txt >/dev/null
bsdtar -a -cf "$out/bsdtar.zip" hello.txt sub
# Unix modes, a symbolic link and 0x5455/0x7875 blocks as libarchive writes them.
ln -s hello.txt link
bsdtar --format zip -cf "$out/bsdtar-link-times.zip" hello.txt link
rm link
python3 - "$out" <<'PY'
import io, sys, zipfile
out = sys.argv[1]
with zipfile.ZipFile(f"{out}/py-zip64.zip", "w", zipfile.ZIP_DEFLATED) as z:
    with z.open("forced.txt", "w", force_zip64=True) as f:
        f.write(b"zip64 " * 50)
    z.writestr("plain.txt", b"plain")
buf = io.BytesIO()
class Stream(io.RawIOBase):  # not seekable: zipfile writes data descriptors
    def writable(self): return True
    def write(self, b): return buf.write(b)
with zipfile.ZipFile(Stream(), "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("dd/one.txt", b"descriptor " * 20)
    z.writestr("dd/two.txt", b"2")
open(f"{out}/py-descriptor.zip", "wb").write(buf.getvalue())
with zipfile.ZipFile(f"{out}/py-comment-utf8.zip", "w") as z:
    z.writestr("\u0442\u0435\u0441\u0442.txt", b"utf-8 name")
    z.writestr(zipfile.ZipInfo("caf\u00e9/", (2010, 1, 1, 0, 0, 0)), b"")
    z.comment = b"archive comment"
with zipfile.ZipFile(f"{out}/py-empty.zip", "w"):
    pass
PY
ls -l "$out"
