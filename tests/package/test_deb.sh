#!/usr/bin/env bash
# tests/package/test_deb.sh - the Debian package, built with cpack as scripts/package does.
#
# Its files are those of an install below /usr; Depends names the libraries the
# programs link and the Qt plugins they load; it has no maintainer script that
# could touch a user's crontab; unpacked into a temporary folder, the programs
# run and parvell finds its help pages there; lintian finds no error.
set -u
: "${BUILD_DIR:?}" "${SOURCE_DIR:?}" "${LIBDIR:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$SOURCE_DIR/tests/package/package_lib.sh"

if ! cpack --config "$BUILD_DIR/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  fail "cpack failed"
  finish
fi
deb=$(ls "$work"/out/parvell_*.deb)
[ "$(basename "$deb")" = "parvell_2.1_amd64.deb" ] || fail "package file name: $(basename "$deb")"

# dpkg-deb -c: paths as "./usr/bin/parvell"; folders end with "/".
listing=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '/$' | sed 's|^\./usr/||')
check_tree deb "$listing"
dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '^\./usr/' | grep -qvx '\./' && fail "files outside /usr"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = parvell ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$("$BUILD_DIR/bin/parvell" --version | sed -n 's/^parvell \([^ ]*\) .*/\1/p')" ] ||
  fail "Version $(field Version) is not the version parvell prints"
depends=$(field Depends)
names=$(sed 's/ ([^)]*)//g; s/, /\n/g' <<<"$depends")
for needed in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins libqt6svg6; do
  grep -qxF "$needed" <<<"$names" || fail "Depends lacks $needed: $depends"
done
grep -q ' (>= ' <<<"$depends" || fail "Depends has no version from dpkg-shlibdeps: $depends"
echo "Depends: $depends"

dpkg-deb -e "$deb" "$work/control"
for script in preinst postinst prerm postrm config; do
  [ -e "$work/control/$script" ] && grep -qi crontab "$work/control/$script" && fail "$script touches crontab"
done
[ -e "$work/control/preinst" ] || [ -e "$work/control/prerm" ] && fail "the package has a pre-script"

dpkg-deb -x "$deb" "$work/root"
check_programs deb "$work/root/usr"

if command -v lintian >/dev/null; then
  lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1
  grep '^E:' "$work/lintian.txt" && fail "lintian reports errors"
  grep -v 'running with root privileges' "$work/lintian.txt" | sed 's/^/lintian: /'
else
  echo "SKIP: lintian is not installed"
fi
finish
