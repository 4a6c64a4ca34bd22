#!/usr/bin/env bash
# tests/cli/test_zip_commands.sh - `ostrana add`, `update`, `freshen`, `delete`.
#
# Risks: an option that does not reach the engine's record; an exit status
# that is not the engine's result; a folder item that is not taken whole; an
# archive that is half-written when the process is killed or the disk fills
# up; the copy path across file systems leaving the archive without its new
# content or a temporary file behind.  Peers check the archives: 7-Zip tests
# them, Python lists them.
. "$(dirname "$0")/lib.sh"
: "${OSTRANA:?OSTRANA must name the ostrana binary}"
names() {  # the entry names of an archive, one per line, as Python reads them
  python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$1"
}
tested() {  # 7-Zip's verdict on an archive: "ok" or its output
  if ! command -v 7zz >/dev/null; then echo ok; return; fi
  local o; o=$(7zz t "$1" 2>&1)
  case $o in *"Everything is Ok"*) case $o in *Warning*) echo "$o";; *) echo ok;; esac;; *) echo "$o";; esac
}
no_temp_files() {  # the "@@" temporary files left in a folder
  find "$1" -maxdepth 1 -name '@@*' | wc -l | tr -d ' '
}

mkdir -p "$tmp/src/sub/empty" "$tmp/src/.hidden"
printf 'alpha\n' > "$tmp/src/a.txt"
seq 1 3000 > "$tmp/src/sub/b.txt"
printf 'gamma\n' > "$tmp/src/c.dat"
printf 'secret\n' > "$tmp/src/.hidden/h.txt"
cd "$tmp" || exit 1

# ---- options reach the record ------------------------------------------------------
run add --help;                      check "add --help" 0 "$rc"
run add x.zip src -l 20;             check "level out of range exits 64" 64 "$rc"
run add x.zip src --overwrite;       check "option of another command exits 64" 64 "$rc"
run add t1 src;                      check "folder item" 0 "$rc"
check "folder item: its whole content, empty folders too, .zip added" "src/a.txt
src/c.dat
src/sub/
src/sub/b.txt
src/sub/empty/" "$(names t1.zip)"
check "7-Zip tests it" ok "$(tested t1.zip)"
run add t2.zip src --hidden -D -j -x '*.dat'
check "hidden, no folder entries, junk paths, exclude" "a.txt
b.txt
h.txt" "$(names t2.zip)"
run add t3.zip src --relative -i '*.txt' -c 'the comment' --store-suffixes .txt -l 9
check "relative, include (folder entries are matched too), comment" "a.txt
sub/b.txt" "$(names t3.zip)"
check "comment" "the comment" "$("$OSTRANA" comment t3.zip)"
check "level 9 compresses the stored suffixes too" "8" \
  "$(python3 -c 'import zipfile; print(zipfile.ZipFile("t3.zip").getinfo("sub/b.txt").compress_type)')"
run add t4.zip src/a.txt --store-suffixes .txt
check "store suffixes" "0" \
  "$(python3 -c 'import zipfile; print(zipfile.ZipFile("t4.zip").getinfo("src/a.txt").compress_type)')"
run add t5.zip src --after 010180;   check "after 1980" 0 "$rc"
run add t6.zip src --after 010179;   check "after: years below 80 are 20yy, so nothing yet" 12 "$rc"
run add t7.zip src --after 133199;   check "bad date exits 16" 16 "$rc"
check "bad date message" "ostrana: t7.zip: Invalid control parameters (invalid date)" "$err"

# ---- encryption: -p and --aes ---------------------------------------------------------
run add e1.zip src/a.txt --aes 256;               check "--aes without a password exits 64" 64 "$rc"
run add e1.zip src/a.txt -p pw --aes 512;         check "--aes of another length exits 64" 64 "$rc"
check "no archive after a usage error" "no" "$([ -e e1.zip ] && echo yes || echo no)"
run add e1.zip src/a.txt -p "$(printf 'x%.0s' $(seq 129))"
check "a password beyond 128 characters is refused (16)" 16 "$rc"
check "... naming the password" "ostrana: e1.zip: Invalid control parameters (was getting encryption password)" "$err"
run add e2.zip src -p 'pass word' --aes 192;      check "aes add" 0 "$rc"
if command -v 7zz >/dev/null; then
  check "aes archive tests clean in 7-Zip" 0 "$(7zz t -p'pass word' e2.zip >/dev/null 2>&1; echo $?)"
fi
run test e2.zip -p 'pass word';                   check "ostrana test with the password" 0 "$rc"
run add e3.zip src/a.txt -p pw;                   check "traditional add" 0 "$rc"
check "traditional entry opens in Python with the password" "alpha" \
  "$(python3 -c 'import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).read("src/a.txt", pwd=b"pw").decode().strip())' e3.zip)"
