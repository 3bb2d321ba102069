#!/usr/bin/python3
"""The local AccurateRip database of the tests and the run command: the
entries it serves hold the references' known answers, and the server answers,
and misbehaves, as the lookup's tests expect.

    accuraterip_database_test.py MKDISC
"""

import os
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER = os.path.join(HERE, "accuraterip-server.py")
MKDISC = sys.argv.pop(1) if len(sys.argv) > 1 else None

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, HERE)
import accuraterip_entry as entry  # noqa: E402 (found beside this file)


def reference_signal(n_frames):
    """Frame i: left 7i, right 13i + 1, modulo 65536, 16-bit little-endian."""
    return b"".join(struct.pack("<HH", 7 * i % 65536, (13 * i + 1) % 65536) for i in range(n_frames))


class KnownAnswers(unittest.TestCase):
    def test_disc_ids(self):
        # The audio tracks' starts, the final lead-out, and every track's start (data too) for the CDDB id.
        ten = [0, 12617, 40337, 63075, 93260, 117965, 151715, 184190, 215110, 247305]
        cases = [
            ([0], 279037, [0], "001-000441fd-000883fb-020e8801"),
            ([33, 107483, 178953, 284690], 356290, [33, 107483, 178953, 284690], "004-000e26d9-00380804-3e128e04"),
            ([0], 266899, [0, 90778 + 11400], "001-00041293-00082527-100de602"),
            (ten, 333651, ten + [281585], "010-00164419-00b9f6e2-9e11600b"),
        ]
        for audio, lead_out, starts, expected in cases:
            id1, id2 = entry.disc_ids(audio, lead_out)
            cddb = entry.cddb_id(starts, lead_out)
            self.assertEqual("%03d-%08x-%08x-%08x" % (len(audio), id1, id2, cddb), expected)

    def test_path(self):
        starts = [0, 15537, 31691, 50866, 66466, 81202, 99409, 115920, 133093, 149847, 161560, 177682]
        id1, id2 = entry.disc_ids(starts, 210385)
        cddb = entry.cddb_id(starts + [207106], 210385)
        self.assertEqual(entry.entry_path(12, id1, id2, cddb),
                         "accuraterip/a/5/d/dBAR-012-0013bd5a-00b8d489-c60af50d.bin")

    def test_track_checksums(self):
        pcm = reference_signal(294000)
        for first, last, v1, v2 in [(True, True, 0xf8892d74, 0xe5997b49), (True, False, 0xc688e268, 0xcc309e4c),
                                    (False, False, 0xf8733850, 0xfe348bc7), (False, True, 0x2a73835c, 0x179d68c4)]:
            self.assertEqual(entry.track_checksums(pcm, first, last), (v1, v2, 0x3082a194))
        self.assertEqual(entry.track_checksums(bytes(588 * 4 * 500), False, False), (0, 0, 0))


@unittest.skipUnless(MKDISC, "needs the mkdisc tool")
class EntryOfADisc(unittest.TestCase):
    def test_entry_of_a_made_disc(self):
        with tempfile.TemporaryDirectory() as folder:
            cue = os.path.join(folder, "disc.cue")
            subprocess.run([MKDISC, cue, "--extra", "40", "500", "460"], check=True)
            root = os.path.join(folder, "db")
            out = subprocess.run([sys.executable, os.path.join(HERE, "accuraterip_entry.py"), cue, root,
                                  "--confidence", "9,4", "--change-track", "2"],
                                 check=True, capture_output=True, text=True).stdout.strip()
            n_audio, id1, id2, cddb, sums = entry.disc_checksums(cue)
            self.assertEqual(n_audio, 2)
            self.assertEqual(out, entry.entry_path(n_audio, id1, id2, cddb))
            # The final lead-out: the data session's end, past its 11,400-sector gap.
            self.assertEqual(id1, 0 + 500 + (500 + 460 + 40 + 11400))
            with open(os.path.join(root, out), "rb") as f:
                body = f.read()
            self.assertEqual(len(body), 2 * (13 + 2 * 9))
            chunks = [body[:31], body[31:]]
            for chunk, confidence, which in [(chunks[0], 9, 0), (chunks[1], 4, 1)]:
                self.assertEqual(struct.unpack("<BIII", chunk[:13]), (2, id1, id2, cddb))
                track1 = struct.unpack("<BII", chunk[13:22])
                track2 = struct.unpack("<BII", chunk[22:31])
                self.assertEqual(track1, (confidence, sums[0][which], sums[0][2]))
                self.assertEqual(track2[0], confidence)
                self.assertNotEqual(track2[1], sums[1][which])


class Served(unittest.TestCase):
    def start(self, folder, *options):
        port_file = os.path.join(folder, "port")
        process = subprocess.Popen([sys.executable, SERVER, "--root", folder, "--port-file", port_file,
                                    "--idle-exit", "60", *options], stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: (process.poll() is None and process.kill(), process.wait()))
        deadline = time.monotonic() + 10
        while not os.path.exists(port_file) and time.monotonic() < deadline:
            time.sleep(0.02)
        with open(port_file) as f:
            return process, port_file, int(f.read())

    def folder_with_entry(self):
        folder = tempfile.mkdtemp()
        self.addCleanup(lambda: subprocess.run(["rm", "-rf", folder]))
        path = os.path.join(folder, "accuraterip", "1", "2", "3")
        os.makedirs(path)
        with open(os.path.join(path, "dBAR-001-00000321-00000642-01000001.bin"), "wb") as f:
            f.write(b"\x01" + bytes(21))
        return folder, "/accuraterip/1/2/3/dBAR-001-00000321-00000642-01000001.bin"

    def get(self, port, path, timeout=5):
        return urllib.request.urlopen("http://127.0.0.1:%d%s" % (port, path), timeout=timeout)

    def test_entries_and_missing_ones(self):
        folder, path = self.folder_with_entry()
        process, port_file, port = self.start(folder)
        with self.get(port, path) as answer:
            self.assertEqual(answer.status, 200)
            self.assertEqual(answer.headers["Content-Type"], "application/octet-stream")
            self.assertEqual(answer.read(), b"\x01" + bytes(21))
        for missing in ["/accuraterip/1/2/3/dBAR-001-00000000-00000000-00000000.bin", "/../port",
                        "/accuraterip/../port"]:
            with self.assertRaises(urllib.error.HTTPError) as error:
                self.get(port, missing)
            self.assertEqual(error.exception.code, 404)
        os.remove(port_file)
        self.assertEqual(process.wait(timeout=5), 0)

    def test_misbehaviours(self):
        folder, path = self.folder_with_entry()
        _, _, port = self.start(folder, "--html")
        with self.get(port, path.replace("321", "999")) as answer:
            self.assertEqual(answer.status, 200)
            self.assertEqual(answer.headers["Content-Type"], "text/html")

        folder, path = self.folder_with_entry()
        _, _, port = self.start(folder, "--cut", "5")
        with self.get(port, path) as answer:
            with self.assertRaises(Exception):
                answer.read()  # 5 of the 22 bytes the headers promise

        folder, path = self.folder_with_entry()
        _, _, port = self.start(folder, "--silent")
        with self.assertRaises(Exception):
            self.get(port, path, timeout=1)


if __name__ == "__main__":
    unittest.main()
