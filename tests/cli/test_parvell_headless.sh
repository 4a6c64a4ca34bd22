#!/usr/bin/env bash
# tests/cli/test_parvell_headless.sh - `parvell` started the way cron starts it:
# no display, a bare environment.  A scheduled start must never wait for a
# user or abort in Qt: start-up messages go to stderr, the exit status is
# non-zero, and the user's settings file stays byte for byte as it was.  An
# interactive start says in one line that it needs a display.  (How fast it
# starts is measured in bench/, not here.)
. "$(dirname "$0")/lib.sh"
parvell="$OSTRANA_BIN_DIR/parvell"
work=$tmp

# Runs parvell with a cron-like environment; sets $rc and $err.  The timeout
# only keeps a start that waits for a user from hanging the suite (124).
run() {
  err=$(as_cron XDG_CONFIG_HOME="$work/config" timeout 60 "$parvell" "$@" 2>&1 >/dev/null)
  rc=$?
}

mkdir -p "$work/home" "$work/config/Parvell"

# A missing task file: message 630 and the refusal's status, 3.
run /scheduled "$work/no such file.task_info.txt"
[ "$rc" -eq 3 ] || fail "missing file: exit status $rc, not 3"
[ "$err" = "parvell: Morvane File Information Not Found! File may have been deleted!" ] ||
  fail "missing file: stderr was '$err'"

# The switch alone: message 101.
run scheduled
[ "$rc" -eq 3 ] || fail "scheduled alone: exit status $rc, not 3"
[[ "$err" == *"Morvane Parameters File not found. Task Scheduling information may have been changed!"* ]] ||
  fail "scheduled alone: stderr was '$err'"

# A file that is no task file: message 100.
printf 'not a task file at all' > "$work/junk.task_info.txt"
run "$work/junk.task_info.txt"
[ "$rc" -eq 3 ] || fail "junk file: exit status $rc, not 3"
[[ "$err" == *"Morvane File Verification Failed! File may have been tampered!"* ]] || fail "junk file: stderr was '$err'"

# The wizard without a display: one line, non-zero.
run
[ "$rc" -eq 2 ] || fail "no display: exit status $rc, not 2"
[ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] && [[ "$err" == *"no display"* ]] || fail "no display: stderr was '$err'"
run new
[ "$rc" -eq 2 ] || fail "no display (new): exit status $rc, not 2"

# A valid plain task file: verified without touching the settings.
cat > "$work/config/Parvell/parvell.conf" <<'CONF'
[Settings]
WizardOperationRdButon=2
Morvane_LogFileName=/somewhere/else.log

[WizardPosData]
CurrentPageIndx=3
CONF
cp "$work/config/Parvell/parvell.conf" "$work/before.conf"
# Writes a plain task file: path, log file name, extra lines.
write_task() {
  python3 - "$@" <<'PY'
import struct, sys
lines = ["PRJ_TAG = _PARVELL_SECURE_TASK_FILE_INFO_", "ZIP_TASK_NAME = Nightly", "ZIP_OPERATION = 0",
         "ZIP_WORKING_FILE_NAME = /tmp/never-made.zip", "ZIP_LOG_FILE_NAME = " + sys.argv[2]] + sys.argv[3:]
with open(sys.argv[1], "wb") as f:
    for line in lines:
        data = line.encode()
        f.write(struct.pack("<i", len(data)) + data)
PY
}
# A file without the log line logs because it names a log file.
write_task "$work/valid.task_info.txt" "$work/logs/run.log"
mkdir -p "$work/logs"
run /scheduled "$work/valid.task_info.txt"
# Accepted, then run: the task names nothing to pack, so the run fails (1).
[ "$rc" -eq 1 ] || fail "valid file: exit status $rc, not 1"
cmp -s "$work/before.conf" "$work/config/Parvell/parvell.conf" || fail "settings file changed by a scheduled start"
[ "$(ls "$work/config")" = "Parvell" ] && [ "$(ls "$work/config/Parvell")" = "parvell.conf" ] ||
  fail "a scheduled start created configuration files: $(ls -R "$work/config")"
log=$(ls "$work/logs"/run\ \[*\].log.html 2>/dev/null | head -1)
[ -n "$log" ] || fail "no results log written"
[ -z "$log" ] || grep -q "Command line file verification OK! </FONT><TH  bgcolor=\"#F0F0F0\"><FONT size=\"1\" color=\"#000000\" face=\"Arial, Helvetica, sans-serif\">$work/valid.task_info.txt" "$log" ||
  fail "results log lacks the verification event"
[ ! -e /tmp/never-made.zip ] || fail "an archive appeared"

# "ZIP_LOG_ENABLED = 0" keeps the log from being written although a log file is named.
write_task "$work/quiet.task_info.txt" "$work/quiet-logs/run.log" "ZIP_LOG_ENABLED = 0"
mkdir -p "$work/quiet-logs"
run /scheduled "$work/quiet.task_info.txt"
[ "$rc" -eq 1 ] || fail "log off: exit status $rc, not 1"
[ -z "$(ls "$work/quiet-logs")" ] || fail "log off: a results log was written: $(ls "$work/quiet-logs")"

finish
