#!/usr/bin/env bash
# bench/run_speed.sh [full|small] [ROUNDS] [LEVEL...] - the whole speed table in one run.
#
# Builds the benchmark configuration (ostrana and bench/peer_archiver.cpp),
# builds the corpus once if it is missing (/work/corpus-full or -small, or
# $CORPUS_DIR), then, ROUNDS times each (default 2, the best wall time
# counts), interleaved, per level (default 1 3 6 7 9; `none` for no level):
#   ostrana add -q -l L -J 1        and  -J 2         (one and two threads)
#   peer_archiver zlib L / libdeflate L               (read, CRC-32, compress; one thread)
#   7zz a -tzip -mx=L -mmt=1        and  -mmt=2
# and prints wall seconds, CPU seconds (user + system, all threads),
# compressed data bytes (the entries' data alone: `ostrana list`'s total for
# the archives, the streams for the peers), peak memory (maximum resident
# set, all threads) and the ratios against libdeflate at the same level (wall
# and CPU time: below 1 is faster; size: below 1 is smaller).  On a machine
# that other programs keep busy the wall times say little; the CPU ratios of
# the one-thread runs still compare the codecs.  Then `ostrana test`/`extract` of the 7-Zip -mx5 archive with
# OSTRANA_THREADS=1 and 2 against `7zz t`/`7zz x` with -mmt=1 and -mmt=2,
# and the test's two-thread/one-thread ratio.
# Prints the machine's load before and after: figures taken while other
# programs run are noisy; compare ratios from one run.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-full}
rounds=${2:-2}
shift 2 || shift $#
levels=${*:-1 3 6 7 9}
[ "$levels" = none ] && levels=  # the test and extract rows alone
case $size in small|full) ;; *) echo "usage: bench/run_speed.sh [small|full] [ROUNDS] [LEVEL...]" >&2; exit 2 ;; esac
corpus=${CORPUS_DIR:-/work/corpus-$size}
if [ ! -f "$corpus.summary" ]; then
  echo "building the $size corpus in $corpus" >&2
  "${MAKE_CORPUS:-/work/shared/bench/make_corpus.sh}" "$corpus" "$size" >&2
fi
JOBS=${JOBS:-2} scripts/build bench ostrana peer_archiver >/dev/null
ostrana=$PWD/build-bench/bin/ostrana
peer=$PWD/build-bench/bin/peer_archiver
out=$(mktemp -d "${TMPDIR:-/tmp}/run-speed-XXXXXX")
trap 'rm -rf "$out"' EXIT
input=$(du -sb "$corpus" | cut -f1)
echo "corpus $corpus: $input bytes; best of $rounds rounds; load before: $(cut -d' ' -f1-3 /proc/loadavg)"

declare -A best cpu mem data
# measure NAME DATA_HOW COMMAND...: wall time (best), peak memory, data bytes.
measure() {
  local name=$1 how=$2
  shift 2
  rm -rf "$out/x" "$out/$name.zip" "$out/$name.raw"
  sync  # the last run's files reach the disk before this one is timed, not during it
  local t0 t1 ms rss cms
  t0=$(date +%s%N)
  (cd "$corpus" && /usr/bin/time -o "$out/$name.mem" -f '%M %U %S' "$@" >"$out/$name.log" 2>/dev/null)
  t1=$(date +%s%N)
  read -r rss cms < <(tail -1 "$out/$name.mem" | awk '{ printf "%d %d\n", $1, ($2 + $3) * 1000 }')
  ms=$(( (t1 - t0) / 1000000 ))
  if [ -z "${best[$name]:-}" ] || [ "$ms" -lt "${best[$name]}" ]; then best[$name]=$ms; fi
  if [ -z "${cpu[$name]:-}" ] || [ "$cms" -lt "${cpu[$name]}" ]; then cpu[$name]=$cms; fi
  mem[$name]=$rss
  case $how in
    archive) data[$name]=$("$ostrana" list "$out/$name.zip" | awk '$1 == "total" { print $5 }') ;;
    peer) data[$name]=$(awk '{ print $8 }' "$out/$name.log") ;;
    none) data[$name]=0 ;;
  esac
}

