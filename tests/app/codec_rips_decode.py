#!/usr/bin/python3
"""Decodes the codec WAV files the rip tests wrote (app_tests,
RipCommandTest.CodecFormatsAreWrittenThroughTheCompressionManager) with sox,
an independent decoder, and measures each against the demo disc's third
tune: its length, and its signal-to-noise ratio against a floor per codec.

    codec_rips_decode.py TESTS_DIR

TESTS_DIR holds codec-rips/ and discs/demo.cue with its image.
"""
import array
import math
import os
import re
import subprocess
import sys

TRACK = 3
# name: channels, frames in a codec block, lowest signal-to-noise ratio in dB.
# Measured on the tune: IMA ADPCM 46.4, mu-law 37.3, A-law 37.5, GSM 6.10
# (mono, at 44100 Hz, beyond the rate it was made for) 15.0.
CODECS = {
    "ima-adpcm": (2, 2041, 43.0),
    "mu-law": (2, 1, 35.0),
    "a-law": (2, 1, 35.0),
    "gsm610": (1, 320, 12.0),
}


def track_samples(tests):
    """The track's 16-bit stereo samples, from the image as the cue sheet places it."""
    with open(os.path.join(tests, "discs", "demo.cue")) as cue:
        starts = [(int(m) * 60 + int(s)) * 75 + int(f)
                  for m, s, f in re.findall(r"INDEX 01 (\d+):(\d+):(\d+)", cue.read())]
    with open(os.path.join(tests, "discs", "demo.bin"), "rb") as image:
        image.seek(starts[TRACK - 1] * 2352)
        return array.array("h", image.read((starts[TRACK] - starts[TRACK - 1]) * 2352))


def decoded(path):
    raw = subprocess.run(["sox", path, "-t", "raw", "-e", "signed-integer", "-b", "16", "-L", "-"],
                         stdout=subprocess.PIPE, check=True).stdout
    return array.array("h", raw)


def main(tests):
    stereo = track_samples(tests)
    frames = len(stereo) // 2
    # What the rip feeds a mono file: the mean of the channels, rounded.
    mono = array.array("h", ((stereo[2 * i] + stereo[2 * i + 1] + 1) >> 1 for i in range(frames)))
    failures = 0
    for name, (channels, block, floor) in CODECS.items():
        samples = decoded(os.path.join(tests, "codec-rips", name + ".wav"))
        reference = stereo if channels == 2 else mono
        got = len(samples) // channels
        signal = noise = 0
        for i in range(min(len(samples), len(reference))):
            signal += reference[i] * reference[i]
            noise += (samples[i] - reference[i]) ** 2
        snr = 10 * math.log10(signal / noise) if noise else math.inf
        fine = frames <= got < frames + block and snr >= floor
        failures += not fine
        print(f"{name}: {got} frames for the track's {frames} (blocks of {block}), "
              f"signal-to-noise {snr:.1f} dB, floor {floor} dB{'' if fine else '  FAILED'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
