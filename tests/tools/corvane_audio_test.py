#!/usr/bin/env python3
"""The run command's audio module (scripts/lib/corvane_audio.py) on a disc
made by mkdisc: a track's bytes as the cue sheet places them, the listing of
ripped files (PCM, a codec file sox wrote, a file left unfinished), and the
comparison of a capture with its track.

usage: corvane_audio_test.py MKDISC"""
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "lib"))
import corvane_audio  # noqa: E402

MKDISC = sys.argv[1] if len(sys.argv) > 1 else "mkdisc"
LENGTHS = [75, 150, 80]  # sectors


class CorvaneAudio(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.TemporaryDirectory()
        cls.folder = cls.temp.name
        subprocess.run([MKDISC, "disc.cue"] + [str(n) for n in LENGTHS], cwd=cls.folder, check=True,
                       stdout=subprocess.DEVNULL)
        cls.cue = os.path.join(cls.folder, "disc.cue")
        with open(os.path.join(cls.folder, "disc.bin"), "rb") as f:
            cls.image = f.read()

    @classmethod
    def tearDownClass(cls):
        cls.temp.cleanup()

    def test_a_track_is_the_image_between_its_index_and_the_next(self):
        first = 0
        for track, length in enumerate(LENGTHS, 1):
            with self.subTest(track=track):
                expected = self.image[first * 2352:(first + length) * 2352]
                self.assertEqual(expected, corvane_audio.track_bytes(self.cue, track))
            first += length

    def test_the_listing_decodes_each_file_and_names_an_unfinished_one(self):
        ripped = os.path.join(self.folder, "ripped")
        os.makedirs(ripped, exist_ok=True)
        track = corvane_audio.track_bytes(self.cue, 2)
        pcm = os.path.join(ripped, "Track 01.wav")
        with wave.open(pcm, "wb") as w:
            w.setnchannels(2)
            w.setsampwidth(2)
            w.setframerate(44100)
            w.writeframes(track)
        # A codec file as the program writes one: "fmt " then "data" (sox's
        # own has a "fact" chunk between them, which is left out).
        coded = os.path.join(self.folder, "coded.wav")
        subprocess.run(["sox", pcm, "-e", "ima-adpcm", coded], check=True)
        with open(coded, "rb") as f:
            riff = f.read()
        chunks, at = {}, 12
        while at + 8 <= len(riff):
            size = struct.unpack_from("<I", riff, at + 4)[0]
            chunks[riff[at:at + 4]] = riff[at:at + 8 + size + (size & 1)]
            at += 8 + size + (size & 1)
        body = b"WAVE" + chunks[b"fmt "] + chunks[b"data"]
        with open(os.path.join(ripped, "Track 02.wav"), "wb") as f:
            f.write(b"RIFF" + struct.pack("<I", len(body)) + body)
        # Cut short: the header claims more data than the file holds.
        with open(pcm, "rb") as f:
            whole = f.read()
        with open(os.path.join(ripped, "Track 03.wav"), "wb") as f:
            f.write(whole[:len(whole) // 2])
        result = subprocess.run([sys.executable, corvane_audio.__file__, "list", ripped], capture_output=True,
                                text=True, check=True)
        lines = result.stdout.splitlines()
        self.assertEqual(3, len(lines), result.stdout)
        frames = len(track) // 4
        self.assertIn(f"0:02  2 ch, 44100 Hz, 16-bit, {frames} frames", lines[0])
        self.assertIn("decoded from IMA ADPCM", lines[1])
        self.assertIn("Track 03.wav", lines[2])
        self.assertIn("not a complete WAV file", lines[2])

    def test_a_capture_is_its_track_then_silence_or_it_is_not(self):
        track = corvane_audio.track_bytes(self.cue, 3)
        cases = [
            ("exact, then silence", track + bytes(4 * 100), True),
            ("exact, nothing after", track, True),
            ("one byte changed", track[:1000] + bytes([track[1000] ^ 1]) + track[1001:], False),
            ("noise after", track + b"\x01\x00\x00\x00", False),
            ("cut short", track[:-4], False),
        ]
        for name, captured, fine in cases:
            with self.subTest(name):
                capture = os.path.join(self.folder, "capture.raw")
                with open(capture, "wb") as f:
                    f.write(captured)
                result = subprocess.run([sys.executable, corvane_audio.__file__, "compare", capture, self.cue, "3"],
                                        capture_output=True, text=True)
                self.assertEqual(0 if fine else 1, result.returncode, result.stdout + result.stderr)
                if fine:
                    self.assertIn("bit for bit", result.stdout)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
