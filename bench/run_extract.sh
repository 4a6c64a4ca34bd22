#!/usr/bin/env bash
# bench/run_extract.sh [full|small] [REPS] - `ostrana extract`/`test` against `7zz x`/`7zz t`, one and two threads.
#
# Builds the benchmark configuration (its `ostrana` is the optimised one),
# builds the corpus once if it is missing (/work/corpus-full or -small, or
# $CORPUS_DIR), makes the corpus archive with 7-Zip once (-tzip -mx=5,
# deflate; kept in build-bench/), then times, REPS times each and
# interleaved, in one run, with N = 1 and 2 threads:
#   extract  OSTRANA_THREADS=N ostrana extract ARCHIVE DIR -q   vs  7zz x -mmt=N -oDIR ARCHIVE
#   test     OSTRANA_THREADS=N ostrana test ARCHIVE -q          vs  7zz t -mmt=N ARCHIVE
# Every extraction goes to a fresh folder that is removed (and flushed to the
# disk) before the next run starts, so no run pays for another's deletions.
# Prints the best wall-clock time and the CPU time (user + system) of that
# run for each, the throughput over the corpus's bytes, and ours/theirs;
# then PAIRS (default 20) alternating one/two-thread tests: the min, mean and
# median of their ratio, over all pairs and over those the rest of the
# machine left alone.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-full}
reps=${2:-3}
corpus=${CORPUS_DIR:-/work/corpus-$size}
if [ ! -f "$corpus.manifest" ]; then
  echo "building the $size corpus in $corpus" >&2
  /work/shared/bench/make_corpus.sh "$corpus" "$size" >&2
fi
JOBS=${JOBS:-2} scripts/build bench >/dev/null
archive="$PWD/build-bench/$(basename "$corpus").deflate5.zip"
if [ ! -f "$archive" ]; then
  echo "making $archive with 7-Zip" >&2
  (cd "$corpus" && 7zz a -tzip -mx=5 -mmt=1 "$archive.tmp" . >/dev/null) && mv "$archive.tmp" "$archive"
fi
scratch=$(mktemp -d "${TMPDIR:-/tmp}/run-extract-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
echo "corpus: $corpus ($(cat "$corpus.summary" 2>/dev/null | tr '\n' ' '))"
echo "archive: $archive ($(stat -c %s "$archive") bytes)"
python3 - "$PWD/build-bench/bin/ostrana" "$archive" "$scratch" "$reps" "$(du -sb "$corpus" | cut -f1)" <<'EOF'
import os, resource, shutil, subprocess, sys, time

ostrana, archive, scratch, reps, corpus_bytes = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
out = os.path.join(scratch, "out")

def run(argv):
    if os.path.exists(out):
        shutil.rmtree(out)
    os.sync()
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(argv, check=True, stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)

def ours(*args):
    return lambda threads: ["env", "OSTRANA_THREADS=%d" % threads, ostrana] + list(args)

pairs = {
    "extract": (ours("extract", archive, out, "-q"),
                lambda t: ["7zz", "x", "-mmt=%d" % t, "-bd", "-y", "-o" + out, archive]),
    "test": (ours("test", archive, "-q"), lambda t: ["7zz", "t", "-mmt=%d" % t, "-bd", archive]),
}
print("%-8s %-8s %9s %9s %9s   %s" % ("what", "who", "wall s", "cpu s", "MB/s", "command"))
for what, (ours_argv, theirs_argv) in pairs.items():
    rows = [("ours-j%d" % t, ours_argv(t)) for t in (1, 2)] + [("7zz-mmt%d" % t, theirs_argv(t)) for t in (1, 2)]
    best = {}
    for _ in range(reps):
        for who, argv in rows:  # interleaved, so a slower moment of the machine hits every row alike
            r = run(argv)
            if who not in best or r[0] < best[who][0]:
                best[who] = r
    for who, argv in rows:
        wall, cpu = best[who]
        print("%-8s %-9s %8.3f %9.3f %9.1f   %s" % (what, who, wall, cpu, corpus_bytes / wall / 1e6, " ".join(argv)))
    for t in (1, 2):
        print("%-8s ratio ours/7zz, %d thread(s): wall %.2f, cpu %.2f (below 1: ours is faster)" %
              (what, t, best["ours-j%d" % t][0] / best["7zz-mmt%d" % t][0],
               best["ours-j%d" % t][1] / best["7zz-mmt%d" % t][1]))
    print("%-8s ours, two threads / one: wall %.2f, cpu %.2f" %
          (what, best["ours-j2"][0] / best["ours-j1"][0], best["ours-j2"][1] / best["ours-j1"][1]))

# `test` in alternating one/two-thread pairs: the ratio of each pair, whose two runs are taken
# close together.  A pair counts as quiet when the rest of the machine used under 2 % of a
# core while it ran (from /proc/stat, less our own CPU time).
tick = os.sysconf("SC_CLK_TCK")
def machine_busy():
    v = list(map(int, open("/proc/stat").readline().split()[1:]))
    return (v[0] + v[1] + v[2] + v[5] + v[6]) / tick
def timed_test(threads):
    r0 = resource.getrusage(resource.RUSAGE_CHILDREN)
    b0, start = machine_busy(), time.perf_counter()
    subprocess.run(ours("test", archive, "-q")(threads), check=True, stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    b1, r1 = machine_busy(), resource.getrusage(resource.RUSAGE_CHILDREN)
    mine = (r1.ru_utime - r0.ru_utime) + (r1.ru_stime - r0.ru_stime)
    return wall, (b1 - b0) - mine
ratios, quiet = [], []
for _ in range(int(os.environ.get("PAIRS", "20"))):
    (one, other1), (two, other2) = timed_test(1), timed_test(2)
    ratios.append(two / one)
    if other1 + other2 < 0.02 * (one + two):
        quiet.append(two / one)
for name, r in (("all", ratios), ("quiet", quiet)):
    if r:
        print("test     two threads / one, %d %s pairs: min %.3f, mean %.3f, median %.3f" %
              (len(r), name, min(r), sum(r) / len(r), sorted(r)[len(r) // 2]))
if os.path.exists(out):
    shutil.rmtree(out)
EOF
