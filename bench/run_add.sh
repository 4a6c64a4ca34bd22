#!/usr/bin/env bash
# bench/run_add.sh [small|full] [ROUNDS] [encrypt] - `ostrana add` against 7-Zip on the whole corpus.
#
# Builds `ostrana` in the benchmark configuration, builds the benchmark corpus
# once if it is missing (/work/corpus-small or /work/corpus-full; CORPUS_DIR
# overrides; a corpus is never deleted here) and archives the whole corpus with
#   ostrana add -l 6   and   ostrana add -l 7          (one thread, as always)
#   7zz a -tzip -mx=5 -mmt=1                             (7-Zip's default level, one thread)
# each ROUNDS times (default 3, the best time counts), alternating, into a
# fresh archive each time.  Prints the time and size of each and the engine's
# ratios against 7-Zip (time: below 1 is faster; size: below 1 is smaller).
# With "encrypt" it also times level 6 under a password, against 7-Zip's
# ZipCrypto (the same cipher) and AES-256 (7-Zip writes the WinZip AES format,
# the engine PKWARE strong encryption; both AES-256 with SHA-1 based keys):
#   ostrana add -l 6 -p PW   /  7zz ... -mem=ZipCrypto
#   ostrana add -l 6 -p PW --aes 256  /  7zz ... -mem=AES256
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-full}
rounds=${2:-3}
encrypt=${3:-}
case $size in small|full) ;; *) echo "usage: bench/run_add.sh [small|full] [ROUNDS] [encrypt]" >&2; exit 2 ;; esac
corpus=${CORPUS_DIR:-/work/corpus-$size}
maker=${MAKE_CORPUS:-/work/shared/bench/make_corpus.sh}
if [ ! -f "$corpus.summary" ]; then
  echo "building the $size corpus in $corpus" >&2
  "$maker" "$corpus" "$size" >&2
fi
JOBS=${JOBS:-2} scripts/build bench ostrana >/dev/null
ostrana=$PWD/build-bench/bin/ostrana
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

declare -A best size_of peer_of
runs=(ostrana-l6 ostrana-l7 7zz-mx5)
for n in "${runs[@]}"; do peer_of[$n]=7zz-mx5; done
if [ "$encrypt" = encrypt ]; then
  runs+=(ostrana-l6-zc 7zz-mx5-zc ostrana-l6-aes 7zz-mx5-aes)
  peer_of[ostrana-l6-zc]=7zz-mx5-zc; peer_of[7zz-mx5-zc]=7zz-mx5-zc
  peer_of[ostrana-l6-aes]=7zz-mx5-aes; peer_of[7zz-mx5-aes]=7zz-mx5-aes
fi
measure() {  # measure NAME COMMAND...: the best wall time in ms, and the archive's size
  local name=$1 archive=$out/$1.zip
  shift
  rm -f "$archive"
  local start end ms
  start=$(date +%s%N)
  (cd "$corpus" && "$@" "$archive" . >/dev/null)
  end=$(date +%s%N)
  ms=$(( (end - start) / 1000000 ))
  if [ -z "${best[$name]:-}" ] || [ "$ms" -lt "${best[$name]}" ]; then best[$name]=$ms; fi
  size_of[$name]=$(stat -c %s "$archive")
}
for _ in $(seq "$rounds"); do
  measure ostrana-l6 "$ostrana" add -q -l 6
  measure ostrana-l7 "$ostrana" add -q -l 7
  measure 7zz-mx5 7zz a -tzip -mx=5 -mmt=1
  if [ "$encrypt" = encrypt ]; then
    measure ostrana-l6-zc "$ostrana" add -q -l 6 -p bench-pw
    measure 7zz-mx5-zc 7zz a -tzip -mx=5 -mmt=1 -pbench-pw -mem=ZipCrypto
    measure ostrana-l6-aes "$ostrana" add -q -l 6 -p bench-pw --aes 256
    measure 7zz-mx5-aes 7zz a -tzip -mx=5 -mmt=1 -pbench-pw -mem=AES256
  fi
done

input=$(du -sb "$corpus" | cut -f1)
printf 'corpus %s: %d bytes; best of %d rounds, one thread\n\n' "$corpus" "$input" "$rounds"
printf '%-14s %10s %14s %8s %10s %10s\n' run seconds bytes ratio "time/7zz" "size/7zz"
for name in "${runs[@]}"; do
  peer=${peer_of[$name]}
  awk -v n="$name" -v ms="${best[$name]}" -v b="${size_of[$name]}" -v total="$input" \
      -v ms7="${best[$peer]}" -v b7="${size_of[$peer]}" \
      'BEGIN { printf "%-14s %10.2f %14d %7.1f%% %10.3f %10.4f\n", n, ms / 1000, b, 100 * b / total, ms / ms7, b / b7 }'
done
