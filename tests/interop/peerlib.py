"""tests/interop/peerlib.py - what the interop scripts share: running ostrana and
the peer tools, and writing and reading file trees.

Each script of this folder imports it (`from peerlib import ...`); Python finds
it because a script's own folder comes first on its path.
"""
import os
import shutil
import subprocess

OSTRANA = os.environ.get("OSTRANA", "ostrana")
FIXTURES = os.environ.get("OSTRANA_FIXTURES", os.path.join(os.path.dirname(__file__), "..", "data", "fixtures"))
# The peers print and read names in UTF-8 whatever the caller's locale.
PEER_ENV = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8")


def have(tool):
    return shutil.which(tool) is not None


def run(args, cwd=None, check=True, data=None, env=None):
    """Runs a program with the peers' environment (or @p env), capturing its output;
    with @p check, an exit status other than 0 fails the test with both outputs."""
    p = subprocess.run(args, cwd=cwd, env=PEER_ENV if env is None else env, capture_output=True, input=data)
    if check and p.returncode != 0:
        raise AssertionError("%s exited %d:\n%s%s" % (args, p.returncode, p.stdout.decode(errors="replace"),
                                                     p.stderr.decode(errors="replace")))
    return p


def ostrana(*args, stdin=subprocess.DEVNULL, cwd=None, env=None, **kwargs):
    """One ostrana command without a terminal; its status is the caller's to check."""
    return subprocess.run([OSTRANA, *args], capture_output=True, stdin=stdin, cwd=cwd, env=env, check=False,
                          **kwargs)


class Unseekable:
    """A file that can only be written forward, as a pipe is: zipfile then writes
    each entry with a data descriptor."""

    def __init__(self, f):
        self.f = f

    def write(self, b):
        return self.f.write(b)

    def flush(self):
        self.f.flush()


def write_tree(root, files, folders=()):
    """Writes {relative path: bytes} below @p root, and the empty @p folders."""
    for name, data in files.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as h:
            h.write(data)
    for folder in folders:
        os.makedirs(os.path.join(root, folder), exist_ok=True)


def tree_of(root, folders=False):
    """{relative path: bytes} of every file below @p root; with @p folders, every
    folder too, as None."""
    out = {}
    for folder, dirs, files in os.walk(root):
        rel = os.path.relpath(folder, root)
        if folders:
            for d in dirs:
                out[os.path.normpath(os.path.join(rel, d))] = None
        for f in files:
            with open(os.path.join(folder, f), "rb") as h:
                out[os.path.normpath(os.path.join(rel, f))] = h.read()
    return out
