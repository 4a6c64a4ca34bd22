#!/usr/bin/env python3
"""tests/interop/test_update_safety.py - two runs at once, bombs, lies and special files.

Risk: two `ostrana add` runs on one archive lose one run's entries or break
it; a signal from a closed terminal leaves a temporary file; archives whose
entries share their bytes expand to gigabytes; a size or an end record that
lies is believed; a FIFO named as the archive hangs the reader; exit codes
that say success where a file was left out; an archive's names sending
escape sequences to the terminal.  Archives are built here with Python and
checked with 7-Zip and Python's zipfile besides ostrana itself.
"""
import fcntl
import os
import signal
import struct
import subprocess
import tempfile
import time
import unittest
import zipfile
import zlib

import peerlib
from peerlib import OSTRANA


def ostrana(*args, env=None, timeout=60):
    return peerlib.ostrana(*args, env=env, timeout=timeout, text=True, errors="replace")


def sound(archive):
    """7-Zip and Python both call the archive good."""
    seven = subprocess.run(["7zz", "t", archive], capture_output=True).returncode == 0
    with zipfile.ZipFile(archive) as z:
        return seven and z.testzip() is None


def local(name, data, offset_data=None, method=0, usize=None):
    crc = zlib.crc32(offset_data if offset_data is not None else data)
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, method, 0, 0x21, crc, len(data),
                       len(data) if usize is None else usize, len(name), 0) + name + data


def central(name, offset, csize, usize, crc, method=0, extra=b""):
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, method, 0, 0x21, crc, csize, usize,
                       len(name), len(extra), 0, 0, 0, 0, offset) + name + extra


def end(count, cd_nbytes, cd_offset, comment=b""):
    return struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, cd_nbytes, cd_offset, len(comment)) + comment


class Case(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name
        self.env = dict(os.environ, XDG_STATE_HOME=os.path.join(self.dir, "state"))

    def tearDown(self):
        self.tmp.cleanup()

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def files(self, folder, count, size, seed):
        os.makedirs(self.path(folder), exist_ok=True)
        for i in range(count):
            with open(self.path(folder, "%s-%04d.bin" % (folder, i)), "wb") as f:
                f.write(bytes((seed * 7 + i * 13 + k * k) % 251 for k in range(size)))

    @staticmethod
    def read(path):
        with open(path, "rb") as f:
            return f.read()

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)


class TwoRunsAtOnce(Case):
    def test_concurrent_adds_lose_nothing(self):
        for grow, pairs in ((False, 20), (True, 10)):
            for n in range(pairs):
                archive = self.path("c%d%d.zip" % (grow, n))
                self.files("base", 3, 1000, n)
                self.assertEqual(0, ostrana("add", "-q", archive, self.path("base"), env=self.env).returncode)
                self.files("x%d" % n, 60, 8000, 1 + n)
                self.files("y%d" % n, 60, 8000, 2 + n)
                extra = ["--grow"] if grow else []
                runs = [subprocess.Popen([OSTRANA, "add", "-q", "-l", "9", *extra, archive, self.path(f)],
                                         stdin=subprocess.DEVNULL, stderr=subprocess.PIPE, env=self.env)
                        for f in ("x%d" % n, "y%d" % n)]
                outcomes = [(r.wait(120), r.communicate()[1]) for r in runs]
                self.assertEqual([0, 0], [c for c, _ in outcomes], "grow=%s pair %d: %s" % (grow, n, outcomes))
                with zipfile.ZipFile(archive) as z:
                    names = z.namelist()
                self.assertEqual(123, len([x for x in names if not x.endswith("/")]), "grow=%s pair %d" % (grow, n))
                self.assertTrue(sound(archive))
                self.assertFalse(os.path.exists(archive + ".ostrana-rollback"))

    def test_a_run_that_waits_too_long_names_the_other_process(self):
        archive = self.write("a.txt", b"a").replace("a.txt", "held.zip")
        self.assertEqual(0, ostrana("add", archive, self.path("a.txt"), env=self.env).returncode)
        before = self.read(archive)
        with open(archive, "rb") as held:
            fcntl.flock(held, fcntl.LOCK_EX)
            r = ostrana("add", archive, self.path("a.txt"), env=dict(self.env, OSTRANA_LOCK_WAIT="1"))
        self.assertEqual(1, r.returncode, r.stderr)
        self.assertIn("held.zip is being updated by process %d (python3)" % os.getpid(), r.stderr)
        self.assertEqual(before, self.read(archive))


