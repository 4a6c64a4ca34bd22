#!/usr/bin/env bash
# bench/check_add_corpus.sh [small|full] [LEVEL...] - the corpus through `ostrana add` and back through every peer.
#
# A manual check (not a timed benchmark): archives the whole benchmark corpus
# with `ostrana add -l LEVEL` (default levels 0 1 6 9 10 19), tests each archive
# with `7zz t`, `bsdtar -t` and Python's zipfile.testzip(), extracts it with
# 7-Zip, bsdtar, Python and `ostrana extract`, and compares each extracted tree
# with the corpus (diff -r).  Python and bsdtar cannot read Deflate64 (levels
# 10-19): those archives are checked by 7-Zip and ostrana.  Prints one line per
# level; exits non-zero when any check fails.
set -uo pipefail
cd "$(dirname "$0")/.."
size=${1:-small}
shift || true
levels=${*:-0 1 6 9 10 19}
corpus=${CORPUS_DIR:-/work/corpus-$size}
maker=${MAKE_CORPUS:-/work/shared/bench/make_corpus.sh}
[ -f "$corpus.summary" ] || "$maker" "$corpus" "$size" >&2
ostrana=${OSTRANA:-$PWD/build/bin/ostrana}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for level in $levels; do
  archive=$work/l$level.zip
  line="level $level:"
  if ! (cd "$corpus" && "$ostrana" add -q -l "$level" "$archive" .); then
    echo "$line ostrana add failed"; failed=1; continue
  fi
  deflate64=0; [ "$level" -ge 10 ] && deflate64=1
  7zz t "$archive" 2>&1 | grep -q "Everything is Ok" && line+=" 7zz-t=ok" || { line+=" 7zz-t=FAIL"; failed=1; }
  tools="7zz ostrana"
  if [ "$deflate64" = 0 ]; then
    bsdtar -tf "$archive" >/dev/null && line+=" bsdtar-t=ok" || { line+=" bsdtar-t=FAIL"; failed=1; }
    python3 -c 'import sys, zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)' "$archive" \
      && line+=" testzip=ok" || { line+=" testzip=FAIL"; failed=1; }
    tools="7zz bsdtar python ostrana"
  fi
  for tool in $tools; do
    out=$work/x; rm -rf "$out"; mkdir "$out"
    case $tool in
      7zz) 7zz x -y -o"$out" "$archive" >/dev/null ;;
      bsdtar) (cd "$out" && bsdtar -xf "$archive") ;;
      python) python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$archive" "$out" ;;
      ostrana) "$ostrana" extract -q "$archive" "$out" >/dev/null ;;
    esac
    diff -r "$out" "$corpus" >/dev/null && line+=" $tool=same" || { line+=" $tool=DIFFERENT"; failed=1; }
  done
  echo "$line ($(stat -c %s "$archive") bytes)"
done
exit "$failed"
