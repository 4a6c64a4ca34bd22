#!/usr/bin/env bash
# tests/cli/test_scheduled_runs.sh - scheduled tasks run the way cron runs them.
#
# Each task file is written by an independent writer (task_files.py, plain and
# protected forms), each run has cron's bare environment and no display, each
# archive is checked by 7-Zip (test, then extraction compared with the
# sources), and each results log is parsed as HTML.  Risks: a run that waits
# for a user, an archive lost or left broken, sources deleted that the archive
# does not hold, a log that is missing, unescaped or says the wrong outcome.
. "$(dirname "$0")/lib.sh"
need 7zz
parvell="$OSTRANA_BIN_DIR/parvell"
tasks="python3 $here/task_files.py"
work=$tmp

# Runs a task file as cron would; sets $rc and $err.
run_task() {
  err=$(as_cron XDG_CONFIG_HOME="$work/config" timeout 60 "$parvell" /scheduled "$1" 2>&1 >/dev/null)
  rc=$?
}

# A fresh source tree under $work/src (a name that needs escaping in HTML included).
make_sources() {
  rm -rf "$work/src" "$work/out" "$work/logs" && mkdir -p "$work/src/sub/deeper" "$work/logs" "$work/home"
  printf 'alpha\n' > "$work/src/a.txt"
  printf 'needs escaping\n' > "$work/src/sub/a<b&\"c\".txt"
  head -c 400000 /dev/urandom > "$work/src/sub/deeper/random.bin"
  seq 1 20000 > "$work/src/sub/numbers.txt"
}

# Common task lines for a zip run of the whole source tree into $work/out.zip.
zip_task() {
  $tasks write "$work/task" "$@" "ZIP_TASK_NAME=Nightly" "ZIP_WORKING_FILE_NAME=$work/out.zip" \
    "ZIP_ORIGINATING_FOLDER_NAME=$work/src" "ZIP_ORIGINAL_FILES_LIST=\"$work/src/*.*\" " \
    "ZIP_LOG_FILE_NAME=$work/logs/run.log"
}

# 7-Zip tests the archive and gives back exactly the source tree (below the drive root).
check_archive_holds_sources() {
  7zz t -bso0 -bse0 -bsp0 "$work/out.zip" || { fail "$1: 7zz t failed"; return; }
  rm -rf "$work/out" && 7zz x -bso0 -bsp0 -o"$work/out" "$work/out.zip" || { fail "$1: 7zz x failed"; return; }
  diff -r "$work/src" "$work/out$work/src" >/dev/null || fail "$1: extracted tree differs from the sources"
}

# The one results log: parsed; $log_json holds what task_files.py read.
read_log() {
  local logs=("$work"/logs/run\ \[*\].log.html)
  [ -f "${logs[0]}" ] || { fail "$1: no results log"; log_json='{}'; return; }
  log_json=$($tasks log "${logs[0]}") || fail "$1: results log does not parse"
  ! grep -q 'a<b&"c"' "${logs[0]}" || fail "$1: a file name reached the log unescaped"
}
log_has() { python3 -c 'import json,sys; d=json.loads(sys.argv[1]); sys.exit(0 if eval(sys.argv[2]) else 1)' \
  "$log_json" "$1"; }