class HangUp(Case):
    def test_sighup_and_sigquit_stop_like_sigterm(self):
        self.files("big", 40, 300000, 5)
        archive = self.path("h.zip")
        self.assertEqual(0, ostrana("add", "-q", "-l", "1", archive, self.path("big", "big-0000.bin"),
                                    env=self.env).returncode)
        before = self.read(archive)
        for sig in (signal.SIGHUP, signal.SIGQUIT):
            run = subprocess.Popen([OSTRANA, "add", "-q", "-l", "9", archive, self.path("big")],
                                   stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=self.env)
            # Its temporary archive (unnamed, so seen among its open files) tells the run has begun.
            while run.poll() is None and not self.writes_unnamed_file(run.pid):
                time.sleep(0.01)
            run.send_signal(sig)
            self.assertEqual(9, run.wait(60), sig)
            self.assertEqual(before, self.read(archive))
            self.assertLessEqual(set(os.listdir(self.dir)), {"big", "h.zip", "state"}, "nothing left behind")

    def writes_unnamed_file(self, pid):
        fds = "/proc/%d/fd" % pid
        try:
            targets = [os.readlink(os.path.join(fds, fd)) for fd in os.listdir(fds)]
        except OSError:  # a descriptor closed while being looked at
            return False
        return any(t.startswith(self.dir) and t.endswith("(deleted)") for t in targets)


class Bombs(Case):
    def check_refused(self, archive, words):
        for command in (["list"], ["test"], ["extract", self.path("out")]):
            r = ostrana(command[0], archive, *command[1:], env=self.env, timeout=10)
            self.assertEqual(3, r.returncode, (command, r.stderr))
            for w in words:
                self.assertIn(w, r.stderr)
        self.assertFalse(os.path.exists(self.path("out")) and os.listdir(self.path("out")))

    def test_entries_sharing_data_or_a_local_header_are_refused(self):
        kernel = zlib.compressobj(9, zlib.DEFLATED, -15)
        data = kernel.compress(bytes(20_000_000)) + kernel.flush()
        crc = zlib.crc32(bytes(20_000_000))
        # One local header, 120 directory records pointing at it.
        body = local(b"k", data, bytes(20_000_000), method=8, usize=20_000_000)
        cd = b"".join(central(b"f%03d" % i, 0, len(data), 20_000_000, crc, method=8) for i in range(120))
        self.check_refused(self.write("one_header.zip", body + cd + end(120, len(cd), len(body))),
                           ['"f000" and "f001" share bytes'])
        # 120 local headers, each entry's data reaching over the ones after it.
        body, records = b"", []
        for i in range(120):
            records.append(central(b"g%03d" % i, len(body), len(data) + 31 * (119 - i), 20_000_000, crc, method=8))
            body += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 8, 0, 0x21, crc, len(data), 20_000_000, 1, 0) + b"g"
        body += data
        cd = b"".join(records)
        self.check_refused(self.write("shared_data.zip", body + cd + end(120, len(cd), len(body))),
                           ['"g000" and "g001" share bytes'])


