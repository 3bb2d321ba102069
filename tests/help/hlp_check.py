#!/usr/bin/env python3
"""Reads the built corvane.hlp by its internal directory, as a help viewer
would, without the compiler or the build's own tools: the help's title and
the caption of the viewer's main window, every topic title of the help
source, and the context number the Settings dialog opens, which must lead to
the Settings topic.

    hlp_check.py CORVANE.hlp CORVANE.but

The layout is the public one of WinHelp files (HELPFILE.TXT): a header
pointing to a B+ tree that names the internal files; |SYSTEM holds the title
and the windows, |TTLBTREE the topic titles by topic offset, |CTXOMAP context
numbers with topic offsets.
"""
import struct
import sys
import unittest

SETTINGS_CONTEXT = 101


class HelpFile:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        magic, directory, _, size = struct.unpack_from("<IiiI", self.data, 0)
        if magic != 0x00035F3F or size != len(self.data):
            raise ValueError(f"{path}: not a WinHelp file of its stated size")
        self.files = {}
        for entry in self._leaf_entries(directory, self._text_then(4)):
            end = self.data.index(b"\0", entry)
            self.files[self.data[entry:end].decode("latin-1")] = struct.unpack_from("<i", self.data, end + 1)[0]

    def _text_then(self, size):
        """The length of an entry that is a zero-ended text, then size bytes."""
        return lambda entry: self.data.index(b"\0", entry) + 1 + size - entry

    def _body(self, name):
        """Where the bytes of an internal file begin and end, after its
        9-byte header."""
        start = self.files[name]
        _, used, _ = struct.unpack_from("<iiB", self.data, start)
        return start + 9, start + 9 + used

    def _leaf_entries(self, file_start, entry_length):
        """Where each leaf entry of the B+ tree at file_start begins, in key
        order; entry_length(start) tells how long an entry is."""
        tree = file_start + 9
        magic, _, page_size = struct.unpack_from("<HHH", self.data, tree)
        if magic != 0x293B:
            raise ValueError(f"no B+ tree at {file_start}")
        root, _, _, levels = struct.unpack_from("<hhhh", self.data, tree + 26)
        page = root
        for _ in range(levels - 1):  # an index page's first child comes first
            page = struct.unpack_from("<h", self.data, tree + 38 + page * page_size + 4)[0]
        while page != -1:
            header = tree + 38 + page * page_size
            _, entries, _, page = struct.unpack_from("<Hhhh", self.data, header)
            entry = header + 8
            for _ in range(entries):
                yield entry
                entry += entry_length(entry)

    def _system_records(self):
        """(type, data) of the records of |SYSTEM."""
        start, end = self._body("|SYSTEM")
        position = start + 12  # magic, versions, date, flags
        while position < end:
            kind, size = struct.unpack_from("<HH", self.data, position)
            yield kind, self.data[position + 4:position + 4 + size]
            position += 4 + size

    def title(self):
        titles = [data.rstrip(b"\0").decode("latin-1") for kind, data in self._system_records() if kind == 1]
        return titles[0] if titles else None

    def window_captions(self):
        """Window name to caption, of the windows the file defines (records
        of 90 bytes: flags, type, name, caption, ...)."""
        captions = {}
        for kind, data in self._system_records():
            if kind == 6:
                _, _, name, caption = struct.unpack_from("<H10s9s51s", data)
                captions[name.split(b"\0")[0].decode("latin-1")] = caption.split(b"\0")[0].decode("latin-1")
        return captions

    def topic_titles(self):
        """Topic offset to title."""
        titles = {}
        for entry in self._leaf_entries(self.files["|TTLBTREE"],
                                         lambda entry: self.data.index(b"\0", entry + 4) + 1 - entry):
            end = self.data.index(b"\0", entry + 4)
            titles[struct.unpack_from("<i", self.data, entry)[0]] = self.data[entry + 4:end].decode("latin-1")
        return titles

    def context_map(self):
        """Context number to topic offset."""
        start, _ = self._body("|CTXOMAP")
        count = struct.unpack_from("<H", self.data, start)[0]
        return dict(struct.unpack_from("<ii", self.data, start + 2 + 8 * i) for i in range(count))


def source_titles(path):
    """The help's title and every topic title, as the source writes them."""
    title, topics = None, []
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("\\title "):
                title = line[len("\\title "):].strip()
            elif line.startswith("\\U "):
                topics.append(line[len("\\U "):].strip())
    return title, topics


class CompiledHelp(unittest.TestCase):
    def setUp(self):
        self.help = HelpFile(HELP_PATH)
        self.title, self.topics = source_titles(SOURCE_PATH)

    def test_the_help_carries_its_title(self):
        self.assertEqual("Corvane Help", self.title)
        self.assertEqual(self.title, self.help.title())

    def test_the_viewer_s_main_window_shows_the_title(self):
        self.assertEqual({"main": "Corvane Help"}, self.help.window_captions())

    def test_every_topic_of_the_source_is_a_topic_of_the_file(self):
        self.assertIn("Settings", self.topics)
        self.assertIn("Troubleshooting", self.topics)
        titles = list(self.help.topic_titles().values())
        for topic in self.topics:
            self.assertIn(topic, titles)
        # The first page, the contents, lists them.
        self.assertEqual("Contents", self.help.topic_titles()[0])

    def test_the_settings_context_leads_to_the_settings_topic(self):
        offsets = self.help.context_map()
        self.assertIn(SETTINGS_CONTEXT, offsets)
        self.assertEqual("Settings", self.help.topic_titles()[offsets[SETTINGS_CONTEXT]])


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    HELP_PATH, SOURCE_PATH = sys.argv[1:3]
    unittest.main(argv=sys.argv[:1], verbosity=2)
