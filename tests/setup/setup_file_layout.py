#!/usr/bin/python3
"""Reads the built setup file back, apart from the program's own code.

    setup_file_layout.py BUILD_DIR

Corvane-Setup.exe must be corvane.exe, corvane.hlp and mp3enc.exe back to
back, then their three sizes, the CRC-32 of the files and the size table
(zlib's), and the install trailer, each a little-endian 32-bit number.
"""
import os
import struct
import sys
import unittest
import zlib

BUILD = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else None
FILES = ["src/corvane.exe", "src/corvane.hlp", "tools/mp3enc/mp3enc.exe"]


def read(path):
    with open(os.path.join(BUILD, path), "rb") as f:
        return f.read()


class SetupFileLayout(unittest.TestCase):
    def test_the_files_their_sizes_checksum_and_trailer(self):
        setup = read("Corvane-Setup.exe")
        files = [read(path) for path in FILES]
        payload = b"".join(files)
        self.assertTrue(all(files), "a built file is empty")
        self.assertEqual(len(payload) + 4 * len(files) + 8, len(setup))
        self.assertEqual(payload, setup[:len(payload)], "the files are not back to back in table order")
        *sizes, checksum, trailer = struct.unpack("<5I", setup[len(payload):])
        self.assertEqual([len(f) for f in files], sizes)
        self.assertEqual(zlib.crc32(payload + setup[len(payload):len(payload) + 4 * len(files)]), checksum)
        self.assertEqual(0x0F0FF0F0, trailer)
        self.assertEqual(b"\xf0\xf0\x0f\x0f", setup[-4:])


if __name__ == "__main__":
    unittest.main()