class Lies(Case):
    def test_a_stored_size_that_lies_is_an_error_and_leaves_nothing(self):
        zip64 = struct.pack("<HHQQ", 1, 16, (4 << 30) + 5, 5)
        body = local(b"lie.txt", b"hello")
        cd = central(b"lie.txt", 0, 0xFFFFFFFF, 0xFFFFFFFF, zlib.crc32(b"hello"), extra=zip64)
        archive = self.write("lie.zip", body + cd + end(1, len(cd), len(body)))
        self.assertEqual(39, ostrana("test", archive, env=self.env).returncode)
        r = ostrana("extract", archive, self.path("out"), env=self.env)
        self.assertEqual(39, r.returncode, r.stderr)
        self.assertIn("lie.txt", r.stderr)
        self.assertEqual([], os.listdir(self.path("out")) if os.path.isdir(self.path("out")) else [])

    def test_an_end_record_inside_the_comment_is_not_taken(self):
        archive = self.path("comment.zip")
        with zipfile.ZipFile(archive, "w") as z:
            z.writestr("inside.txt", "x")
            z.comment = b"tail PK\x05\x06" + b"\x00" * 30 + b" more"
        r = ostrana("list", archive, env=self.env)
        self.assertEqual(0, r.returncode, r.stderr)
        self.assertIn("inside.txt", r.stdout)


class SpecialFiles(Case):
    def test_a_fifo_archive_is_refused_at_once_and_special_items_are_skipped(self):
        os.mkfifo(self.path("fifo"))
        for command in (["list"], ["test"]):
            r = ostrana(command[0], self.path("fifo"), env=self.env, timeout=10)
            self.assertNotEqual(0, r.returncode)
            self.assertIn("a FIFO, not an archive file", r.stderr)
        self.write("real.txt", b"real")
        archive = self.path("s.zip")
        r = ostrana("add", archive, self.path("real.txt"), self.path("fifo"), "/dev/null", "missing.txt",
                    env=self.env, timeout=10)
        self.assertEqual(18, r.returncode, r.stderr)
        self.assertIn("skipped, a FIFO is not a file to store", r.stderr)
        self.assertIn("File not found or no read permission (%s)" % self.path("fifo"), r.stderr)
        with zipfile.ZipFile(archive) as z:
            names = z.namelist()
        self.assertEqual(["real.txt"], [os.path.basename(n) for n in names if not n.endswith("/")])
        self.assertFalse([n for n in names if n.startswith("dev")], names)


class TruthfulExits(Case):
    def test_codes_and_messages(self):
        self.write("a.txt", b"a")
        archive = self.path("t.zip")
        r = ostrana("add", archive, self.path("a.txt"), self.path("gone.txt"), env=self.env)
        self.assertEqual(18, r.returncode)
        self.assertIn("gone.txt", r.stderr)
        with zipfile.ZipFile(archive) as z:
            self.assertEqual(["a.txt"], [os.path.basename(n) for n in z.namelist() if not n.endswith("/")])
        empty = self.write("empty.zip", end(0, 0, 0))
        r = ostrana("test", empty, env=self.env)
        self.assertEqual((0, "%s: 0 items tested, no errors\n" % empty), (r.returncode, r.stdout))
        self.assertEqual(11, ostrana("test", empty, "*.txt", env=self.env).returncode)
        self.assertEqual(64, ostrana("delete", archive, "a.txt", "-r", env=self.env).returncode)
        self.assertEqual(64, ostrana("freshen", archive, "--grow", env=self.env).returncode)
        # No terminal to ask: a wrong password ends the run as a wrong password, naming the item.
        subprocess.run(["7zz", "a", "-pright", "-mem=ZipCrypto", self.path("pw.zip"), self.path("a.txt")],
                       capture_output=True, check=True)
        for command in (["test"], ["extract", self.path("pwout")]):
            r = ostrana(command[0], "-p", "WRONG", self.path("pw.zip"), *command[1:], env=self.env)
            self.assertEqual(44, r.returncode, r.stderr)
            self.assertIn("Bad or missing decryption key (a.txt)", r.stderr)

    def test_names_from_an_archive_reach_the_terminal_escaped(self):
        archive = self.path("esc.zip")
        with zipfile.ZipFile(archive, "w") as z:
            z.writestr("../\x1b[31mred.txt", "x")
        r = ostrana("extract", archive, self.path("out"), env=self.env)
        self.assertNotIn("\x1b", r.stderr)
        self.assertIn("\\x1B[31mred.txt", r.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
