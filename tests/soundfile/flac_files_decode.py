#!/usr/bin/python3
"""Decodes the FLAC files of the sink tests (soundfile_tests, LFlacFile) with
Debian's flac, an independent decoder: each format of the converters decodes
to the samples the WAV sink wrote of the same audio through the same
converters, with their MD5 in STREAMINFO.

    flac_files_decode.py FOLDER
"""
import os
import sys
import wave

import flac_tools

FORMATS = [(44100, 2), (22050, 1), (48000, 2)]


def main(folder):
    failures = []
    for rate, channels in FORMATS:
        name = f"{rate}-{channels}"
        with wave.open(os.path.join(folder, name + ".wav")) as w:
            pcm = w.readframes(w.getnframes())
        failures += flac_tools.check(os.path.join(folder, name + ".flac"), pcm, rate, channels)
        print(f"{name}.flac: {len(pcm) // (2 * channels)} frames checked against {name}.wav")
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