for form in plain protected; do
  flag=; [ "$form" = protected ] && flag=--protected

  # A new archive over an old one, faster compression, sources kept.
  make_sources
  printf 'not even an archive' > "$work/out.zip"
  zip_task $flag ZIP_OPERATION=0 ZIP_CREATE_NEW=1 ZIP_USE_FASTER_COMPRESSION=1
  run_task "$work/task"
  [ "$rc" -eq 0 ] || fail "$form new: exit status $rc ($err)"
  check_archive_holds_sources "$form new"
  read_log "$form new"
  log_has 'd["result"] == "Successful"' || fail "$form new: result line"
  log_has 'any(e[1] == "File Processed" and e[2].endswith("sub/a<b&\"c\".txt") for e in d["events"])' ||
    fail "$form new: escaped name not logged as processed"
  for f in $(cd "$work/src" && find . -type f -printf '%P\n' | grep -v '<'); do
    log_has 'any(e[1] == "File Processed" and e[2].endswith("/src/'"$f"'") for e in d["events"])' ||
      fail "$form new: $f not logged as processed"
  done
  log_has '[e[1] for e in d["events"]][:3] == ["Command line file verification OK! ", "Deleting previous ZIP File, as New File is requested to be created!", "Starting Morvane '"'"'Nightly'"'"'"]' ||
    fail "$form new: first events"
  [ -f "$work/src/a.txt" ] || fail "$form new: a source vanished without delete after"

  # Add to the archive 7-Zip made, normal compression, delete after.
  make_sources
  rm -f "$work/out.zip" && (cd "$work" && 7zz a -tzip -bso0 -bsp0 out.zip task >/dev/null)
  zip_task $flag ZIP_OPERATION=1 ZIP_DELETE_FILES_AFTER_ARCHIVING=1
  cp -a "$work/src" "$work/src.copy"
  run_task "$work/task"
  [ "$rc" -eq 0 ] || fail "$form add: exit status $rc ($err)"
  7zz l -ba "$work/out.zip" | grep -q ' task$' || fail "$form add: the old entry is gone"
  [ -z "$(find "$work/src" -type f)" ] || fail "$form add: sources left after delete after: $(find "$work/src" -type f)"
  rm -rf "$work/src" && mv "$work/src.copy" "$work/src"
  check_archive_holds_sources "$form add"
done

# A scheduled extraction without a destination line: the default folder on the desktop.
make_sources
zip_task ZIP_OPERATION=0
run_task "$work/task"
$tasks write "$work/task" ZIP_TASK_NAME=Unpack ZIP_OPERATION=2 "ZIP_WORKING_FILE_NAME=$work/out.zip" \
  "ZIP_LOG_FILE_NAME=$work/logs/run.log"