run add --help
check "add --help names the password and AES options" "2" "$(printf '%s\n' "$out" | grep -c -e '^  -p, --password PW' -e '^      --aes 128|192|256')"

# ---- update, freshen, delete --------------------------------------------------------
cp t1.zip u.zip
touch -d '2001-02-03' src/a.txt
run update u.zip src;                check "update with an older file exits 0" 0 "$rc"
cmp -s u.zip t1.zip;                 check "and changes nothing" 0 "$?"
printf 'new\n' > src/new.txt
run freshen u.zip src;               check "freshen exits 0" 0 "$rc"
case $(names u.zip) in *new.txt*) check "freshen never adds" absent present;; esac
run update u.zip src;                check "update adds" "src/a.txt
src/c.dat
src/sub/
src/sub/b.txt
src/sub/empty/
src/new.txt" "$(names u.zip)"
run delete u.zip 'src/sub/*' -r;     check "delete offers no recursion: the command line is wrong" 64 "$rc"
run delete u.zip '*.txt';            check "delete exits 0" 0 "$rc"
check "delete removes exactly the matches" "src/c.dat
src/sub/
src/sub/empty/" "$(names u.zip)"
run delete u.zip nothing.here;       check "no match exits 12" 12 "$rc"
check "no match messages" "ostrana: warning: name not matched: nothing.here
ostrana: u.zip: Nothing to do!" "$err"
run add u.zip missing-file;          check "nothing to add exits 12" 12 "$rc"

# ---- grow, move, temporary folder -----------------------------------------------------
cp t1.zip g.zip
printf 'grown\n' > grown.txt
run add g.zip grown.txt --grow;      check "grow exits 0" 0 "$rc"
check "grow keeps the old bytes in place" 0 "$(cmp -n "$(($(stat -c %s t1.zip) - 400))" g.zip t1.zip; echo $?)"
check "grown archive tested" ok "$(tested g.zip)"
mkdir -p mv/deep && printf 'x\n' > mv/deep/x.txt
run add m.zip mv --move;             check "move exits 0" 0 "$rc"
check "move deletes the files and their empty folders" "no" "$([ -e mv/deep ] && echo yes || echo no)"
mkdir -p elsewhere
run add t8.zip src --temp elsewhere; check "temporary folder" 0 "$rc"
check "no temporary file left" "0 0" "$(no_temp_files elsewhere) $(no_temp_files .)"

# ---- a progress line on a terminal --------------------------------------------------------
if command -v script >/dev/null; then
  script -qc "$OSTRANA add p.zip src" /dev/null > progress.txt 2>&1
  case $(cat progress.txt) in *"Item 1 of"*) ;; *) check "progress on a terminal" "Item 1 of" "$(cat progress.txt)";; esac
  run add p2.zip src
  check "no progress when not a terminal" "" "$err"
fi

