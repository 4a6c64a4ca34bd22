#!/usr/bin/env python3
"""tests/interop/test_unix_peers.py - Linux file facts through ostrana and every peer, both ways.

Risk: an archive that readers take differently from the tree it was made
of: names in several scripts shown as garbage or refused (Java refuses a
whole archive over one badly marked name), a script that loses its
executable bit, a read-only file that comes out writable, symbolic links
followed or dropped, and times hours off because the DOS date-time has no
time zone.  The tree holds accented Latin, Cyrillic, CJK and emoji names, a
name that is not UTF-8, blanks and quotes, a 0755 script, a 0444 file, links
to a file, to a folder and to nothing, and an empty folder.

`ostrana add` makes the archive under one time zone; ostrana, Python's
zipfile, bsdtar, 7-Zip, Java (ZipFile, ZipInputStream, jar) and Go (when
installed) read it under another and must see the tree: names, bytes, modes,
link targets and modification times (to 2 s).  Then each peer archives the
tree and `ostrana extract` must give it back, with what that peer can store.
"""
import os
import shutil
import stat
import struct
import subprocess
import tempfile
import time
import unittest
import zipfile

import peerlib
from peerlib import OSTRANA, PEER_ENV, have

PEERS_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "peers")
WRITER_TZ = "Asia/Tokyo"
READER_TZ = "Europe/London"
BASE_TIME = 1588748888  # 2020-05-06 07:08:08 UTC, an even second

# name: (kind, data or link target, mode).  Folders get 0755.
TREE = {
    "d\u00e9j\u00e0 vu.txt": ("file", b"accented latin\n", 0o644),
    "\u041f\u0440\u0438\u0432\u0435\u0442 \u043c\u0438\u0440.txt": ("file", b"cyrillic\n" * 50, 0o644),
    "\u4e16\u754c": ("dir", None, 0o755),
    "\u4e16\u754c/\u65e5\u672c\u8a9e.txt": ("file", b"cjk " * 3000, 0o644),
    "emoji \U0001f389.txt": ("file", b"party\n", 0o644),
    "blanks and 'quotes\".txt": ("file", b"quoted\n", 0o644),
    "run.sh": ("file", b"#!/bin/sh\necho run\n", 0o755),
    "readonly.txt": ("file", b"read only\n", 0o444),
    "link-to-file": ("link", "run.sh", 0o777),
    "link-to-folder": ("link", "\u4e16\u754c", 0o777),
    "dangling": ("link", "no such file", 0o777),
    "empty folder": ("dir", None, 0o755),
}
RAW_NAME = b"not utf-8 \xff\xfe.bin"  # stored as its bytes, without flag bit 11
RAW_DATA = b"raw name\n"


def env_in(tz):
    return dict(PEER_ENV, TZ=tz)


def run(args, tz, cwd=None):
    """The output of a program run in time zone @p tz; it must exit with 0."""
    return peerlib.run(args, cwd=cwd, env=env_in(tz)).stdout.decode("utf-8", errors="surrogateescape")


def mtime_of(index):
    return BASE_TIME + index * 7 * 3600 + index * 2


def make_tree(root, with_raw_name):
    for name, (kind, data, mode) in sorted(TREE.items()):
        path = os.path.join(root, name)
        if kind == "dir":
            os.makedirs(path, exist_ok=True)
        else:
            os.makedirs(os.path.dirname(path), exist_ok=True)
        if kind == "file":
            with open(path, "wb") as h:
                h.write(data)
            os.chmod(path, mode)
        elif kind == "link":
            os.symlink(data, path)
    if with_raw_name:
        with open(os.path.join(root.encode(), RAW_NAME), "wb") as h:
            h.write(RAW_DATA)
    # Deepest first, so that a folder's time is set after its content.
    for name in sorted(TREE, key=lambda n: n.count("/"), reverse=True):
        t = mtime_of(sorted(TREE).index(name))
        os.utime(os.path.join(root, name), (t, t), follow_symlinks=False)


def expected_tree(modes=True, links=True):
    """{name: (kind, data, mode, mtime)} as a reader that keeps modes and links sees it."""
    out = {}
    for index, (name, (kind, data, mode)) in enumerate(sorted(TREE.items())):
        if kind == "link" and not links:
            continue
        shown_mode = mode if modes else (0o755 if kind == "dir" else 0o644)
        out[name] = (kind, data, shown_mode if kind != "link" else None, mtime_of(index))
    return out


