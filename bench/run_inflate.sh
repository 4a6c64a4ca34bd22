#!/usr/bin/env bash
# bench/run_inflate.sh [small|full] [REPS] - the engine's inflate against zlib and libdeflate.
#
# Builds the benchmark configuration, builds the corpus once if it is missing
# (/work/corpus-small or /work/corpus-full, or $CORPUS_DIR), makes a
# Deflate64 archive of the corpus with 7-Zip once (kept in build-bench/),
# and prints the table of bench/inflate_bench.cpp:
# MB/s and the ratios ours/zlib and ours/libdeflate, with and without CRC-32,
# then the Deflate64 figure.  Single thread; times are CPU time.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-small}
reps=${2:-3}
corpus=${CORPUS_DIR:-/work/corpus-$size}
if [ ! -f "$corpus.manifest" ]; then
  echo "building the $size corpus in $corpus" >&2
  /work/shared/bench/make_corpus.sh "$corpus" "$size" >&2
fi
JOBS=${JOBS:-2} scripts/build bench >/dev/null
d64="$PWD/build-bench/$(basename "$corpus").deflate64.zip"
if [ ! -f "$d64" ]; then
  echo "making $d64 with 7-Zip" >&2
  (cd "$corpus" && 7zz a -tzip -mm=Deflate64 -mx=5 -mmt=1 "$d64.tmp" . >/dev/null) && mv "$d64.tmp" "$d64"
fi
echo "corpus: $corpus ($(cat "$corpus.summary" 2>/dev/null || echo unknown))"
echo "command: build-bench/bin/inflate_bench --reps $reps --deflate64 $d64 $corpus"
build-bench/bin/inflate_bench --reps "$reps" --deflate64 "$d64" "$corpus"
