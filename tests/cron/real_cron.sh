#!/usr/bin/env bash
# tests/cron/real_cron.sh - a scheduled task run by the real cron daemon.
#
# A throwaway user gets a task for the next minute, registered and its
# task info file written by the task page's own scheduling call
# (cron_schedule_task), which starts `parvell /scheduled TASK`; cron is
# started here (and stopped by its PID afterwards, or an already running
# daemon does the work).  Within 150 s the archive must be there, pass
# 7-Zip's test, and the results log must say "Successful".  Root only: it
# creates a user and talks to the cron spool.
set -u
here=$(cd "$(dirname "$0")" && pwd)
[ "$(id -u)" -eq 0 ] || { echo "needs root: skipped"; exit 0; }
for tool in cron crontab useradd userdel 7zz python3; do
  command -v "$tool" >/dev/null || { echo "$tool missing: skipped"; exit 0; }
done
user="pvcron$$"
work=$(mktemp -d /tmp/parvell-cron.XXXXXX)
cron_pid=
cleanup() {
  [ -n "$cron_pid" ] && kill "$cron_pid" 2>/dev/null
  crontab -u "$user" -r 2>/dev/null
  userdel "$user" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The user, its home, the program and a small tree, all inside $work.
mkdir -p "$work/home" "$work/src/sub" "$work/logs"
useradd -M -d "$work/home" -s /bin/sh "$user" || { echo "cannot create a user: skipped"; exit 0; }
cp "$OSTRANA_BIN_DIR/parvell" "$work/parvell"
seq 1 50000 > "$work/src/sub/numbers.txt"
printf 'cron was here\n' > "$work/src/readme.txt"

# The next minute that is at least 5 seconds away.
at=$(( $(date +%s) + 65 - $(date +%S | sed 's/^0//') ))
[ $(( at - $(date +%s) )) -ge 5 ] || at=$(( at + 60 ))
task=$("$OSTRANA_BIN_DIR/cron_schedule_task" "$user" "$work/parvell" "$(date -d "@$at" +%F)" "$(date -d "@$at" +%H:%M)" \
  Nightly operation=0 create_new=1 protected=1 log_enabled=1 "archive=$work/out.zip" "folder=$work/src" \
  "files=\"$work/src/*.*\" " "log=$work/logs/nightly.log") || { fail "the task was not scheduled"; exit 1; }
[ "$task" = "$work/src/Nightly.task_info.txt" ] || fail "task file '$task'"
crontab -l -u "$user" | grep -q "^# parvell-task name=Nightly " || fail "no task in the user's table"
chown -R "$user" "$work"
chmod 755 "$work"

cron -f -L 0 >/dev/null 2>&1 &
cron_pid=$!

# Wait for the run's results log, at most 150 s.
deadline=$(( $(date +%s) + 150 ))
log=
while [ "$(date +%s)" -lt "$deadline" ]; do
  log=$(ls "$work"/logs/nightly\ \[*\].log.html 2>/dev/null | head -1)
  [ -n "$log" ] && break
  sleep 1
done
if [ -z "$log" ]; then
  fail "no results log within 150 s"
else
  7zz t -bso0 -bse0 -bsp0 "$work/out.zip" || fail "the archive does not pass 7zz t"
  result=$(python3 "$here/../cli/task_files.py" log "$log" | python3 -c 'import json,sys; print(json.load(sys.stdin)["result"])')
  [ "$result" = "Successful" ] || fail "results log says '$result'"
  [ "$(stat -c %U "$work/out.zip")" = "$user" ] || fail "the archive does not belong to the task's user"
fi

[ "$failures" -eq 0 ] && echo "the scheduled task ran under cron"
exit "$failures"
