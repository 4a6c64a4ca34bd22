#!/usr/bin/env bash
# tests/cli/test_scheduled_display.sh - a scheduled run with a display closes the wizard by itself.
#
# The task runs under a private X server (xvfb-run) the way a user's session
# would start it: the performing page alone shows the run, and about five
# seconds after the outcome the results log is written and the wizard closes,
# without anybody pressing anything.  The moment of the outcome is the new
# archive's modification time (it is renamed into place just before); the
# wizard's end is when the program exits.  Risks: a wizard that waits for a
# click, closes at once (no time to read the outcome) or leaves no log.
. "$(dirname "$0")/lib.sh"
need 7zz xvfb-run
parvell="$OSTRANA_BIN_DIR/parvell"
work=$tmp

mkdir -p "$work/src/sub" "$work/logs" "$work/home" "$work/run"
chmod 700 "$work/run"
seq 1 30000 > "$work/src/sub/numbers.txt"
printf 'hello\n' > "$work/src/hello.txt"
python3 "$here/task_files.py" write "$work/task" ZIP_TASK_NAME=Shown ZIP_OPERATION=0 ZIP_CREATE_NEW=1 \
  "ZIP_WORKING_FILE_NAME=$work/out.zip" "ZIP_ORIGINATING_FOLDER_NAME=$work/src" \
  "ZIP_ORIGINAL_FILES_LIST=\"$work/src/*.*\" " "ZIP_LOG_FILE_NAME=$work/logs/run.log"

# The sanitizer build's leak suppressions of the desktop libraries go along (not ASAN_OPTIONS:
# its strict string checks trip over the X keyboard library Qt loads).
sanitizer_env=()
for v in LSAN_OPTIONS UBSAN_OPTIONS; do [ -z "${!v:-}" ] || sanitizer_env+=("$v=${!v}"); done
(cd "$work" && env -i "${sanitizer_env[@]}" HOME="$work/home" PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb \
   XDG_CONFIG_HOME="$work/home/.config" timeout 90 xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
   "$parvell" /scheduled "$work/task" >"$work/stdout" 2>"$work/stderr")
rc=$?
ended=$(date +%s.%N)
[ "$rc" -ne 124 ] || fail "the wizard did not close by itself"
[ "$rc" -eq 0 ] || fail "exit status $rc: $(cat "$work/stderr")"
7zz t -bso0 -bse0 -bsp0 "$work/out.zip" || fail "7zz t failed"
rm -rf "$work/x" && 7zz x -bso0 -bsp0 -o"$work/x" "$work/out.zip" && diff -r "$work/src" "$work/x$work/src" >/dev/null ||
  fail "the archive does not give back the sources"
logs=("$work"/logs/run\ \[*\].log.html)
if [ -f "${logs[0]}" ]; then
  python3 "$here/task_files.py" log "${logs[0]}" | grep -q '"result": "Successful"' || fail "the log's result"
else
  fail "no results log"
fi
# From the outcome to the end: the five seconds of the closing timer, and not much more.
python3 - "$work/out.zip" "${logs[0]}" "$ended" <<'EOF' || fail "the wizard did not close about 5 s after the outcome"
import os, sys
outcome = os.stat(sys.argv[1]).st_mtime
logged = os.stat(sys.argv[2]).st_mtime if os.path.exists(sys.argv[2]) else float(sys.argv[3])
ended = float(sys.argv[3])
print("outcome to log: %.2f s, outcome to exit: %.2f s" % (logged - outcome, ended - outcome))
sys.exit(0 if 4.5 <= logged - outcome and ended - outcome <= 15 else 1)
EOF

finish
