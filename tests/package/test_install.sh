#!/usr/bin/env bash
# tests/package/test_install.sh - `cmake --install` into a temporary prefix.
#
# The tree holds every file it should and nothing else; the installed programs
# run from there and parvell finds its help pages relative to itself; the
# desktop entry and the metainfo pass their validators; F1 in the installed
# wizard opens the installed help page; both manual pages
# render without a warning; a C program builds and runs against the installed
# engine through pkg-config.
set -u
: "${BUILD_DIR:?}" "${SOURCE_DIR:?}" "${LIBDIR:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$SOURCE_DIR/tests/package/package_lib.sh"
prefix="$work/prefix with space"

cmake --install "$BUILD_DIR" --prefix "$prefix" >"$work/install.log" 2>&1 || {
  cat "$work/install.log"
  fail "cmake --install failed"
  finish
}
check_tree install "$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||')"
check_programs install "$prefix"
[ -x "$prefix/bin/parvell" ] && [ ! -x "$prefix/share/applications/com.parvellsoft.Parvell.desktop" ] ||
  fail "file modes: programs executable, data not"

if command -v desktop-file-validate >/dev/null; then
  out=$(desktop-file-validate "$prefix/share/applications/com.parvellsoft.Parvell.desktop" 2>&1)
  [ -z "$out" ] || fail "desktop-file-validate: $out"
else
  echo "SKIP: desktop-file-validate is not installed"
fi
if command -v appstreamcli >/dev/null; then
  out=$(appstreamcli validate --no-net "$prefix/share/metainfo/com.parvellsoft.Parvell.metainfo.xml" 2>&1) ||
    fail "appstreamcli validate: $out"
else
  echo "SKIP: appstreamcli is not installed"
fi

for page in parvell ostrana; do
  file=$prefix/share/man/man1/$page.1.gz
  text=$(MANWIDTH=80 man --warnings -l "$file" 2>"$work/man.err")
  [ -s "$work/man.err" ] && fail "man -l $page.1.gz warns: $(cat "$work/man.err")"
  grep -q "^NAME" <<<"$text" && grep -q "^EXIT STATUS" <<<"$text" || fail "man -l $page.1.gz shows no NAME and EXIT STATUS"
done

# F1 on the installed wizard's welcome page, on a private X server: the browser
# (a recorder in BROWSER, which xdg-open hands the page to) gets the installed topic.
if command -v xvfb-run >/dev/null && command -v xdotool >/dev/null; then
  mkdir -p "$work/x"
  printf '#!/bin/sh\nprintf "%%s\\n" "$*" >%s/opened.tmp && mv %s/opened.tmp %s/opened\n' \
    "$work/x" "$work/x" "$work/x" >"$work/x/browser" && chmod +x "$work/x/browser"
  cat >"$work/x/f1.sh" <<'F1'
"$1/bin/parvell" & pid=$!
for _ in $(seq 100); do
  window=$(xdotool search --onlyvisible --name "^Welcome to" 2>/dev/null | head -1)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] && xdotool windowfocus --sync "$window" && xdotool key --clearmodifiers F1
for _ in $(seq 100); do [ -s "$2" ] && break; sleep 0.1; done
kill "$pid"
F1
  HOME="$work/x" XDG_CONFIG_HOME="$work/x/config" BROWSER="$work/x/browser" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$work/x/f1.sh" "$prefix" "$work/x/opened" >/dev/null 2>&1
  opened=$(cat "$work/x/opened" 2>/dev/null)
  [ "$opened" = "file://$prefix/share/parvell/help/wizard_welcomepage.html" ] ||
    fail "F1 on the installed wizard opened '$opened', not its installed help page"
else
  echo "SKIP: xvfb-run or xdotool is not installed: F1 not tried"
fi

# The engine as a library: headers, shared library and pkg-config file fit together.
cat >"$work/use.c" <<'C'
#include <stdio.h>
#include <ostrana.h>
int main(void) { printf("%s\n", OstranaVersion()); return 0; }
C
export PKG_CONFIG_PATH="$prefix/$LIBDIR/pkgconfig"
[ "$(pkg-config --variable=includedir ostrana)" = "${prefix// /\\ }/include/ostrana" ] ||
  fail "pkg-config names another prefix: $(pkg-config --variable=includedir ostrana)"
# pkg-config escapes the prefix's space for a shell: eval reads it back.
if eval "cc '$work/use.c' $(pkg-config --cflags --libs ostrana) -o '$work/use'" 2>"$work/cc.err"; then
  out=$(LD_LIBRARY_PATH="$prefix/$LIBDIR" "$work/use")
  [[ $out == 6.* ]] || fail "a program linked to the installed engine printed: $out"
  LD_LIBRARY_PATH="$prefix/$LIBDIR" ldd "$work/use" | grep -q "libostrana.so.6 => $prefix/" ||
    fail "the program does not load libostrana.so.6 from the prefix"
else
  fail "a C program does not build against the installed engine: $(cat "$work/cc.err")"
fi
finish
