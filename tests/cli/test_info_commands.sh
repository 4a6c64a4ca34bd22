#!/usr/bin/env bash
# tests/cli/test_info_commands.sh - `ostrana list`, `comment`, `count` and the command line itself.
#
# Tests the front end only: the words and options it accepts, where options
# may stand, the exact output format scripts rely on, the exit status (the
# engine's result code, 64 for a line that cannot be run) and error messages
# that name the file.  Archives are made here with Python's zipfile, with
# fixed dates, so the expected output is exact.
. "$(dirname "$0")/lib.sh"
: "${OSTRANA:?OSTRANA must name the ostrana binary}"

python3 - "$tmp" <<'PY'
import sys, zipfile
d = sys.argv[1]
def info(name, method=zipfile.ZIP_STORED, attr=0x20):
    i = zipfile.ZipInfo(name, date_time=(2010, 6, 15, 12, 30, 14))
    i.compress_type = method
    i.external_attr = attr
    return i
with zipfile.ZipFile(d + "/sample.zip", "w") as z:
    z.writestr(info("A.TXT"), "alpha\n")
    z.writestr(info("docs/", attr=0x10), "")
    z.writestr(info("docs/B.TXT", zipfile.ZIP_DEFLATED, 0x21), "beta " * 40)
    z.writestr(info("my file.txt"), "")
    z.writestr(info("tab\there.bin"), "x")
    z.comment = b"Sample comment"
with zipfile.ZipFile(d + "/empty.zip", "w") as z:
    pass
open(d + "/not-a-zip.zip", "wb").write(b"x" * 300)
PY

# ---- help and usage ----------------------------------------------------------
run --help;                 check "--help exits 0" 0 "$rc"
case $out in *"list     ARCHIVE"*"count    ARCHIVE [PATTERN...]"*) ;; *) check "--help lists commands" list "$out";; esac
run;                        check "no command exits 64" 64 "$rc"
run list --help;            check "list --help exits 0" 0 "$rc"
case $out in "usage: ostrana list ARCHIVE [OPTIONS]"*) ;; *) check "list --help" usage "$out";; esac
run help count;             check "help count exits 0" 0 "$rc"
case $out in *"-r, --recurse"*) ;; *) check "help count names -r" recurse "$out";; esac
run frobnicate x.zip;       check "unknown command exits 64" 64 "$rc"
check "unknown command message" "ostrana: unknown command 'frobnicate'
Try 'ostrana --help'." "$err"
run list "$tmp/sample.zip" --bogus;  check "unknown option exits 64" 64 "$rc"
check "unknown option message" "ostrana: unknown option '--bogus'
Try 'ostrana --help'." "$err"
run list "$tmp/sample.zip" -r;       check "option of another command exits 64" 64 "$rc"
run list;                            check "missing archive exits 64" 64 "$rc"
run list a.zip b.zip;                check "extra word exits 64" 64 "$rc"
run count "$tmp/sample.zip" -p;      check "option without its argument exits 64" 64 "$rc"
run --version;                       check "--version" "ostrana 6.00.00
Ostrana Secure Zip/UnZip, the engine of Parvell Ravarave v2.1" "$out"
run list "$tmp/sample.zip" --version; check "--version beside a command exits 64" 64 "$rc"

# ---- list ------------------------------------------------------------------------
run list "$tmp/sample.zip"
check "list exits 0" 0 "$rc"
check "list output" "0	A.TXT	6	6	Store	0x9F606EEC	06/15/2010  12:30:14	A-----  	none
1	docs/	0	0	Store	0x00000000	06/15/2010  12:30:14	-S----  	none
2	docs/B.TXT	200	10	Deflate	0xFA3C33FC	06/15/2010  12:30:14	A----R  	none
3	my file.txt	0	0	Store	0x00000000	06/15/2010  12:30:14	A----- L	none
4	tab\x09here.bin	1	1	Store	0x8CDC1683	06/15/2010  12:30:14	A-----  	none
total	5 items	207	17	91.7%" "$out"
run list "$tmp/empty.zip"
check "empty list" "total	0 items	0	0	0.0%" "$out"
run list "$tmp/missing.zip"
check "missing archive exits 9" 9 "$rc"
check "missing archive message" "ostrana: $tmp/missing.zip: File not found (No valid Zip file indicated)" "$err"
run list "$tmp/not-a-zip.zip"
check "not an archive exits 3" 3 "$rc"
check "not an archive message" \
  "ostrana: $tmp/not-a-zip.zip: Ostrana Secure UnZip file structure invalid (Problem reading Zip file)" "$err"

# ---- comment -----------------------------------------------------------------------
run comment "$tmp/sample.zip"; check "comment" "Sample comment" "$out"; check "comment exits 0" 0 "$rc"
run comment "$tmp/empty.zip";  check "no comment" "" "$out"
run comment "$tmp/not-a-zip.zip"
check "comment of a non-archive exits 3" 3 "$rc"

# ---- count: patterns and options anywhere -------------------------------------------
run count "$tmp/sample.zip";                       check "count" 5 "$out"
run count "$tmp/sample.zip" '*.txt';               check "count *.txt" 2 "$out"
run count "$tmp/sample.zip" '*.txt' -r;            check "count *.txt -r (after)" 3 "$out"
run -r count "$tmp/sample.zip" '*.txt';            check "count -r (before the command)" 3 "$out"
run count --recurse "$tmp/sample.zip" '*.TXT';     check "count --recurse (between)" 3 "$out"
run count "$tmp/sample.zip" 'my file.txt';         check "pattern with a blank" 1 "$out"
run count "$tmp/sample.zip" 'docs/';               check "folder pattern" 2 "$out"
run count "$tmp/sample.zip" '*' 'docs/*.txt';      check "two patterns (docs/ itself too)" 5 "$out"
run count "$tmp/sample.zip" -- '-r';               check "-- ends the options" 0 "$out"
run count "$tmp/sample.zip" '"open';
check "unbalanced quote exits 47" 47 "$rc"
check "unbalanced quote message" \
  "ostrana: $tmp/sample.zip: Command syntax error (Double Quotes mismatched.)" "$err"

finish
