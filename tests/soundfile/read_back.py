#!/usr/bin/python3
"""Reads the WAV files the sink tests wrote with Python's own wave module, an
independent reader, and checks their formats and lengths."""
import os
import sys
import wave

folder = sys.argv[1]
expected = {
    "stereo-16.wav": (2, 2, 44100, 44100),
    "mono-8.wav": (1, 1, 11025, 6),
    "seek.wav": (2, 2, 44100, 110),
}
failures = 0
for name, (channels, width, rate, frames) in expected.items():
    with wave.open(os.path.join(folder, name)) as w:
        got = (w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes())
        data = w.readframes(w.getnframes())
    if got != (channels, width, rate, frames) or len(data) != frames * channels * width:
        print(f"{name}: read {got}, {len(data)} bytes; expected {(channels, width, rate, frames)}")
        failures += 1
    else:
        print(f"{name}: {channels} ch, {8 * width}-bit, {rate} Hz, {frames} frames")
sys.exit(1 if failures else 0)
