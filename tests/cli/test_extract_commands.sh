#!/usr/bin/env bash
# tests/cli/test_extract_commands.sh - `ostrana extract` and `ostrana test` as a script sees them.
#
# Tests the front end only: which words and options the commands take, that
# a relative destination works, that nothing waits for an answer when stdin is
# not a terminal (an existing file is kept and said, -o replaces it, -n keeps
# it silently), that the exit status is the engine's result (39 for a bad CRC,
# 49 when the last item was skipped), and what `test` prints.
. "$(dirname "$0")/lib.sh"
: "${OSTRANA:?OSTRANA must name the ostrana binary}"

python3 - "$tmp" <<'PY'
import sys, zipfile
d = sys.argv[1]
with zipfile.ZipFile(d + "/sample.zip", "w") as z:
    z.writestr("A.TXT", "alpha\n")
    z.writestr("docs/", "")
    z.writestr("docs/B.TXT", "beta\n")
    z.writestr("empty/", "")
with zipfile.ZipFile(d + "/bad.zip", "w") as z:
    z.writestr("x.txt", "payload")
data = bytearray(open(d + "/bad.zip", "rb").read())
data[data.find(b"payload")] ^= 1
open(d + "/bad.zip", "wb").write(bytes(data))
PY

run extract --help;                       check "extract --help exits 0" 0 "$rc"
case $out in *"-o, --overwrite"*"-n, --never-overwrite"*"--freshen"*"-q, --quiet"*) ;;
  *) check "extract --help names its options" options "$out";; esac
run extract "$tmp/sample.zip";            check "extract without DEST exits 64" 64 "$rc"
run test "$tmp/sample.zip" -o;            check "test takes no -o" 64 "$rc"

cd "$tmp" || exit 1
run extract sample.zip out;               check "extract into a relative folder" 0 "$rc"
check "files and empty folders" "A.TXT docs docs/B.TXT empty" "$(cd out && find . -mindepth 1 | sed 's|^\./||' | sort | tr '\n' ' ' | sed 's/ $//')"
check "nothing said" "" "$err$out"

echo changed > out/A.TXT
run extract sample.zip out A.TXT;         check "existing file kept: 49 (the last item was skipped)" 49 "$rc"
check "kept file" changed "$(cat out/A.TXT)"
case $err in *"kept $tmp/out/A.TXT (it exists; -o overwrites)"*) ;; *) check "kept and said" said "$err";; esac
run extract sample.zip out A.TXT -n;      check "-n keeps it too" 49 "$rc"
case $err in *"kept "*) check "-n keeps it silently" "" "$err";; esac
run extract sample.zip out A.TXT -o;      check "-o replaces" 0 "$rc"
check "replaced file" alpha "$(cat out/A.TXT)"
run extract sample.zip j -j "docs/*";     check "-j drops folders" 0 "$rc"
check "junked" "B.TXT" "$(ls j)"

run test sample.zip;                      check "test exits 0" 0 "$rc"
check "test says how many" "sample.zip: 4 items tested, no errors" "$out"
run test bad.zip;                         check "test of a bad CRC exits 39" 39 "$rc"
check "bad CRC named, with its item" "ostrana: bad.zip: Bad CRC (x.txt: Problem extracting file(s))" "$err"
run test sample.zip -q;                   check "quiet test prints nothing" "" "$out$err"

# On a terminal the progress line counts items and gives the whole run's
# percent (items done plus the current item's share); without a terminal
# there is none.  70,000 tiny items take long enough to be drawn a few times.
if command -v script >/dev/null; then
  python3 - "$tmp/many.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for n in range(70000):
        z.writestr("f%05d.txt" % n, b"%d" % n)
PY
  script -qc "$OSTRANA test $tmp/many.zip" /dev/null > "$tmp/progress.txt" 2>&1
  tr '\r' '\n' < "$tmp/progress.txt" | sed -n 's/.*\[\([0-9]*\)\/70000\] *\([0-9]*\)%.*/\1 \2/p' > "$tmp/drawn.txt"
  [ -s "$tmp/drawn.txt" ] || check "progress line on a terminal" "[k/70000] p% ..." "$(cat "$tmp/progress.txt")"
  while read -r k pct; do  # between the items done and the items begun
    [ "$pct" -ge $(( (k - 1) * 100 / 70000 )) ] && [ "$pct" -le $(( k * 100 / 70000 )) ] ||
      check "the percent at item $k is the run's" "$(( (k - 1) * 100 / 70000 ))..$(( k * 100 / 70000 ))" "$pct"
  done < "$tmp/drawn.txt"
  run test "$tmp/many.zip"
  check "no progress line without a terminal" "$tmp/many.zip: 70000 items tested, no errors" "$out"
fi

finish
