#!/usr/bin/env bash
# tests/cli/test_multivolume_commands.sh - `ostrana add --split` and `--span` on the command line.
#
# Risks: the options not reaching the engine's record (sizes, disk bits), a
# disk request that the terminal cannot answer, a cancelled run that leaves a
# file, usage errors accepted.  The byte layout of split sets is checked by
# tests/interop/test_split_output.py; here the command line itself.  A small
# tmpfs stands for a "disk" (a fixed drive, hence --any-media); it needs root
# and is skipped otherwise.
. "$(dirname "$0")/lib.sh"
: "${OSTRANA:?OSTRANA must name the ostrana binary}"
run() {  # run ARGS... ; stdin from $answers; sets out, err, rc
  out=$(printf "%b" "${answers:-}" | "$OSTRANA" "$@" 2>"$tmp/stderr")
  rc=$?
  err=$(cat "$tmp/stderr")
}

cd "$tmp" || exit 1
mkdir src
head -c 300000 /dev/urandom >src/noise.bin
seq 1 20000 >src/numbers.txt

# --- usage ---------------------------------------------------------------------
run add a.zip src --split 1m --span
check "--split and --span together are a usage error" 64 "$rc"
run add a.zip src --wipe
check "disk options without --span are a usage error" 64 "$rc"
run add a.zip src --split 12q
check "a bad size is a usage error" 64 "$rc"
run update a.zip src --split 1m
check "update takes no --split" 64 "$rc"
run add --help
case $out in *"--split SIZE[,SIZE...]"*"--span"*"--wipe-tree"*"--format"*) ok=1 ;; *) ok=0 ;; esac
check "add --help lists the multi-volume options" 1 "$ok"

# --- split -----------------------------------------------------------------------
run add out/set.zip src --split 100k -l 0
check "split run succeeds" "0" "$rc"
check "parts of 100 KiB, the last under the archive's name" \
  "102400 102400 102400" "$(stat -c %s out/set.zip.z01 out/set.zip.z02 out/set.zip.z03 | tr '\n' ' ' | sed 's/ $//')"
case $err in *"written: out/set.zip.z01"*"written: out/set.zip"*) ok=1 ;; *) ok=0 ;; esac
check "parts are announced" 1 "$ok"
run test out/set.zip -q
check "ostrana test reads the set" 0 "$rc"
run extract out/set.zip x -q
check "ostrana extract reads the set" "0 same" "$rc $(cmp -s src/noise.bin x/src/noise.bin && echo same)"

# --- span onto a tmpfs "disk" ---------------------------------------------------
mkdir disk
if mount -t tmpfs -o size=4m tmpfs disk 2>/dev/null; then
  mounts+=("$tmp/disk")
  run add disk/set.zip src --span
  check "a fixed drive is refused without --any-media" 20 "$rc"
  run add disk/set.zip disk --span --any-media
  check "an item on the target drive is refused" 20 "$rc"

  echo old >disk/old.txt
  mkdir disk/keep && echo kept >disk/keep/file
  answers="\n" run add disk/set.zip src --span --any-media --wipe
  check "span with one disk succeeds" 0 "$rc"
  case $err in *"Please insert the first disk of the Multi-Volume set."*) ok=1 ;; *) ok=0 ;; esac
  check "the first disk is asked for on the terminal" 1 "$ok"
  check "--wipe took the root's files, not the folder's" "no kept" \
    "$([ -e disk/old.txt ] && echo yes || echo no) $(cat disk/keep/file)"
  check "the disk file starts with the spanning signature" "504b0708" "$(head -c 4 disk/set.zip | od -An -tx1 | tr -d ' \n')"
  run test disk/set.zip -q
  check "the spanned archive tests" 0 "$rc"

  answers="" run add disk/again.zip src --span --any-media
  check "no answer cancels" 9 "$rc"
  check "and leaves no file on the disk" "no" "$([ -e disk/again.zip ] && echo yes || echo no)"
else
  echo "skipped: a tmpfs cannot be mounted here (not root?)"
fi

finish
