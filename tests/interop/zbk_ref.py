#!/usr/bin/env python3
"""A second, independent reader and writer of ZBK archives, kept small and
plain on purpose: the interoperability test checks zbk against it.

Layout: b"ZBK", then chunks. A chunk is a 4-byte entry count, b"FILES", the
entry records (2-byte name length, UTF-8 name, 4-byte size), b"CDATA", the
4-byte compressed size, the 4-byte total size and one bzip2 stream (block
size 9) holding the chunk's files back to back. Numbers are little-endian.
A name ending with '/' (or '\\') is a folder entry of size 0.

    zbk_ref.py create ARCHIVE [-C DIR] [--files-per-chunk N] [--backslash] PATH...
    zbk_ref.py list ARCHIVE
    zbk_ref.py extract ARCHIVE [-C DIR]
"""

import bz2
import os
import struct
import sys

LIMIT = 0x7FFFFFFF


class Damaged(Exception):
    pass


def gather(folder, path, entries):
    """(name, source) pairs for path below folder: folders as 'name/'."""
    name = "/".join(part for part in path.replace("\\", "/").split("/") if part not in ("", "."))
    source = os.path.join(folder, path) if folder else path
    if not name:
        source = folder or "."
    if os.path.isdir(source):
        if name:
            entries.append((name + "/", None))
        for top, dirs, files in os.walk(source):
            rel = os.path.relpath(top, source)
            prefix = "" if rel == "." else rel.replace(os.sep, "/") + "/"
            if name:
                prefix = name + "/" + prefix
            # Links to folders are not entered (no loops); links to files
            # count as the files they point to.
            dirs[:] = [d for d in dirs if not os.path.islink(os.path.join(top, d))]
            for d in dirs:
                entries.append((prefix + d + "/", None))
            for f in files:
                full = os.path.join(top, f)
                if os.path.isfile(full):
                    entries.append((prefix + f, full))
    elif os.path.isfile(source):
        entries.append((name, source))
    else:
        raise SystemExit("zbk_ref: %s: no such file or folder" % source)


def write_chunk(out, entries, backslash):
    table = bytearray()
    compressor = bz2.BZ2Compressor(9)
    payload = bytearray()
    total = 0
    for name, source in entries:
        stored = name.replace("/", "\\") if backslash else name
        raw = stored.encode("utf-8")
        size = 0
        if source is not None:
            with open(source, "rb") as f:
                while True:
                    block = f.read(1 << 17)
                    if not block:
                        break
                    size += len(block)
                    payload += compressor.compress(block)
        table += struct.pack("<H", len(raw)) + raw + struct.pack("<I", size)
        total += size
    payload += compressor.flush()
    out.write(struct.pack("<I", len(entries)) + b"FILES" + bytes(table))
    out.write(b"CDATA" + struct.pack("<II", len(payload), total) + bytes(payload))


def create(archive, folder, paths, per_chunk, backslash):
    entries = []
    for path in paths:
        gather(folder, path, entries)
    unique = {}
    for name, source in entries:
        unique.setdefault(name, source)
    ordered = sorted(unique.items(), key=lambda item: item[0].encode("utf-8"))
    with open(archive, "wb") as out:
        out.write(b"ZBK")
        step = per_chunk if per_chunk > 0 else max(len(ordered), 1)
        for start in range(0, len(ordered), step):
            write_chunk(out, ordered[start:start + step], backslash)


def read_chunks(data):
    """Chunk tables: (records [(name, size)], payload start, P, T)."""
    chunks = []
    if data[:3] != b"ZBK":
        return chunks
    pos = 3

    def take(width):
        nonlocal pos
        if pos + width > len(data):
            raise Damaged("table runs past the end of the file")
        value = data[pos:pos + width]
        pos += width
        return value

    while pos < len(data) - 1:
        count = struct.unpack("<I", take(4))[0]
        if count > LIMIT:
            raise Damaged("impossible entry count")
        take(5)
        records = []
        for _ in range(count):
            length = struct.unpack("<H", take(2))[0]
            name = take(length).decode("utf-8").replace("\\", "/")
            size = struct.unpack("<I", take(4))[0]
            if size > LIMIT:
                raise Damaged("impossible size")
            records.append((name, size))
        take(5)
        packed, total = struct.unpack("<II", take(8))
        if packed > LIMIT or total > LIMIT or pos + packed > len(data):
            raise Damaged("payload runs past the end of the file")
        chunks.append((records, pos, packed, total))
        pos += packed
    return chunks


def listing(archive):
    with open(archive, "rb") as f:
        data = f.read()
    lines = []
    seen = set()
    for number, (records, _, _, _) in enumerate(read_chunks(data), 1):
        for name, size in records:
            if name not in seen:
                seen.add(name)
                lines.append("%12d %5d  %s" % (size, number, name))
    return lines


def extract(archive, folder):
    with open(archive, "rb") as f:
        data = f.read()
    for records, start, packed, total in read_chunks(data):
        content = bz2.decompress(data[start:start + packed]) if packed else b""
        if len(content) != total or sum(size for _, size in records) != total:
            raise Damaged("payload does not match its table")
        offset = 0
        for name, size in records:
            parts = name.split("/")
            if name.startswith("/") or ".." in parts or ":" in name:
                raise Damaged("unsafe name %r" % name)
            target = os.path.join(folder, *[p for p in parts if p])
            if name.endswith("/"):
                os.makedirs(target, exist_ok=True)
                continue
            os.makedirs(os.path.dirname(target) or ".", exist_ok=True)
            with open(target, "wb") as out:
                out.write(content[offset:offset + size])
            offset += size


def main(argv):
    if len(argv) < 2:
        raise SystemExit(__doc__)
    command, archive, rest = argv[0], argv[1], argv[2:]
    folder, per_chunk, backslash, paths = "", 0, False, []
    i = 0
    while i < len(rest):
        if rest[i] == "-C":
            folder = rest[i + 1]
            i += 2
        elif rest[i] == "--files-per-chunk":
            per_chunk = int(rest[i + 1])
            i += 2
        elif rest[i] == "--backslash":
            backslash = True
            i += 1
        else:
            paths.append(rest[i])
            i += 1
    try:
        if command == "create":
            create(archive, folder, paths, per_chunk, backslash)
        elif command == "list":
            sys.stdout.buffer.write("".join(line + "\n" for line in listing(archive)).encode("utf-8"))
        elif command == "extract":
            extract(archive, folder or ".")
        else:
            raise SystemExit(__doc__)
    except Damaged as problem:
        raise SystemExit("zbk_ref: %s: %s" % (archive, problem))


if __name__ == "__main__":
    main(sys.argv[1:])