# ---- killed midway: the old archive or the new one, never less -------------------------
# An update of a 100 MB archive (20 MB in the instrumented build): one entry
# recompressed, one added, the rest copied; killed with SIGKILL again and
# again, each time once the new archive being written beside the old one has
# reached another share of its final size (from the moment it appears up to
# nearly whole).
megabytes=128
tries=20
if [ "${OSTRANA_SANITIZED:-0}" = 1 ]; then megabytes=24; fi
mkdir -p kill/data
python3 - "$tmp/kill/data" "$megabytes" <<'PY'
import os, random, sys
folder, megabytes = sys.argv[1], int(sys.argv[2])
rnd = random.Random(1)
words = [b"alpha", b"beta", b"gamma", b"delta", b"epsilon", b"zeta"]
for i in range(megabytes // 4):
    with open(os.path.join(folder, "part%03d.bin" % i), "wb") as h:
        if i % 4:
            h.write(os.urandom(4 << 20))
        else:
            h.write(b" ".join(rnd.choices(words, k=700000))[: 4 << 20])
PY
touch -d '2020-01-01' kill/data/*
"$OSTRANA" add -q -l 1 kill/old.zip kill/data
head -c 3000000 /dev/urandom > kill/data/zz-new.bin
touch kill/data/part000.bin
cp kill/old.zip kill/new.zip
"$OSTRANA" update -q -l 1 kill/new.zip kill/data
old_sum=$(sha256sum < kill/old.zip)
new_sum=$(sha256sum < kill/new.zip)
new_size=$(stat -c %s kill/new.zip)
check "the archive to update is 100 MB or more" yes \
  "$([ "${OSTRANA_SANITIZED:-0}" = 1 ] || [ "$(stat -c %s kill/old.zip)" -ge 100000000 ] && echo yes)"
check "the update changes it" yes "$([ "$old_sum" != "$new_sum" ] && echo yes)"
temp_reached() {  # temp_reached PID BYTES: process PID has a new archive open in kill/ of BYTES or more
  local fd target  # (written unnamed, "kill/#..." while open, or as a "@@" file)
  for fd in /proc/"$1"/fd/*; do
    target=$(readlink "$fd" 2>/dev/null) || continue
    case $target in
      "$tmp/kill/#"*|"$tmp/kill/@@"*) [ "$(stat -L -c %s "$fd" 2>/dev/null || echo -1)" -ge "$2" ] && return 0 ;;
    esac
  done
  return 1
}
bad=0
midway=0
for i in $(seq 0 $((tries - 1))); do
  cp kill/old.zip kill/a.zip
  "$OSTRANA" update -q -l 1 kill/a.zip kill/data &
  pid=$!
  wait_until "$pid" temp_reached "$pid" $((new_size * i / tries)) && midway=$((midway + 1))
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  sum=$(sha256sum < kill/a.zip)
  if [ "$sum" != "$old_sum" ] && [ "$sum" != "$new_sum" ]; then bad=$((bad + 1)); fi
  [ "$(tested kill/a.zip)" = ok ] || bad=$((bad + 1))
  rm -f kill/@@*
done
check "killed $tries times: always the old or the new archive, whole" 0 "$bad"
check "most kills came while the new archive was being written" yes \
  "$([ "$midway" -ge $((tries / 2)) ] && echo yes || echo "only $midway")"
# Ctrl-C (SIGINT) asks the engine to stop: 9, the old archive, nothing left
# behind once the process has ended.  The signal comes as soon as the new
# archive has been started; recompressing every entry at level 9 takes seconds.
cp kill/old.zip kill/a.zip
"$OSTRANA" add -q -l 9 kill/a.zip kill/data 2>/dev/null &
pid=$!
wait_until "$pid" temp_reached "$pid" 0
check "the level 9 run has started its new archive" 0 "$?"
kill -INT "$pid" 2>/dev/null
wait "$pid"
check "interrupted run exits 9" 9 "$?"
check "interrupted: the old archive" "$old_sum" "$(sha256sum < kill/a.zip)"
check "interrupted: no temporary file" 0 "$(no_temp_files kill)"
rm -rf kill

# ---- a full file system, and a temporary folder on another one -----------------------------
mkdir -p full other
if mount -t tmpfs -o size=2m tmpfs full 2>/dev/null; then
  mounts+=("$tmp/full")
  head -c 400000 /dev/urandom > full/one.bin
  (cd full && "$OSTRANA" add -q -l 0 small.zip one.bin)
  before=$(sha256sum < full/small.zip)
  head -c 700000 /dev/urandom > full/two.bin  # the new archive needs 1.1 MB: more than is left
  (cd full && "$OSTRANA" add -q -l 0 small.zip two.bin 2>"$tmp/stderr")
  rc=$?
  case $rc in 10|14) ;; *) check "full file system exits 10 or 14" "10 or 14" "$rc";; esac
  check "full file system: the old archive intact" "$before" "$(sha256sum < full/small.zip)"
  check "full file system: no temporary file" 0 "$(no_temp_files full)"
else
  echo "skipped: a small file system cannot be mounted here (not root?)"
fi
if mount -t tmpfs -o size=64m tmpfs other 2>/dev/null; then
  mounts+=("$tmp/other")
  cp t1.zip x.zip
  run add x.zip grown.txt --temp other
  check "temporary folder on another file system exits 0" 0 "$rc"
  check "the copy is in place" "$(names t1.zip)
grown.txt" "$(names x.zip)"
  check "and no temporary file is left on either side" "0 0" "$(no_temp_files other) $(no_temp_files .)"
fi

# ---- a name that is not there is named -----------------------------------------------------
echo "there" > there.txt
run add named.zip there.txt not-there.txt
check "a missing item: the rest is written, the run says 18" 18 "$rc"
check "a missing item is named on stderr" "ostrana: not-there.txt: no such file or folder
ostrana: named.zip: File not found or no read permission (not-there.txt)" "$err"
run add named.zip only-missing.txt
check "nothing to add exits 12" 12 "$rc"
case $err in *"only-missing.txt: no such file or folder"*) ;; *) check "and names the item" "only-missing.txt named" "$err";; esac
run add -q named.zip there.txt quiet-missing.txt
case $err in *"no such file"*) check "-q keeps quiet about it" "" "$err";; esac

finish
