#!/usr/bin/env bash
# tests/cli/test_scheduled_concurrent.sh - two runs of one scheduled task started at the same moment.
#
# Cron and a user, or two overlapping schedules, may start the same task
# together.  Twenty times over, for a task that makes its archive anew and
# one that adds to it: both runs end (the second waits for the first's lock
# or says it is busy), the archive always passes 7-Zip's test, and it holds
# exactly the entries one complete run gives.
. "$(dirname "$0")/lib.sh"
need 7zz
parvell="$OSTRANA_BIN_DIR/parvell"
work=$tmp
rounds=${CONCURRENT_ROUNDS:-20}

mkdir -p "$work/src/sub" "$work/home" "$work/runs"
for i in $(seq 1 12); do seq 1 $((i * 3000)) > "$work/src/sub/part$i.txt"; done
head -c 300000 /dev/urandom > "$work/src/noise.bin"

run_task() {
  as_cron timeout 60 "$parvell" /scheduled "$1" >/dev/null 2>"$2"
  echo $? > "$2.rc"
}

for operation in 0 1; do
  python3 "$here/task_files.py" write "$work/task" ZIP_TASK_NAME=Twice "ZIP_OPERATION=$operation" \
    "ZIP_CREATE_NEW=$((1 - operation))" "ZIP_WORKING_FILE_NAME=$work/out.zip" \
    "ZIP_ORIGINATING_FOLDER_NAME=$work/src" "ZIP_ORIGINAL_FILES_LIST=\"$work/src/*.*\" "
  rm -f "$work/out.zip"
  run_task "$work/task" "$work/runs/first"
  7zz l -ba -slt "$work/out.zip" | grep '^Path = ' | sort > "$work/expected"
  [ -s "$work/expected" ] || fail "operation $operation: the single run made no archive"
  for round in $(seq 1 "$rounds"); do
    run_task "$work/task" "$work/runs/a" & run_task "$work/task" "$work/runs/b" & wait
    for side in a b; do
      rc=$(cat "$work/runs/$side.rc")
      [ "$rc" -eq 0 ] || grep -q "Busy" "$work/runs/$side" ||
        fail "operation $operation round $round: run $side ended with $rc: $(cat "$work/runs/$side")"
    done
    7zz t -bso0 -bse0 -bsp0 "$work/out.zip" || fail "operation $operation round $round: 7zz t failed"
    7zz l -ba -slt "$work/out.zip" | grep '^Path = ' | sort | cmp -s - "$work/expected" ||
      fail "operation $operation round $round: entries differ from one complete run"
  done
  leftovers=$(ls -A "$work" | grep -v -x -e src -e home -e runs -e state -e task -e out.zip -e expected)
  [ -z "$leftovers" ] || fail "operation $operation: files left beside the archive: $leftovers"
done

finish
