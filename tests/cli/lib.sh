# tests/cli/lib.sh - what every script test of this folder starts with.  Sourced
# first thing (`. "$(dirname "$0")/lib.sh"`), never run by itself.
#
# It gives a private folder $tmp, removed on exit together with every file
# system mounted below it whose mount point was added to $mounts; the runs'
# state (XDG_STATE_HOME) inside it; a failure counter with `check` and `fail`;
# `run` for one ostrana command; `finish` for the closing line and the status.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[1]:-$0}")" && pwd)
tmp=$(mktemp -d)
mounts=()
cleanup() {
  local m
  for m in "${mounts[@]}"; do umount "$m" 2>/dev/null; done
  rm -rf "$tmp"
}
trap cleanup EXIT
export XDG_STATE_HOME="$tmp/state"
failures=0

check() {  # check NAME EXPECTED ACTUAL: a failure when they differ, shown with both
  if [ "$2" != "$3" ]; then
    printf 'FAIL %s\n--- expected\n%s\n--- actual\n%s\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}

fail() {  # fail MESSAGE...
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

run() {  # run ARGS...: $OSTRANA with no terminal on stdin; sets out, err, rc
  out=$("$OSTRANA" "$@" 2>"$tmp/stderr" </dev/null)
  rc=$?
  err=$(cat "$tmp/stderr")
}

need() {  # need TOOL...: the whole script is skipped when one of them is missing
  local t
  for t in "$@"; do
    command -v "$t" >/dev/null || { echo "$t missing: skipped"; exit 0; }
  done
}

as_cron() {  # as_cron [NAME=VALUE...] COMMAND...: in $tmp, with nothing but cron's bare environment
  (cd "$tmp" && env -i HOME="$tmp/home" LOGNAME=cron PATH=/usr/bin:/bin SHELL=/bin/sh PWD="$tmp" "$@")
}

wait_until() {  # wait_until PID CONDITION...: 0 once CONDITION holds, 1 if process PID ends first
  local pid=$1
  shift
  until "$@"; do
    kill -0 "$pid" 2>/dev/null || { "$@"; return; }
    sleep 0.01
  done
}

finish() {  # the closing line; exit status 0 only without failures
  if [ "$failures" -eq 0 ]; then
    echo "all passed"
  else
    echo "$failures failure(s)"
  fi
  exit $((failures > 0))
}
