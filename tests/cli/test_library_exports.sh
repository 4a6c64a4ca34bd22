#!/usr/bin/env bash
# tests/cli/test_library_exports.sh - the shared engine library exports its C interface only.
#
# Programs link the engine through the functions of src/engine/include; every
# other symbol is internal and may change.  An internal symbol that leaks out
# of libostrana.so (a platform helper, a C++ function of the engine) would
# become something a program could depend on by accident.
set -u
: "${OSTRANA_BIN_DIR:?OSTRANA_BIN_DIR must name the bin folder of the build}"
lib="$OSTRANA_BIN_DIR/../lib/libostrana.so"
if [ ! -f "$lib" ]; then
  echo "SKIP: $lib not built"
  exit 0
fi
exported=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TDBRW]$/ {print $3}')
leaked=$(printf '%s\n' "$exported" | grep -v '^Ostrana' | grep -v '^_\(init\|fini\|edata\|end\|_bss_start\)$' || true)
failures=0
if [ -n "$leaked" ]; then
  printf 'FAIL symbols exported beside the C interface:\n%s\n' "$leaked"
  failures=1
fi
for name in OstranaZip OstranaUnzip OstranaEngineStart OstranaEngineEnd OstranaZipStateCreate \
            OstranaZipStateRelease OstranaUnzipStateCreate OstranaUnzipStateRelease \
            OstranaSetMessageBoxHook OstranaSetPumpHook OstranaSetSaveDialogHook OstranaVersion; do
  if ! printf '%s\n' "$exported" | grep -qx "$name"; then
    echo "FAIL $name is not exported"
    failures=1
  fi
done
[ "$failures" -eq 0 ] && echo "all passed"
exit "$failures"