row() {  # row NAME REFERENCE
  local n=$1 r=$2
  awk -v n="$n" -v ms="${best[$n]}" -v c="${cpu[$n]}" -v d="${data[$n]}" -v m="${mem[$n]}" -v rms="${best[$r]}" \
    -v rc="${cpu[$r]}" -v rd="${data[$r]}" \
    'BEGIN { printf "  %-18s %8.2f %8.2f %12d %8.1f %9.3f %9.3f %9.4f\n", n, ms / 1000, c / 1000, d, m / 1024, ms / rms,
             (rc > 0 ? c / rc : 0), (rd > 0 ? d / rd : 0) }'
}

for level in $levels; do
  best=(); cpu=(); mem=(); data=()
  runs=(ours-j1 ours-j2 zlib libdeflate 7zz-mmt1 7zz-mmt2)
  for _ in $(seq "$rounds"); do
    measure ours-j1 archive "$ostrana" add -q -l "$level" -J 1 "$out/ours-j1.zip" .
    measure ours-j2 archive "$ostrana" add -q -l "$level" -J 2 "$out/ours-j2.zip" .
    measure zlib peer "$peer" zlib "$level" . "$out/zlib.raw"
    measure libdeflate peer "$peer" libdeflate "$level" . "$out/libdeflate.raw"
    measure 7zz-mmt1 archive 7zz a -tzip -mx="$level" -mmt=1 "$out/7zz-mmt1.zip" .
    measure 7zz-mmt2 archive 7zz a -tzip -mx="$level" -mmt=2 "$out/7zz-mmt2.zip" .
  done
  cmp -s "$out/ours-j1.zip" "$out/ours-j2.zip" && same="same bytes" || same="BYTES DIFFER"
  echo
  echo "level $level (ours -J 1 and -J 2: $same)"
  printf '  %-18s %8s %8s %12s %8s %9s %9s %9s\n' run seconds "cpu s" "data bytes" "peak MiB" "time/ld" "cpu/ld" \
    "size/ld"
  for n in "${runs[@]}"; do row "$n" libdeflate; done
done

best=(); cpu=(); mem=(); data=()
archive="$PWD/build-bench/$(basename "$corpus").deflate5.zip"
if [ ! -f "$archive" ]; then
  (cd "$corpus" && 7zz a -tzip -mx=5 -mmt=1 "$archive.tmp" . >/dev/null) && mv "$archive.tmp" "$archive"
fi
for _ in $(seq "$rounds"); do
  for j in 1 2; do
    measure "test-ours-j$j" none env OSTRANA_THREADS=$j "$ostrana" test -q "$archive"
    measure "test-7zz-mmt$j" none 7zz t -mmt=$j "$archive"
    measure "extract-ours-j$j" none env OSTRANA_THREADS=$j "$ostrana" extract -q "$archive" "$out/x"
    measure "extract-7zz-mmt$j" none 7zz x -y -mmt=$j -o"$out/x" "$archive"
  done
done
echo
echo "test and extract of $(basename "$archive") ($(stat -c %s "$archive") bytes)"
printf '  %-18s %8s %8s %8s %9s %9s\n' run seconds "cpu s" "peak MiB" "time/7zz" "cpu/7zz"
for what in test extract; do
  for j in 1 2; do
    for who in ours 7zz; do
      n=$what-ours-j$j r=$what-7zz-mmt$j
      [ $who = 7zz ] && n=$r
      awk -v n="$n" -v ms="${best[$n]}" -v c="${cpu[$n]}" -v m="${mem[$n]}" -v r="${best[$r]}" -v rc="${cpu[$r]}" \
        'BEGIN { printf "  %-18s %8.2f %8.2f %8.1f %9.3f %9.3f\n", n, ms / 1000, c / 1000, m / 1024, ms / r, (rc > 0 ? c / rc : 0) }'
    done
  done
done
awk -v a="${best[test-ours-j2]}" -v b="${best[test-ours-j1]}" 'BEGIN { printf "  ours test, two threads / one: %.3f\n", a / b }'
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
