#!/usr/bin/python3
"""Checks the FLAC files the rip tests wrote of the demo disc (app_tests,
FlacRipTest) with Debian's flac and metaflac, independent of the encoder:
each passes `flac -t`, decodes to its track of the disc image bit for bit,
carries the MD5 of that audio in STREAMINFO, its tags, a seek point every
10 s and 8192 bytes of padding; the first keeps the name as typed.

    rip_flac_files_decode.py FLAC_FOLDER DISCS_FOLDER
"""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "soundfile"))
import flac_tools  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "lib"))
import corvane_audio  # noqa: E402

TITLES = ["Über Straße", "Track 02", "Track 03", "Track 04", "Track 05"]
ARTIST = "Café Müller"
ALBUM = "Straße"


def disc_isrc(cue, track):
    """The ISRC the disc's cue sheet gives the track, as the drive serves it."""
    with open(cue) as f:
        blocks = re.split(r"^\s*TRACK ", f.read(), flags=re.M)[1:]
    for block in blocks:
        if int(block.split()[0]) == track:
            found = re.search(r"^\s*ISRC (\S+)", block, flags=re.M)
            return found.group(1) if found else None
    return None


def main(folder, discs):
    cue = os.path.join(discs, "demo.cue")
    failures = []
    for track, title in enumerate(TITLES, 1):
        name = f"{title}.flac"
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            failures.append(f"{name}: missing (files: {sorted(os.listdir(folder))})")
            continue
        pcm = corvane_audio.track_bytes(cue, track)
        failures += flac_tools.check(path, pcm, 44100, 2)
        tags = flac_tools.tags(path)
        expected = {"TITLE": title, "ARTIST": ARTIST, "ALBUM": ALBUM, "TRACKNUMBER": str(track),
                    "TRACKTOTAL": "5", "DATE": "2026", "GENRE": "Instrumental", "ISRC": disc_isrc(cue, track),
                    "COMMENT": "Corvane 1.32"}
        if tags != expected:
            failures.append(f"{name}: tags {tags}, not {expected}")
        print(f"{name}: {len(pcm) // 4} frames, tags {tags}")
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
