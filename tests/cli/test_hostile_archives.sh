#!/usr/bin/env bash
# tests/cli/test_hostile_archives.sh - hostile archives through `ostrana`, also under a memory cap.
#
# 1. The committed archives of tests/data/hostile are exactly what their
#    generator makes.
# 2. `ostrana extract` gives each its exit status, says which archive and
#    why on stderr, and writes nothing beside the destination; `ostrana add`
#    either makes a whole new archive of it or leaves it untouched.
# 3. With the address space capped at 256 MiB, archives that claim billions
#    of entries, a directory of terabytes or an item of exabytes are refused
#    with 3 (or the item's own code) - never "out of memory", never a crash:
#    the claims are checked before anything is allocated.  (Skipped in the
#    sanitizer build, whose shadow memory needs more address space.)
. "$(dirname "$0")/lib.sh"
: "${OSTRANA:?OSTRANA must name the ostrana binary}"
: "${OSTRANA_TEST_DATA:?OSTRANA_TEST_DATA must name tests/data}"
hostile=$OSTRANA_TEST_DATA/hostile

# ---- 1. the committed archives are the generator's -------------------------------------
python3 "$hostile/make_hostile.py" --check "$tmp/made"
for f in "$tmp"/made/*.zip; do
  cmp -s "$f" "$hostile/$(basename "$f")" || check "generator makes $(basename "$f")" same differs
done
check "number of hostile archives" 9 "$(ls "$hostile"/*.zip | wc -l)"

# ---- 2. extraction: exit status, message, nothing outside -------------------------------
expect_status() {  # expect_status ARCHIVE STATUS REASON
  local box=$tmp/box/$1
  mkdir -p "$box/out"
  "$OSTRANA" extract "$hostile/$1" "$box/out" -o >/dev/null 2>"$tmp/err" </dev/null
  check "extract $1: status" "$2" "$?"
  check "extract $1: nothing beside the destination" "out" "$(ls -A "$box")"
  if [ -n "$3" ]; then
    grep -qF "$1" "$tmp/err" || check "extract $1: the message names the archive" "$1" "$(cat "$tmp/err")"
    grep -qF "$3" "$tmp/err" || check "extract $1: the message gives the reason" "$3" "$(cat "$tmp/err")"
  fi
}
expect_status overlapping.zip 3 "file structure invalid"
expect_status local_offset_beyond.zip 3 "file structure invalid"
expect_status directory_self_local.zip 3 "file structure invalid"
expect_status directory_self_end.zip 3 "Problem reading Zip file"
expect_status zip64_absurd_counts.zip 3 "Problem reading Zip file"
expect_status long_name.zip 28 "Error creating output file"
expect_status climbing_names.zip 0 "would be written outside the destination"
expect_status listed_twice.zip 0 ""
expect_status bomb.zip 3 "file structure invalid"
check "climbing names: the rest is extracted" "fine-ok" \
  "$([ -f "$tmp/box/climbing_names.zip/out/ok.txt" ] && echo fine)-ok"

# ---- 2b. adding to a hostile archive: a whole new archive, or the old one untouched ----------
mkdir -p "$tmp/grow"
echo "a new file" > "$tmp/grow/new.txt"
for f in "$hostile"/*.zip; do
  n=$(basename "$f")
  cp "$f" "$tmp/grow/$n"
  before=$(sha256sum < "$f")
  (cd "$tmp/grow" && "$OSTRANA" add "$n" new.txt >/dev/null 2>"$tmp/err" </dev/null)
  rc=$?
  if [ $rc -eq 0 ]; then
    python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); assert z.read("new.txt") == b"a new file\n"' \
      "$tmp/grow/$n" 2>/dev/null || check "add to $n: the new archive holds the new file" "new.txt" "$(ls -l "$tmp/grow/$n")"
  else
    check "add to $n: refused with the reason" "3" "$rc"
    check "add to $n: the old archive untouched" "$before" "$(sha256sum < "$tmp/grow/$n")"
  fi
  check "add to $n: no temporary file left" "" "$(ls -A "$tmp/grow" | grep '^@@')"
done

# ---- 3. claims of enormous size under a memory cap ----------------------------------------
python3 - "$tmp" <<'PY'
import struct, sys, zlib
d = sys.argv[1]
name = b"big.bin"
data = b"small data"
crc = zlib.crc32(data)
def local(extra=b""):
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, 0, 0, 0x3CCF, crc, 0xFFFFFFFF, 0xFFFFFFFF,
                       len(name), len(extra)) + name + extra + data
def central(extra, csize=0xFFFFFFFF, usize=0xFFFFFFFF):
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, 0, 0, 0x3CCF, crc, csize, usize,
                       len(name), len(extra), 0, 0, 0, 0, 0) + name + extra
# An item that claims 2^62 bytes, stored: its data is the 10 bytes there are.
z64 = struct.pack("<HHQQ", 1, 16, 1 << 62, 1 << 62)
body = local(z64)
cd = central(z64)
with open(d + "/exabyte_item.zip", "wb") as f:
    f.write(body + cd + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(cd), len(body), 0))
# A classic end record claiming 65,535 entries in a 4 GiB directory.
with open(d + "/huge_directory.zip", "wb") as f:
    f.write(body + cd + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFF0, 0, 0))
# A Zip64 end record claiming 2^40 entries in a directory of 2^45 bytes that starts at 0.
z64end = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, 1 << 40, 1 << 40, 1 << 45, 0)
loc = struct.pack("<IIQI", 0x07064B50, 0, len(body) + len(cd), 1)
end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0)
with open(d + "/billions.zip", "wb") as f:
    f.write(body + cd + z64end + loc + end)
PY

if [ -n "${OSTRANA_SANITIZED:-}" ]; then
  echo "memory cap part skipped in the sanitizer build"
else
  capped() {  # capped ARGS... ; status of ostrana run with 256 MiB of address space
    (ulimit -v 262144; "$OSTRANA" "$@" >/dev/null 2>"$tmp/err" </dev/null)
  }
  for a in huge_directory billions; do
    capped list "$tmp/$a.zip"; check "$a: list under the cap" 3 "$?"
    capped test "$tmp/$a.zip"; check "$a: test under the cap" 3 "$?"
  done
  # The item's data ends long before its claimed size: a structure fault
  # or a bad CRC, but never out of memory.
  capped test "$tmp/exabyte_item.zip"; rc=$?
  case $rc in 2|3|39) ;; *) check "exabyte item: test under the cap" "2, 3 or 39" "$rc" ;; esac
  mkdir -p "$tmp/exa/out"
  capped extract "$tmp/exabyte_item.zip" "$tmp/exa/out"; rc=$?
  case $rc in 2|3|39|50) ;; *) check "exabyte item: extract under the cap" "2, 3, 39 or 50" "$rc" ;; esac
  capped test "$hostile/zip64_absurd_counts.zip"; check "absurd counts under the cap" 3 "$?"
  capped test "$hostile/bomb.zip"; check "bomb under the cap" 3 "$?"
fi

finish
