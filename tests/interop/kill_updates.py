#!/usr/bin/env python3
"""tests/interop/kill_updates.py - updates killed with SIGKILL at random points of their work.

Risk: a run killed while it rewrites or appends to an archive leaves one that
no reader opens, a mixture of old and new, a temporary file as large as the
archive, or a rollback file that later runs never act on.  An archive of
2,000 files is updated by `add`, `update`, `delete` and `add --grow`, each
run killed once it has written a random share of what a whole run writes
(its count of bytes written, /proc/PID/io); then a reading run opens it (which undoes an
unfinished append), and the archive must be byte for byte the old one or the
complete new one, pass `7zz t` and Python's `testzip()`, and have nothing of
the killed run left beside it.

KILL_RUNS (default 10) is the number of kills, spread over the four
operations in turn; KILL_SEED fixes the random points.  CTest runs the
short version under the label "kill"; the long one is run by hand:
    KILL_RUNS=160 OSTRANA=build/bin/ostrana python3 tests/interop/kill_updates.py
"""
import hashlib
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import zipfile

import peerlib
from peerlib import OSTRANA

RUNS = int(os.environ.get("KILL_RUNS", "10"))
SEED = int(os.environ.get("KILL_SEED", str(int(time.time()))))

OPERATIONS = {
    "add": ["add", "-q", "a.zip", "src/new"],
    "update": ["update", "-q", "a.zip", "src"],
    "delete": ["delete", "-q", "a.zip", "src/f1*"],
    "grow": ["add", "-q", "--grow", "a.zip", "src/new"],
}


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def ostrana(args, cwd):
    return peerlib.ostrana(*args, cwd=cwd)


def make_tree(work, rnd):
    """2,000 files of text and noise, dated 2020; then 200 of them changed and 100 added."""
    os.makedirs(os.path.join(work, "src", "new"))
    words = [b"archive", b"entry", b"window", b"match", b"volume", b"folder"]
    for i in range(2000):
        with open(os.path.join(work, "src", "f%04d.txt" % i), "wb") as f:
            f.write(b" ".join(rnd.choices(words, k=rnd.randrange(50, 1500))) if i % 3 else rnd.randbytes(3000))
    old = time.mktime((2020, 1, 1, 0, 0, 0, 0, 0, -1))
    for folder, _, files in os.walk(os.path.join(work, "src")):
        for name in files:
            os.utime(os.path.join(folder, name), (old, old))
    if ostrana(["add", "-q", "-l", "1", "a.zip", "src"], work).returncode != 0:
        sys.exit("cannot make the archive")
    os.rename(os.path.join(work, "a.zip"), os.path.join(work, "old.zip"))
    for i in rnd.sample(range(2000), 200):
        with open(os.path.join(work, "src", "f%04d.txt" % i), "ab") as f:
            f.write(b" changed")
    for i in range(100):
        with open(os.path.join(work, "src", "new", "n%03d.bin" % i), "wb") as f:
            f.write(rnd.randbytes(rnd.randrange(100, 20000)))


def written(pid):
    """The bytes process @p pid has written so far, or None when it cannot be read."""
    try:
        with open("/proc/%d/io" % pid) as f:
            for line in f:
                if line.startswith("wchar:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def start(op, work):
    return subprocess.Popen([OSTRANA, *OPERATIONS[op]], cwd=work, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def watch(run, until=None):
    """Follows the bytes @p run writes until it has written @p until (True) or has
    ended (False); returns that and the last count read."""
    last = 0
    while run.poll() is None:
        now = written(run.pid)
        if now is not None:
            last = now
            if until is not None and now >= until:
                return True, last
        time.sleep(0.002)
    return False, last


def left_behind(work):
    return [n for n in os.listdir(work) if n.startswith("@@") or n.endswith(".ostrana-rollback")]


def main():
    rnd = random.Random(SEED)
    work = tempfile.mkdtemp(prefix="ostrana-kill-")
    failures = []
    try:
        make_tree(work, rnd)
        old = digest(os.path.join(work, "old.zip"))
        new, writes = {}, {}
        for op in OPERATIONS:
            shutil.copyfile(os.path.join(work, "old.zip"), os.path.join(work, "a.zip"))
            run = start(op, work)
            _, writes[op] = watch(run)
            if run.returncode != 0:
                sys.exit("%s does not run: exit status %d" % (op, run.returncode))
            new[op] = digest(os.path.join(work, "a.zip"))
            if new[op] == old:
                sys.exit("%s changes nothing" % op)
        outcomes = {op: {"old": 0, "new": 0, "midway": 0} for op in OPERATIONS}
        for k in range(RUNS):
            op = list(OPERATIONS)[k % len(OPERATIONS)]
            archive = os.path.join(work, "a.zip")
            shutil.copyfile(os.path.join(work, "old.zip"), archive)
            run = start(op, work)
            midway, _ = watch(run, until=rnd.uniform(0, writes[op]))
            run.send_signal(signal.SIGKILL)
            run.wait()
            # The next run on the archive: it undoes an append that was cut short.
            listed = ostrana(["list", "a.zip"], work)
            now = digest(archive)
            what = "old" if now == old else "new" if now == new[op] else None
            if what is None or listed.returncode != 0:
                failures.append("%s kill %d: neither the old nor the new archive (list: %d)" % (op, k, listed.returncode))
                continue
            outcomes[op][what] += 1
            outcomes[op]["midway"] += midway
            with zipfile.ZipFile(archive) as z:
                if z.testzip() is not None:
                    failures.append("%s kill %d: Python's testzip fails" % (op, k))
            if subprocess.run(["7zz", "t", archive], capture_output=True).returncode != 0:
                failures.append("%s kill %d: 7zz t fails" % (op, k))
            if left_behind(work):
                failures.append("%s kill %d: left behind %s" % (op, k, left_behind(work)))
        print("seed %d, %d kills: %s" % (SEED, RUNS, outcomes))
        midway = sum(o["midway"] for o in outcomes.values())
        if midway < RUNS / 2:
            failures.append("kills: only %d of %d came while the run was still writing" % (midway, RUNS))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAIL", f)
    failed_kills = len({f.split(":")[0] for f in failures})
    print("%d passed, %d failed" % (RUNS - failed_kills, failed_kills))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