rm -f "$work"/logs/*
run_task "$work/task"
[ "$rc" -eq 0 ] || fail "extract: exit status $rc ($err)"
diff -r "$work/src" "$work/home/Desktop/out$work/src" >/dev/null || fail "extract: tree differs in the default folder"
read_log extract
log_has 'd["result"] == "Successful"' || fail "extract: result line"

# With a destination line (protected form) the same archive lands there; log enabled 0: no log.
$tasks write "$work/task" --protected ZIP_TASK_NAME=Unpack ZIP_OPERATION=2 "ZIP_WORKING_FILE_NAME=$work/out.zip" \
  "ZIP_LOG_FILE_NAME=$work/logs/run.log" "ZIP_DESTINATION_FOLDER_NAME=$work/dest" "ZIP_LOG_ENABLED=0"
rm -f "$work"/logs/*
run_task "$work/task"
[ "$rc" -eq 0 ] || fail "extract to destination: exit status $rc ($err)"
diff -r "$work/src" "$work/dest$work/src" >/dev/null || fail "extract to destination: tree differs"
[ -z "$(ls "$work/logs")" ] || fail "log enabled 0: a log was written"

# An encrypted archive: the session password is never stored, so the run goes on without
# one, asks nobody, and logs the failure.
make_sources
rm -f "$work/out.zip" && (cd "$work/src" && 7zz a -tzip -psecret -bso0 -bsp0 "$work/out.zip" a.txt >/dev/null)
$tasks write "$work/task" ZIP_TASK_NAME=Locked ZIP_OPERATION=2 "ZIP_WORKING_FILE_NAME=$work/out.zip" \
  "ZIP_LOG_FILE_NAME=$work/logs/run.log"
run_task "$work/task"
[ "$rc" -eq 1 ] || fail "encrypted: exit status $rc"
[ "$rc" -ne 124 ] || fail "encrypted: the run waited for somebody"
read_log encrypted
log_has 'd["result"] == "Not Totally Successful."' || fail "encrypted: result line"
[ ! -s "$work/home/Desktop/out/a.txt" ] || fail "encrypted: a file was extracted without its password"

# A damaged archive to add to: errors are logged and the exit status says so.
make_sources
printf 'PK\005\006 broken' > "$work/out.zip"
cp "$work/out.zip" "$work/before.zip"
zip_task ZIP_OPERATION=1 ZIP_DELETE_FILES_AFTER_ARCHIVING=1
run_task "$work/task"
[ "$rc" -eq 1 ] || fail "damaged: exit status $rc"
cmp -s "$work/out.zip" "$work/before.zip" || fail "damaged: the archive was changed"
[ -f "$work/src/a.txt" ] || fail "damaged: a source was deleted after a failed run"
read_log damaged
log_has 'd["result"] == "Not Totally Successful."' || fail "damaged: result line"
log_has 'any(e[1].startswith("Operation result ") for e in d["events"])' || fail "damaged: engine result not logged"

# Create new on a file system too small for the new archive: the rebuild fails, the old
# archive is byte for byte what it was, nothing is left beside it, the log says so.
mkdir -p "$work/small"
if mount -t tmpfs -o size=1m tmpfs "$work/small" 2>/dev/null; then
  mounts+=("$work/small")
  make_sources
  head -c 1500000 /dev/urandom > "$work/src/sub/deeper/random.bin"
  (cd "$work/src" && 7zz a -tzip -bso0 -bsp0 "$work/small/out.zip" a.txt >/dev/null)
  cp "$work/small/out.zip" "$work/before.zip"
  $tasks write "$work/task" ZIP_TASK_NAME=Full ZIP_OPERATION=0 ZIP_CREATE_NEW=1 \
    "ZIP_WORKING_FILE_NAME=$work/small/out.zip" "ZIP_ORIGINATING_FOLDER_NAME=$work/src" \
    "ZIP_ORIGINAL_FILES_LIST=\"$work/src/*.*\" " "ZIP_LOG_FILE_NAME=$work/logs/run.log"
  run_task "$work/task"
  [ "$rc" -eq 1 ] || fail "full file system: exit status $rc ($err)"
  cmp -s "$work/small/out.zip" "$work/before.zip" || fail "full file system: the old archive changed"
  [ "$(ls -A "$work/small")" = out.zip ] || fail "full file system: left beside it: $(ls -A "$work/small")"
  read_log "full file system"
  log_has 'd["result"] == "Not Totally Successful."' || fail "full file system: result line"
else
  echo "skipped: a small file system cannot be mounted here (not root?)"
fi

# No ZIP_OPERATION line: nothing is performed; no log file name: no log.
make_sources
rm -f "$work/out.zip"
$tasks write "$work/task" ZIP_TASK_NAME=Nothing "ZIP_WORKING_FILE_NAME=$work/out.zip" \
  "ZIP_ORIGINAL_FILES_LIST=\"$work/src/*.*\" "
run_task "$work/task"
[ "$rc" -eq 1 ] || fail "no operation: exit status $rc"
[ ! -e "$work/out.zip" ] || fail "no operation: an archive was made"
[ -z "$(ls "$work/logs")" ] || fail "no log file name: a log was written"

# Refused task files: the verification message, status 3, the archive untouched.
make_sources
printf 'keep me' > "$work/out.zip"
$tasks write-raw "$work/task" "PRJ_TAG = SOMETHING_ELSE" ZIP_OPERATION=0 "ZIP_WORKING_FILE_NAME=$work/out.zip"
zip_task --protected ZIP_OPERATION=0 ZIP_CREATE_NEW=1 && cp "$work/task" "$work/tampered"
# Byte 0 is in the header's check value, byte 11 in its IV.
for at in 0 11; do
  cp "$work/tampered" "$work/tampered$at"
  python3 -c 'import sys; p=sys.argv[1]; b=bytearray(open(p,"rb").read()); b[int(sys.argv[2])]^=1; open(p,"wb").write(b)' \
    "$work/tampered$at" "$at"
done
for file in task tampered0 tampered11; do
  [ "$file" = task ] && $tasks write-raw "$work/task" "PRJ_TAG = SOMETHING_ELSE" ZIP_OPERATION=0 \
    "ZIP_WORKING_FILE_NAME=$work/out.zip"
  run_task "$work/$file"
  [ "$rc" -eq 3 ] || fail "$file: exit status $rc"
  [[ "$err" == *"Morvane File Verification Failed! File may have been tampered!"* ]] || fail "$file: stderr '$err'"
  [ "$(cat "$work/out.zip")" = "keep me" ] || fail "$file: the archive was touched"
done

finish
