#!/usr/bin/env bash
# tests/scripts/test_check_layers.sh - the layering check finds what it is for.
#
# Risk: a checker that reports nothing because it looks at nothing.  A small
# source tree is built with one violation of each kind beside allowed
# includes; every violation must be named by file and line, no allowed one,
# and the exit status must tell the two cases apart.  (The repository's own
# tree is checked by the test layers.tree.)
set -u
here=$(cd "$(dirname "$0")/../.." && pwd)
check="$here/scripts/check_layers"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

src="$tmp/src"
mkdir -p "$src"/{app,wizard,core,log,tasks,bridge,cli,platform/qt,engine/common,engine/zip,engine/api}
put() { printf '%s\n' "${@:2}" > "$src/$1"; }
# Allowed: each line below points down.
put app/main.cpp '#include "wizard/page.h"' '#include "platform/qt/env.h"' '#include <QApplication>'
put wizard/page.cpp '#include "bridge/b.h"' '#include "core/record.h"' '#include <vector>'
put bridge/b.cpp '#include "ostrana.h"' '#include "engine/common/aes.h"'
put engine/api/api.cpp '#include "engine/zip/z.h"' '#include "platform/file.h"'
put platform/file.cpp '#include <unistd.h>' 'int f() { return ::isatty(0); }'
put cli/main.cpp '#include "ostrana.h"' '// isatty(0) in a comment is no call' 'const char* s = "getenv(x)";'
# Against the order, one per line.
put core/record.cpp '#include "wizard/page.h"' '#include <QString>'
put log/l.cpp '#include "app/main.h"'
put tasks/t.cpp '#include "ostrana.h"'
put engine/common/c.cpp '#include "engine/zip/z.h"' '#include <QObject>'
put cli/term.cpp '#include <sys/ioctl.h>' 'int w() { return ::ioctl(1, 0); }'
put wizard/w.cpp 'long t = time(nullptr);' 'auto e = qgetenv("HOME");'
put platform/qt/env.cpp '#include "core/record.h"'

out=$("$check" "$src"); rc=$?
[ $rc = 1 ] || fail "exit status $rc with violations (expected 1)"
expect=(core/record.cpp:1 core/record.cpp:2 log/l.cpp:1 tasks/t.cpp:1 engine/common/c.cpp:1
        engine/common/c.cpp:2 cli/term.cpp:1 cli/term.cpp:2 wizard/w.cpp:1 wizard/w.cpp:2
        platform/qt/env.cpp:1)
for e in "${expect[@]}"; do
  grep -q "^src/$e:" <<<"$out" || fail "not reported: $e"
done
lines=$(grep -c '^src/' <<<"$out")
[ "$lines" = "${#expect[@]}" ] || { fail "reported $lines lines, expected ${#expect[@]}"; echo "$out"; }

rm -rf "$src"/{core,log,tasks,engine/common,wizard/w.cpp,platform/qt,cli/term.cpp}
"$check" "$src" >/dev/null || fail "a clean tree is reported"

[ $failures = 0 ] && echo "check_layers: all cases passed"
exit $((failures > 0))
