# tests/package/package_lib.sh - what the install test and the package test share.
#
# Sourced with SOURCE_DIR (the repository), LIBDIR (the build's library folder
# below the prefix) and work (a scratch folder) set.
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The files an install must put below its prefix, one path a line, sorted.
expected_files() {
  {
    grep -v '^#' "$SOURCE_DIR/tests/package/installed_files.txt" | sed "s|^LIBDIR/|$LIBDIR/|"
    (cd "$SOURCE_DIR/src/engine/include" && ls *.h) | sed 's|^|include/ostrana/|'
    (cd "$SOURCE_DIR/help" && find . -type f | sed 's|^\./||') | sed 's|^|share/parvell/help/|'
  } | LC_ALL=C sort
}

# check_tree NAME ACTUAL-LIST: ACTUAL-LIST (paths below the prefix, one a line)
# holds exactly the expected files.
check_tree() {
  local difference
  difference=$(diff <(expected_files) <(printf '%s\n' "$2" | LC_ALL=C sort) | grep '^[<>]')
  [ -z "$difference" ] || fail "$1: files differ from the expected list (< missing, > unexpected):
$difference"
}

# check_programs NAME PREFIX: the programs installed below PREFIX answer
# --version and --help, and parvell finds the help pages installed beside it.
check_programs() {
  local name=$1 prefix=$2 out
  out=$("$prefix/bin/parvell" --version 2>&1) || fail "$name: parvell --version exits $?"
  case $out in
    "parvell 2.1 (Parvell Ravarave v2.1)"$'\n'"Ostrana Secure Zip/UnZip 6."*) ;;
    *) fail "$name: parvell --version printed: $out" ;;
  esac
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/parvell" --help 2>&1) ||
    fail "$name: parvell --help without a display exits $?"
  grep -qx "Help pages: $prefix/share/parvell/help/index.html" <<<"$out" ||
    fail "$name: the installed parvell does not find its help pages: $out"
  # Beside another word, the two are a task file's name like any other (not found: 3).
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/parvell" /scheduled --version >/dev/null 2>&1
  [ $? -eq 3 ] || fail "$name: parvell /scheduled --version was not taken for a task file"
  out=$("$prefix/bin/ostrana" --help 2>&1) || fail "$name: ostrana --help exits $?"
  grep -q '^  extract ' <<<"$out" || fail "$name: ostrana --help lists no commands: $out"
  out=$("$prefix/bin/ostrana" --version 2>&1)
  grep -qx "Ostrana Secure Zip/UnZip, the engine of Parvell Ravarave v2.1" <<<"$out" ||
    fail "$name: ostrana --version printed: $out"
  # A round trip through the installed engine.
  mkdir -p "$work/$name-data/in" && echo "packaged" >"$work/$name-data/in/a.txt"
  (cd "$work/$name-data" && "$prefix/bin/ostrana" add -q t.zip in >/dev/null &&
    "$prefix/bin/ostrana" extract -q t.zip out >/dev/null) || fail "$name: ostrana add/extract failed"
  cmp -s "$work/$name-data/in/a.txt" "$work/$name-data/out/in/a.txt" || fail "$name: extracted file differs"
}

finish() {
  [ "$failures" -eq 0 ] && echo "all passed"
  exit "$((failures > 0))"
}