def read_tree(root, with_times=True):
    """{name: (kind, data, mode, mtime)} of what lies below @p root (links not followed)."""
    out = {}
    for folder, dirs, files in os.walk(root):
        for n in dirs + files:
            path = os.path.join(folder, n)
            name = os.path.relpath(path, root)
            st = os.lstat(path)
            if stat.S_ISLNK(st.st_mode):
                out[name] = ("link", os.readlink(path), None, int(st.st_mtime))
            elif stat.S_ISDIR(st.st_mode):
                out[name] = ("dir", None, stat.S_IMODE(st.st_mode), int(st.st_mtime))
            else:
                with open(path, "rb") as h:
                    out[name] = ("file", h.read(), stat.S_IMODE(st.st_mode), int(st.st_mtime))
    if not with_times:
        out = {k: v[:3] + (None,) for k, v in out.items()}
    return out


def local_time(t, tz):
    """(year, month, day, hour, minute, second) of @p t in the zone @p tz."""
    old = os.environ.get("TZ")
    os.environ["TZ"] = tz
    time.tzset()
    try:
        return tuple(time.localtime(t)[:6])
    finally:
        if old is None:
            del os.environ["TZ"]
        else:
            os.environ["TZ"] = old
        time.tzset()


def extra_blocks(extra):
    blocks, at = {}, 0
    while at + 4 <= len(extra):
        tag, size = struct.unpack_from("<HH", extra, at)
        blocks.setdefault(tag, extra[at + 4:at + 4 + size])
        at += 4 + size
    return blocks


