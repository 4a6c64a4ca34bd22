#!/usr/bin/env bash
# bench/run_deflate.sh [small|full] [LEVEL...] - the engine's deflate against zlib and libdeflate.
#
# Builds the benchmark configuration (scripts/build bench), builds the benchmark
# corpus once if it is missing (/work/corpus-small or /work/corpus-full beside
# the shared folder; CORPUS_DIR overrides the place; a corpus is never deleted
# here) and prints the table of deflate_bench: per level the compressed ratio
# and MB/s of each compressor and the engine's size and speed ratios against
# zlib and libdeflate, all measured in the same run, one thread.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-small}
shift || true
case $size in small|full) ;; *) echo "usage: bench/run_deflate.sh [small|full] [LEVEL...]" >&2; exit 2 ;; esac
corpus=${CORPUS_DIR:-/work/corpus-$size}
maker=${MAKE_CORPUS:-/work/shared/bench/make_corpus.sh}
if [ ! -f "$corpus.summary" ]; then
  echo "building the $size corpus in $corpus" >&2
  "$maker" "$corpus" "$size" >&2
fi
JOBS=${JOBS:-2} scripts/build bench >/dev/null
exec build-bench/bin/deflate_bench "$corpus" "$@"
