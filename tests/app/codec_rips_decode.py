#!/usr/bin/python3
"""Decodes the codec WAV files the rip tests wrote (app_tests,
RipCommandTest.CodecFormatsAreWrittenThroughTheCompressionManager) with sox,
an independent decoder, and measures each against the demo disc's third
tune: its length, and its signal-to-noise ratio against a floor per codec.

    codec_rips_decode.py TESTS_DIR [--64-bit]

TESTS_DIR holds codec-rips/ and discs/demo.cue with its image. The 64-bit
build writes no GSM 6.10 file: Wine's 64-bit compression manager makes none.
"""
import array
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "lib"))
import corvane_audio  # noqa: E402

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
    return array.array("h", corvane_audio.track_bytes(os.path.join(tests, "discs", "demo.cue"), TRACK))


def decoded(path):
    return array.array("h", corvane_audio.decoded_raw(path))


def main(tests, sixty_four_bit):
    if sixty_four_bit:
        del CODECS["gsm610"]
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
    sys.exit(main(sys.argv[1], "--64-bit" in sys.argv[2:]))