class UnixPeers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.umask(0o022)
        cls.tmp = tempfile.mkdtemp(prefix="ostrana-unix-")
        os.environ["XDG_STATE_HOME"] = os.path.join(cls.tmp, "state")
        cls.src = os.path.join(cls.tmp, "tree")
        make_tree(cls.src, with_raw_name=True)
        cls.archive = os.path.join(cls.tmp, "made-by-ostrana.zip")
        p = subprocess.run([OSTRANA, "add", "--relative", cls.archive, "."], cwd=cls.src, env=env_in(WRITER_TZ),
                           capture_output=True)
        assert p.returncode == 0, p.stderr.decode(errors="replace")
        cls.add_warnings = p.stderr.decode(errors="replace")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def assert_trees(self, want, got, who, time_slack=0):
        self.assertEqual(sorted(want), sorted(got), who)
        for name in want:
            wk, wd, wm, wt = want[name]
            gk, gd, gm, gt = got[name]
            self.assertEqual((wk, wd, wm), (gk, gd, gm), "%s: %s" % (who, name))
            if wt is not None and gt is not None:
                self.assertLessEqual(abs(wt - gt), time_slack, "%s: time of %s" % (who, name))

    def extract_with(self, tool, archive, tz=READER_TZ):
        out = tempfile.mkdtemp(dir=self.tmp)
        if tool == "ostrana":
            run([OSTRANA, "extract", "-q", archive, out], tz)
        elif tool == "7zz":
            run(["7zz", "x", "-y", "-snl", "-o" + out, archive], tz)
        else:
            run(["bsdtar", "-xf", archive], tz, cwd=out)
        return out

    # ---- archives made by ostrana ----------------------------------------------------

    def test_the_writer_marks_names_modes_and_times_for_every_reader(self):
        self.assertIn("not valid UTF-8", self.add_warnings)
        with zipfile.ZipFile(self.archive) as z:
            infos = {i.orig_filename: i for i in z.infolist()}
            raw = RAW_NAME.decode("cp437")
            self.assertIn(raw, infos, "no flag: Python reads the bytes as CP437")
            self.assertEqual(0, infos[raw].flag_bits & 0x800)
            self.assertEqual(RAW_DATA, z.read(infos[raw]))
            want = expected_tree()
            for name, (kind, data, mode, mtime) in want.items():
                info = infos[name + "/" if kind == "dir" else name]
                self.assertEqual(3, info.create_system, name)
                self.assertEqual(0 if name.isascii() else 0x800, info.flag_bits & 0x800, name)
                self.assertNotIn(0x7075, extra_blocks(info.extra), name)
                unix_mode = info.external_attr >> 16
                kind_bits = {"file": stat.S_IFREG, "dir": stat.S_IFDIR, "link": stat.S_IFLNK}[kind]
                self.assertEqual(kind_bits, stat.S_IFMT(unix_mode), name)
                if kind != "link":
                    self.assertEqual(mode, stat.S_IMODE(unix_mode), name)
                if kind == "file":
                    self.assertEqual(data, z.read(info), name)
                if kind == "link":
                    self.assertEqual(data.encode(), z.read(info), name)
                # The UTC time in the 0x5455 block; the DOS fields in the writer's zone.
                stamp = extra_blocks(info.extra)[0x5455]
                self.assertEqual((1, mtime), struct.unpack("<BI", stamp), name)
                local = local_time(mtime, WRITER_TZ)
                self.assertEqual(local[:5] + (local[5] // 2 * 2,), info.date_time, name)
            self.assertIsNone(z.testzip())

    def test_ostrana_bsdtar_and_7zip_extract_the_tree(self):
        for tool in ["ostrana", "bsdtar", "7zz"]:
            if tool != "ostrana" and not have(tool):
                print("skipped: %s is not installed" % tool)
                continue
            with self.subTest(tool=tool):
                out = self.extract_with(tool, self.archive)
                got = read_tree(out)
                # ostrana reads an unflagged name that is not UTF-8 as CP437;
                # bsdtar and 7-Zip keep its bytes.
                raw = RAW_NAME.decode("cp437") if tool == "ostrana" else RAW_NAME.decode("utf-8", "surrogateescape")
                self.assertEqual(("file", RAW_DATA, 0o644), got.pop(raw)[:3], tool)
                # The folders' own times are the readers' business; their modes and content are not.
                want = {k: v[:3] + (None if v[0] == "dir" else v[3],) for k, v in expected_tree().items()}
                self.assert_trees(want, got, tool)

    def test_java_reads_names_bytes_and_utc_times(self):
        if not have("java"):
            print("skipped: java is not installed (Debian: default-jdk-headless)")
            return
        lines = run(["java", os.path.join(PEERS_DIR, "ZipPeer.java"), "read", self.archive], READER_TZ)
        seen = {}
        for line in lines.splitlines():
            kind, name, size, crc, mtime = line.split("\t")
            seen.setdefault(kind, {})[name] = (int(size), int(crc, 16), int(mtime))
        want = {}
        for name, (kind, data, _mode, mtime) in expected_tree().items():
            body = b"" if kind == "dir" else data.encode() if kind == "link" else data
            want[name + "/" if kind == "dir" else name] = (len(body), zipfile.crc32(body), mtime)
        want[RAW_NAME.decode("cp437")] = (len(RAW_DATA), zipfile.crc32(RAW_DATA), None)
        for kind in ["file", "stream"]:
            self.assertEqual(sorted(want), sorted(seen[kind]), kind)
            for name, (size, crc, mtime) in want.items():
                self.assertEqual((size, crc), seen[kind][name][:2], "%s %s" % (kind, name))
                if mtime is not None:
                    self.assertEqual(mtime, seen[kind][name][2], "%s %s" % (kind, name))
        if have("jar"):
            # jar reads names as UTF-8 only: an archive of the tree without the raw name.
            clean = os.path.join(self.tmp, "utf8-only.zip")
            run([OSTRANA, "add", "-q", "--relative", "-x", "not utf-8*", clean, "."], WRITER_TZ, cwd=self.src)
            listed = run(["jar", "tf", clean], READER_TZ).splitlines()
            self.assertEqual(sorted(n + "/" if v[0] == "dir" else n for n, v in TREE.items()), sorted(listed))

    def test_go_reads_names_modes_and_times(self):
        if not have("go"):
            print("skipped: go is not installed (Debian: golang-go)")
            return
        env = dict(env_in(READER_TZ), GOCACHE=os.path.join(self.tmp, "go-cache"), GOFLAGS="-mod=mod")
        p = subprocess.run(["go", "run", os.path.join(PEERS_DIR, "zippeer.go"), self.archive], env=env,
                           capture_output=True)
        self.assertEqual(0, p.returncode, p.stderr.decode(errors="replace"))
        seen = {}
        for line in p.stdout.decode("utf-8", "surrogateescape").splitlines():
            name, mode, kind, size, crc, mtime = line.split("\t")
            seen[name] = (kind, int(mode, 8), int(size), int(crc, 16), int(mtime))
        want_names = {n + "/" if v[0] == "dir" else n for n, v in expected_tree().items()}
        self.assertEqual(sorted(want_names | {RAW_NAME.decode("utf-8", "surrogateescape")}), sorted(seen))
        for name, (kind, data, mode, mtime) in expected_tree().items():
            key = name + "/" if kind == "dir" else name
            body = b"" if kind == "dir" else data.encode() if kind == "link" else data
            self.assertEqual((kind, len(body), zipfile.crc32(body), mtime), seen[key][:1] + seen[key][2:], name)
            if kind != "link":
                self.assertEqual(mode, seen[key][1], name)

    # ---- archives made by the peers ------------------------------------------------------

    def test_a_7zip_byte_split_archive_reads_as_one(self):
        if not have("7zz"):
            print("skipped: 7zz is not installed")
            return
        src = os.path.join(self.tmp, "split-tree")
        make_tree(src, with_raw_name=False)
        base = os.path.join(self.tmp, "cut", "pieces.zip")
        os.makedirs(os.path.dirname(base))
        run(["7zz", "a", "-tzip", "-snl", "-v600b", base] + sorted(n for n in TREE if "/" not in n), WRITER_TZ, cwd=src)
        self.assertTrue(os.path.exists(base + ".003") and not os.path.exists(base), os.listdir(os.path.dirname(base)))
        self.assertIn("no errors", run([OSTRANA, "test", base + ".001"], READER_TZ))
        want = {k: v[:3] + (None if v[0] == "dir" else v[3],) for k, v in expected_tree().items()}
        self.assert_trees(want, read_tree(self.extract_with("ostrana", base)), "ostrana from the pieces")
        os.rename(base + ".002", base + ".002.away")
        p = subprocess.run([OSTRANA, "list", base], env=env_in(READER_TZ), capture_output=True)
        self.assertNotEqual(0, p.returncode)
        self.assertIn("pieces.zip.002", p.stderr.decode(errors="replace"), "the missing piece is named")

    def test_peer_archives_extract_identically(self):
        src = os.path.join(self.tmp, "peer-tree")
        make_tree(src, with_raw_name=False)
        names = sorted(n for n in TREE if "/" not in n)  # folders stand for their content
        # peer: (writer's time zone, keeps modes, keeps links, how it writes)
        peers = {
            "bsdtar": (WRITER_TZ, True, True, lambda a: run(["bsdtar", "-c", "--format", "zip", "-f", a] + names,
                                                                WRITER_TZ, cwd=src)),
            "7zz": (WRITER_TZ, True, True, lambda a: run(["7zz", "a", "-tzip", "-snl", a] + names, WRITER_TZ, cwd=src)),
            "java": (WRITER_TZ, False, False, lambda a: run(["java", os.path.join(PEERS_DIR, "ZipPeer.java"), "write",
                                                             a, os.path.join(src, "only-files")], WRITER_TZ)),
            # Python stores only the zoneless DOS time: written and read in one zone.
            "python": (READER_TZ, True, True, lambda a: python_zip(a, src, sorted(TREE))),
        }
        make_plain_copy(src, os.path.join(src, "only-files"))
        tools = {"bsdtar": "bsdtar", "7zz": "7zz", "java": "java", "python": None}
        for peer, (tz, modes, links, write) in peers.items():
            if tools[peer] and not have(tools[peer]):
                print("skipped: %s is not installed" % peer)
                continue
            with self.subTest(peer=peer):
                archive = os.path.join(self.tmp, "made-by-%s.zip" % peer)
                write(archive)
                got = read_tree(self.extract_with("ostrana", archive, READER_TZ))
                want = {k: v[:3] + (None if v[0] == "dir" else v[3],) for k, v in expected_tree(modes, links).items()}
                self.assert_trees(want, got, peer, time_slack=1)


def make_plain_copy(src, dest):
    """The tree's files and folders without its links, times kept (for writers that know no links)."""
    for name, (kind, data, mode) in sorted(TREE.items()):
        if kind == "link":
            continue
        path = os.path.join(dest, name)
        if kind == "dir":
            os.makedirs(path, exist_ok=True)
        else:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            shutil.copy2(os.path.join(src, name), path)
    for name in sorted(TREE, key=lambda n: n.count("/"), reverse=True):
        if TREE[name][0] != "link":
            st = os.lstat(os.path.join(src, name))
            os.utime(os.path.join(dest, name), (st.st_mtime, st.st_mtime))


def python_zip(archive, src, names):
    """The tree as Python's zipfile writes it: Unix modes and links set by hand, DOS times."""
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
        for name in names:
            path = os.path.join(src, name)
            st = os.lstat(path)
            info = zipfile.ZipInfo(name + "/" if stat.S_ISDIR(st.st_mode) else name,
                                   local_time(st.st_mtime, READER_TZ))
            info.create_system = 3
            info.external_attr = st.st_mode << 16 | (0x10 if stat.S_ISDIR(st.st_mode) else 0)
            if stat.S_ISLNK(st.st_mode):
                z.writestr(info, os.readlink(path))
            elif stat.S_ISDIR(st.st_mode):
                z.writestr(info, b"")
            else:
                with open(path, "rb") as h:
                    z.writestr(info, h.read())


if __name__ == "__main__":
    unittest.main()
