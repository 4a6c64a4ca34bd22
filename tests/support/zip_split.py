#!/usr/bin/env python3
"""tests/support/zip_split.py - cut a single-volume ZIP archive into a multi-volume set.

Tests need split archives (NAME.z01, NAME.z02, ..., NAME.zip) and spanned
disk sets, and only some peers make them.  This takes an ordinary archive
(no Zip64 records, no data descriptors needed) and lays its bytes out again
over volumes of at most VOLUME_BYTES each, the way a spanning writer does:
the first volume starts with the spanning signature PK\\7\\8, a local header
never straddles two volumes (its item's data may), the central directory runs
on over as many volumes as it needs (a header may straddle), and the end
record sits whole in the last volume.  Every central header gets the disk
number and the volume-relative offset of its local header; the end record
gets this disk's number, the directory's first disk and offset, and the count
of headers that start in the last volume.

    zip_split.py ARCHIVE VOLUME_BYTES PATTERN [LAST]

writes volume n (1-based) to PATTERN with "{n}" replaced by n (a format
such as "{n:02d}" is allowed); the last volume goes to LAST when it is given.  Prints
the number of volumes.
"""
import struct
import sys

SPAN_MARKER = b"PK\x07\x08"


def split(data, volume_bytes):
    """Returns the list of volumes (bytes) of @data cut into @volume_bytes pieces."""
    end = data.rfind(b"PK\x05\x06")
    if end < 0:
        raise ValueError("no end record")
    (_, _, _, _, count, cd_size, cd_offset, comment_len) = struct.unpack_from("<IHHHHIIH", data, end)
    comment = data[end + 22:end + 22 + comment_len]
    headers = []
    at = cd_offset
    for _ in range(count):
        fixed = bytearray(data[at:at + 46])
        if fixed[:4] != b"PK\x01\x02":
            raise ValueError("bad central header")
        n, m, k = struct.unpack_from("<HHH", fixed, 28)
        headers.append([fixed, data[at + 46:at + 46 + n + m + k]])
        at += 46 + n + m + k
    local_offsets = [struct.unpack_from("<I", h[0], 42)[0] for h in headers]

    volumes = [bytearray(SPAN_MARKER)]

    def room():
        return volume_bytes - len(volumes[-1])

    def put(chunk, whole=False):
        if whole and len(chunk) > room():
            volumes.append(bytearray())
        while chunk:
            if room() == 0:
                volumes.append(bytearray())
            take = chunk[:room()]
            volumes[-1] += take
            chunk = chunk[len(take):]

    order = sorted(range(len(headers)), key=lambda i: local_offsets[i])
    for pos, i in enumerate(order):
        start = local_offsets[i]
        stop = local_offsets[order[pos + 1]] if pos + 1 < len(order) else cd_offset
        n, m = struct.unpack_from("<HH", data, start + 26)
        head = data[start:start + 30 + n + m]
        if len(head) > room():
            volumes.append(bytearray())
        disk, offset = len(volumes) - 1, len(volumes[-1])
        struct.pack_into("<H", headers[i][0], 34, disk)
        struct.pack_into("<I", headers[i][0], 42, offset)
        put(head)
        put(data[start + len(head):stop])

    if room() == 0:
        volumes.append(bytearray())
    cd_disk, cd_start = len(volumes) - 1, len(volumes[-1])
    starts = []
    for fixed, rest in headers:
        if room() == 0:
            volumes.append(bytearray())
        starts.append(len(volumes) - 1)
        put(bytes(fixed) + rest)
    record_len = 22 + len(comment)
    if record_len > room():
        volumes.append(bytearray())
    last = len(volumes) - 1
    on_last = sum(1 for s in starts if s == last)
    volumes[-1] += struct.pack("<IHHHHIIH", 0x06054B50, last, cd_disk, on_last, count, cd_size, cd_start,
                               len(comment)) + comment
    return [bytes(v) for v in volumes]


def main(argv):
    if len(argv) not in (4, 5):
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], "rb") as f:
        data = f.read()
    volumes = split(data, int(argv[2]))
    for n, v in enumerate(volumes, start=1):
        name = argv[4] if len(argv) == 5 and n == len(volumes) else argv[3].format(n=n)
        with open(name, "wb") as f:
            f.write(v)
    print(len(volumes))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
