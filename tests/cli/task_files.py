#!/usr/bin/env python3
"""tests/cli/task_files.py - an independent writer of task info files and a reader of results logs.

Written from the file format alone, without the program's code, so the
scheduled-run tests do not check the program against itself.

  task_files.py write PATH [--protected] KEY=VALUE...   lines after the marker, in the order given
  task_files.py write-raw PATH FIRST_LINE KEY=VALUE...  the same with another first line
  task_files.py log LOG_HTML                            checks the document, prints one JSON object:
      {"events": [[time, operation, item], ...], "result": "...", "title": "..."}
"""
import html.parser
import json
import os
import struct
import subprocess
import sys
import zlib

MARKER = "PRJ_TAG = _PARVELL_SECURE_TASK_FILE_INFO_"


def plain(lines):
    out = b""
    for line in lines:
        data = line.encode()
        out += struct.pack("<i", len(data)) + data
    return out


def protected(lines):
    """12-byte header, then AES-128-CBC records chained through the whole file (openssl does the cipher)."""
    rnd = os.urandom(8)
    g1, h, b1, b2 = struct.unpack("<I", rnd[:4])[0], struct.unpack("<H", rnd[4:6])[0], rnd[6], rnd[7]
    key_text = ("%08x" % g1).encode() + b"\0" * 8
    iv8 = ("%02x%04x%02x" % (b1, h, b2)).encode()
    header = struct.pack("<HIIBB", zlib.crc32(iv8) & 0xFFFF, g1, (h << 16) | 0x5A5A, b1, b2)
    padded = []
    for line in lines:
        data = line.encode()
        if len(data) % 16:
            data += b"\0" * (16 - len(data) % 16)
        padded.append(data)
    cipher = subprocess.run(["openssl", "enc", "-aes-128-cbc", "-nopad", "-K", key_text.hex(),
                             "-iv", (iv8 + b"\0" * 8).hex()], input=b"".join(padded),
                            stdout=subprocess.PIPE, check=True).stdout
    out, at = header, 0
    for data in padded:
        out += struct.pack("<i", len(data)) + cipher[at:at + len(data)]
        at += len(data)
    return out


def lines_from(pairs):
    return [k + " = " + v for k, v in (p.split("=", 1) for p in pairs)]


class LogParser(html.parser.HTMLParser):
    """Collects the text of each cell, row by row (the log leaves rows and cells unclosed)."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows, self.in_font, self.in_caption = [], False, False

    def handle_endtag(self, tag):
        if tag == "font":
            self.in_font = False
        elif tag == "caption":
            self.in_caption = False

    def handle_starttag(self, tag, attrs):
        self.in_font = tag == "font" or (self.in_font and tag not in ("tr", "td", "th"))
        self.in_caption = self.in_caption or tag == "caption"
        if tag == "tr":
            self.rows.append([])
        elif tag in ("td", "th") and self.rows:
            self.rows[-1].append("")

    def handle_data(self, data):
        if self.rows and self.rows[-1] and self.in_font and not self.in_caption:
            self.rows[-1][-1] += data


def read_log(path):
    text = open(path, encoding="utf-8").read()
    assert text.startswith("<!DOCTYPE HTML PUBLIC"), "no document type"
    assert text.rstrip().endswith("</HTML>"), "document not ended"
    parser = LogParser()
    parser.feed(text)
    parser.close()
    rows = [r for r in parser.rows if r]
    header = next(i for i, r in enumerate(rows) if r[:1] == ["EVENT Time"])
    end = next(i for i, r in enumerate(rows) if r[:1] == ["End Morvane Processing!"])
    results = [r[0] for r in rows[end:] if r[0] in ("Successful", "Not Totally Successful.")]
    assert len(results) == 1, "no single result line"
    return {"title": rows[0][0], "events": rows[header + 1:end], "result": results[0]}


def main(argv):
    if argv[0] == "log":
        print(json.dumps(read_log(argv[1])))
        return 0
    path = argv[1]
    if argv[0] == "write-raw":
        lines, form = [argv[2]] + lines_from(argv[3:]), plain
    else:
        form = protected if "--protected" in argv else plain
        lines = [MARKER] + lines_from(a for a in argv[2:] if a != "--protected")
    with open(path, "wb") as f:
        f.write(form(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
