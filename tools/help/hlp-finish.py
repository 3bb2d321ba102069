#!/usr/bin/env python3
"""Completes the WinHelp file that halibut writes with the two things a help
project's [MAP] and [WINDOWS] sections would give it:

- the map from context numbers to topics that WinHelp's HELP_CONTEXT command
  looks up (the internal file |CTXOMAP, which halibut leaves empty); the
  numbers and topic names come from a list of lines "number topic-name", and
  each name is found in the file's |CONTEXT tree by its WinHelp hash;
- the viewer's main window, captioned with the help's title (a window record
  in |SYSTEM): without one, a viewer may show its own name instead.

    hlp-finish.py IN.hlp CONTEXTS.txt OUT.hlp

The file layout is the one of the public description of the format
(HELPFILE.TXT): a 16-byte header, internal files that each start with a
9-byte header, and a B+ tree directory of the internal files.
"""
import struct
import sys

HELP_MAGIC = 0x00035F3F
BTREE_MAGIC = 0x293B
FILE_HEADER = struct.Struct("<iiB")  # reserved space, used space, flags


def fail(message):
    sys.exit(f"hlp-finish: {message}")


def context_hash(name):
    """WinHelp's hash of a topic name, a signed 32-bit number."""
    value = 0
    for c in name:
        if c.isascii() and c.isalpha():
            x = ord(c.upper()) - ord("A") + 17
        elif "1" <= c <= "9":
            x = ord(c) - ord("0")
        else:
            x = {"0": 10, ".": 12, "_": 13}.get(c, 0)
        if x:
            value = (value * 43 + x) & 0xFFFFFFFF
    return value - (1 << 32) if value & 0x80000000 else value


def leaf_entries(data, file_offset, read_entry):
    """Every entry of the B+ tree that is the internal file at file_offset,
    in key order; read_entry(data, position) gives (entry, next position)."""
    tree = file_offset + FILE_HEADER.size
    magic, _, page_size = struct.unpack_from("<HHH", data, tree)
    if magic != BTREE_MAGIC:
        fail(f"no B+ tree at offset {file_offset}")
    root, _, _, levels = struct.unpack_from("<hhhh", data, tree + 26)
    pages = tree + 38
    page = root
    for _ in range(levels - 1):  # down the first child of each index page
        page = struct.unpack_from("<h", data, pages + page * page_size + 4)[0]
    while page != -1:
        start = pages + page * page_size
        count, _, next_page = struct.unpack_from("<hhh", data, start + 2)
        position = start + 8
        for _ in range(count):
            entry, position = read_entry(data, position)
            yield entry
        page = next_page


def directory_entry(data, position):
    end = data.index(b"\0", position)
    name = data[position:end].decode("latin-1")
    return (name, end + 1), end + 5


def context_entry(data, position):
    return struct.unpack_from("<ii", data, position), position + 8


def read_contexts(path):
    contexts = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            words = line.split()
            if not words or words[0].startswith("#"):
                continue
            if len(words) != 2 or not words[0].isdigit():
                fail(f"{path}:{number}: expected a context number and a topic name")
            contexts.append((int(words[0]), words[1]))
    return contexts


def main_window_record(system):
    """|SYSTEM with a window record for the main window whose caption is the
    help's title (record 1), when it has none yet."""
    # The header: magic, minor and major version, date, flags; then records
    # of a 16-bit type and size.
    position, title = 12, None
    while position + 4 <= len(system):
        kind, size = struct.unpack_from("<HH", system, position)
        if kind == 1:
            title = bytes(system[position + 4:position + 4 + size]).split(b"\0")[0]
        if kind == 6:
            fail("the file already defines its windows")
        position += 4 + size
    if not title:
        fail("the file has no title")
    # Flags: type, name and caption given; the rest is the viewer's default.
    window = struct.pack("<H10s9s51s5h4s4s", 0x0007, b"primary", b"main", title[:50], 0, 0, 0, 0, 0, b"", b"")
    return system + struct.pack("<HH", 6, len(window)) + window


def replace_file(data, where, name, body):
    """Puts a new body of the internal file `name` at the end of the file and
    points the directory to it; the old body stays behind, unused."""
    offset = len(data)
    data += FILE_HEADER.pack(FILE_HEADER.size + len(body), len(body), 0) + body
    struct.pack_into("<i", data, where[name], offset)
    struct.pack_into("<I", data, 12, len(data))


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    with open(sys.argv[1], "rb") as f:
        data = bytearray(f.read())
    magic, directory, _, size = struct.unpack_from("<IiiI", data, 0)
    if magic != HELP_MAGIC or size != len(data):
        fail(f"{sys.argv[1]} is not a WinHelp file")
    # The directory's entries: the name, and where the 4-byte offset of that
    # internal file sits in the directory.
    where = {name: at for name, at in leaf_entries(data, directory, directory_entry)}
    for name in ("|CONTEXT", "|CTXOMAP", "|SYSTEM"):
        if name not in where:
            fail(f"{sys.argv[1]} has no {name}")
    context = struct.unpack_from("<i", data, where["|CONTEXT"])[0]
    topics = dict(leaf_entries(data, context, context_entry))

    entries = []
    for number, name in read_contexts(sys.argv[2]):
        offset = topics.get(context_hash(name))
        if offset is None:
            fail(f"no topic named {name} in {sys.argv[1]}")
        entries.append(struct.pack("<ii", number, offset))
    replace_file(data, where, "|CTXOMAP", struct.pack("<H", len(entries)) + b"".join(entries))

    system = struct.unpack_from("<i", data, where["|SYSTEM"])[0]
    _, used, _ = FILE_HEADER.unpack_from(data, system)
    body = data[system + FILE_HEADER.size:system + FILE_HEADER.size + used]
    replace_file(data, where, "|SYSTEM", main_window_record(body))
    with open(sys.argv[3], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
