#!/usr/bin/env python3
"""tests/package/check_readme_pictures.py - the README pictures every page of the wizard.

For each page id of src/wizard/resize_prop_page.h (kPageWelcome -> page_welcome)
there is a registered shot of that name, its picture docs/pictures/<name>.png is
a PNG of a plausible window size, and README.md shows it.  Every picture the
README or the AppStream metainfo names exists.
"""
import os
import re
import struct
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
failures = []

header = open(os.path.join(ROOT, "src/wizard/resize_prop_page.h"), encoding="utf-8").read()
pages = ["page" + re.sub(r"([A-Z])", r"_\1", name).lower()
         for name in re.findall(r"^\s*kPage(\w+) = \d+,", header, re.M)]
if len(pages) < 6:
    failures.append(f"only {len(pages)} page ids found")

shots_program = os.path.join(os.environ["OSTRANA_BIN_DIR"], "parvell_screenshots")
if os.path.exists(shots_program):
    listed = subprocess.run([shots_program, "--list"], capture_output=True, text=True, check=True,
                            env=dict(os.environ, QT_QPA_PLATFORM="offscreen")).stdout
    shots = {line.split()[0] for line in listed.splitlines() if line.strip()}
    failures += [f"no shot {page}" for page in pages if page not in shots]
else:
    print("SKIP: parvell_screenshots is not built; shots not checked")

readme = open(os.path.join(ROOT, "README.md"), encoding="utf-8").read()
shown = set(re.findall(r"\]\((docs/pictures/[\w.-]+\.png)\)", readme))
for page in pages:
    if f"docs/pictures/{page}.png" not in shown:
        failures.append(f"README does not show docs/pictures/{page}.png")

metainfo = open(os.path.join(ROOT, "packaging/com.parvellsoft.Parvell.metainfo.xml"), encoding="utf-8").read()
named = shown | {"docs/pictures/" + n for n in re.findall(r"<image>[^<]*/([\w.-]+\.png)</image>", metainfo)}
for picture in sorted(named | {f"docs/pictures/{p}.png" for p in pages}):
    path = os.path.join(ROOT, picture)
    try:
        with open(path, "rb") as f:
            head = f.read(24)
    except OSError:
        failures.append(f"{picture} is missing")
        continue
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        failures.append(f"{picture} is not a PNG")
        continue
    width, height = struct.unpack(">II", head[16:24])
    if not (300 <= width <= 1024 and 200 <= height <= 768):
        failures.append(f"{picture} is {width}x{height}, not a window on 1024x768")

for failure in failures:
    print("FAIL", failure)
if not failures:
    print("all passed")
sys.exit(1 if failures else 0)
