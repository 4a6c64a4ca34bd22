#!/usr/bin/env python3
"""tests/package/check_manual_pages.py - the manual pages say what the programs say.

ostrana.1 describes exactly the commands of `ostrana --help` and exactly the
options of every `ostrana COMMAND --help` (with the same short letters), and
its exit status tables hold the codes of the README's table, side by side.
parvell.1 names every run mode word and every exit status of `parvell --help`.
"""
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BIN = os.environ["OSTRANA_BIN_DIR"]
failures = []


def run(*args):
    return subprocess.run(args, capture_output=True, text=True, check=True).stdout


def page(name):
    with open(os.path.join(ROOT, "packaging", "man", name), encoding="utf-8") as f:
        return f.read().replace("\\-", "-")


def section(text, title):
    """The lines of the section .SH TITLE, up to the next .SH."""
    m = re.search(r"^\.SH " + re.escape(title) + r"\n(.*?)(?=^\.SH |\Z)", text, re.S | re.M)
    return m.group(1) if m else ""


def compare(what, documented, actual):
    if documented != actual:
        failures.append(f"{what}: only in the page {sorted(documented - actual)}, "
                        f"missing from the page {sorted(actual - documented)}")


def check_ostrana():
    text = page("ostrana.1")
    usage = run(f"{BIN}/ostrana", "--help")
    commands = set(re.findall(r"^  ([a-z]+) ", usage.split("Commands:")[1], re.M))
    items = set(re.findall(r"^\.TP\n\.BI? ([a-z]+)", section(text, "COMMANDS"), re.M))
    # `ostrana help [COMMAND]` is the spoken form of --help, named in the usage line's hint.
    compare("commands", items - {"help"}, commands)

    helped = set()
    for command in commands:
        for short, long in re.findall(r"^  (?:-(\w), |    )--([\w-]+)", run(f"{BIN}/ostrana", command, "--help"), re.M):
            helped.add((short, long))
    helped.add(("", "version"))
    described = set()
    for line in re.findall(r"^\.TP\n(.*)$", section(text, "OPTIONS"), re.M):
        m = re.match(r'\.BI? (?:-(\w) ", " )?--([\w-]+)', line.replace(".BR ", ".B "))
        if m:
            described.add((m.group(1) or "", m.group(2)))
        else:
            failures.append(f"option entry not understood: {line}")
    compare("options", described, helped)

    readme = open(os.path.join(ROOT, "README.md"), encoding="utf-8").read()
    table = re.split(r"^#", readme.split("### Exit status", 1)[1], maxsplit=1, flags=re.M)[0]  # up to the next heading
    reading, writing = set(), set()
    for code, unzip, zip_ in re.findall(r"^\|\s*(\d+)\s*\|([^|]*)\|([^|]*)\|$", table, re.M):
        if code == "64":
            continue
        if unzip.strip():
            reading.add(code)
        if zip_.strip():
            writing.add(code)
    status = section(text, "EXIT STATUS")
    for title, expected in (("Reading side", reading), ("Writing side", writing), ("Both", {"64"})):
        m = re.search(r"^\.SS " + title + r"\n.*?^\.TS\n.*?\.\n(.*?)^\.TE", status, re.S | re.M)
        rows = set(re.findall(r"^(\d+)\t", m.group(1), re.M)) if m else set()
        compare(f"exit codes, {title.lower()}", rows, expected)


def check_parvell():
    program = os.path.join(BIN, "parvell")
    if not os.path.exists(program):
        print("SKIP: parvell is not built")
        return
    text = page("parvell.1")
    usage = run(program, "--help")
    for word in ("new", "update", "extract", "/scheduled", "--help", "--version"):
        if word not in usage:
            failures.append(f"parvell --help does not name {word}")
        if not re.search(r"^\.(B|BR|BI) .*" + re.escape(word), section(text, "RUN MODES"), re.M):
            failures.append(f"parvell.1 does not name {word} among the run modes")
    codes = set(re.findall(r"^  (\d)  ", usage.split("Exit status:")[1], re.M))
    described = set(re.findall(r"^\.TP\n\.B (\d+)$", section(text, "EXIT STATUS"), re.M))
    compare("parvell exit statuses", described, codes)


check_ostrana()
check_parvell()
for failure in failures:
    print("FAIL", failure)
if not failures:
    print("all passed")
sys.exit(1 if failures else 0)
