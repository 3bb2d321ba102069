#!/usr/bin/python3
"""Reads back the cue sheets the rip tests wrote (app_tests) with a parser of
its own, and holds them against the disc images they were ripped from, whose
cue sheets mkdisc wrote: every TRACK of the image is on the rip's sheet, each
INDEX 01 at the start of its own file, each INDEX 00 where the image's gap
starts, in the file that holds that sector of the image; each file holds its
stretch of the image bit for bit, the files follow one another without a gap
or an overlap, and the catalog number and the ISRCs are the image's.

    cue_sheets_read_back.py TESTS_DIR

TESTS_DIR holds discs/ and the rip folders: rip-flac-files (the demo disc in
FLAC, a gap before track 3) and rip-hidden-track (hidden-track-one in WAV,
the hidden track ripped, a gap before track 3).
"""
import os
import re
import shlex
import subprocess
import sys
import wave

SECTOR = 2352
RIPS = [("rip-flac-files", "demo"), ("rip-hidden-track", "hidden-track-one")]


def sectors(time):
    """mm:ss:ff, 75 frames a second."""
    m, s, f = (int(part) for part in time.split(":"))
    if not (0 <= s < 60 and 0 <= f < 75):
        raise ValueError(f"bad time {time}")
    return (m * 60 + s) * 75 + f


def parse_cue(path, encoding):
    """The sheet as a dict: catalog, files (names in order), and tracks by
    number, each with its flags, isrc, pregap and indexes {number: (file
    index, sectors into that file)}."""
    sheet = {"catalog": None, "files": [], "tracks": {}}
    track = None
    with open(path, encoding=encoding, newline="") as f:
        text = f.read()
    if text and not text.endswith("\r\n") or "\n" in text.replace("\r\n", ""):
        raise ValueError("lines do not all end in CR LF")
    for number, line in enumerate(text.split("\r\n")[:-1], 1):
        words = shlex.split(line)
        if not words:
            continue
        keyword, args = words[0], words[1:]
        if keyword == "REM":
            continue
        if keyword == "CATALOG" and track is None:
            sheet["catalog"] = args[0]
        elif keyword == "FILE":
            sheet["files"].append(args[0])
        elif keyword == "TRACK":
            track = {"number": int(args[0]), "type": args[1], "flags": [], "isrc": None, "pregap": 0,
                     "indexes": {}}
            if track["number"] in sheet["tracks"]:
                raise ValueError(f"line {number}: track {track['number']} twice")
            sheet["tracks"][track["number"]] = track
        elif keyword in ("TITLE", "PERFORMER", "SONGWRITER"):
            continue
        elif track is None:
            raise ValueError(f"line {number}: {keyword} before any TRACK")
        elif keyword == "FLAGS":
            track["flags"] = args
        elif keyword == "ISRC":
            track["isrc"] = args[0]
        elif keyword == "PREGAP":
            if track["indexes"]:
                raise ValueError(f"line {number}: PREGAP after an INDEX")
            track["pregap"] = sectors(args[0])
        elif keyword == "INDEX":
            if not sheet["files"]:
                raise ValueError(f"line {number}: INDEX before any FILE")
            track["indexes"][int(args[0])] = (len(sheet["files"]) - 1, sectors(args[1]))
        else:
            raise ValueError(f"line {number}: unknown keyword {keyword}")
    return sheet


def file_audio(path):
    """The file's 16-bit little-endian stereo samples: WAV through the wave
    module, FLAC through Debian's flac."""
    if path.lower().endswith(".flac"):
        return subprocess.run(["flac", "-d", "-s", "-c", "--force-raw-format", "--endian=little",
                               "--sign=signed", path], stdout=subprocess.PIPE, check=True).stdout
    with wave.open(path, "rb") as w:
        if (w.getnchannels(), w.getsampwidth(), w.getframerate()) != (2, 2, 44100):
            raise ValueError(f"{path}: not 44100 Hz 16-bit stereo")
        return w.readframes(w.getnframes())


def check(folder, disc_cue):
    failures = []
    image = parse_cue(disc_cue, "latin-1")
    with open(os.path.join(os.path.dirname(disc_cue), image["files"][0]), "rb") as f:
        disc = f.read()
    sheets = [name for name in os.listdir(folder) if name.endswith(".cue")]
    if len(sheets) != 1:
        return [f"{folder}: {len(sheets)} cue sheets, not one: {sorted(os.listdir(folder))}"]
    rip = parse_cue(os.path.join(folder, sheets[0]), "cp1252")
    print(f"{folder}/{sheets[0]}: {len(rip['files'])} files, tracks {sorted(rip['tracks'])}")

    if rip["catalog"] != image["catalog"]:
        failures.append(f"CATALOG {rip['catalog']}, not the image's {image['catalog']}")
    if sorted(rip["tracks"]) != sorted(image["tracks"]):
        failures.append(f"tracks {sorted(rip['tracks'])}, not the image's {sorted(image['tracks'])}")
        return failures

    # Where each of the rip's files starts in the image, from every index it holds.
    starts = {}
    for number, track in sorted(rip["tracks"].items()):
        expected = image["tracks"][number]
        for what in ("isrc", "flags"):
            if track[what] != expected[what]:
                failures.append(f"track {number}: {what} {track[what]}, not the image's {expected[what]}")
        if 1 not in track["indexes"]:
            failures.append(f"track {number}: no INDEX 01")
            continue
        file_index, offset = track["indexes"][1]
        if offset != 0:
            failures.append(f"track {number}: INDEX 01 at {offset} sectors into its file, not at its start")
        for index, (where, into) in track["indexes"].items():
            if index not in expected["indexes"]:
                failures.append(f"track {number}: INDEX {index:02d}, which the image has not")
                continue
            at = expected["indexes"][index][1] - into
            if starts.setdefault(where, at) != at:
                failures.append(f"{rip['files'][where]}: starts at image sector {starts[where]} by one index, "
                                f"{at} by track {number}'s INDEX {index:02d}")
        if 0 in expected["indexes"] and 0 not in track["indexes"]:
            # A gap not in any file is the PREGAP of track 1, and only that.
            gap = expected["indexes"][1][1] - expected["indexes"][0][1]
            if number != 1 or track["pregap"] != gap:
                failures.append(f"track {number}: the image's gap of {gap} sectors is neither an INDEX 00 "
                                f"nor its PREGAP ({track['pregap']})")
        elif 0 in track["indexes"] and track["indexes"][0][0] != file_index - 1:
            failures.append(f"track {number}: INDEX 00 not in the file before its own")

    # Each file holds its stretch of the image, and the files tile it.
    position = None
    for index, name in enumerate(rip["files"]):
        if index not in starts:
            failures.append(f"{name}: no index places it")
            continue
        audio = file_audio(os.path.join(folder, name))
        if len(audio) % SECTOR:
            failures.append(f"{name}: {len(audio)} bytes, not whole sectors")
        first = starts[index]
        if position is not None and first != position:
            failures.append(f"{name}: starts at image sector {first}, the file before it ends at {position}")
        if audio != disc[first * SECTOR:first * SECTOR + len(audio)]:
            failures.append(f"{name}: is not the image from sector {first} on")
        position = first + len(audio) // SECTOR
        print(f"  {name}: image sectors {first} to {position}")
    if position is not None and position * SECTOR != len(disc):
        failures.append(f"the files end at image sector {position}, the image at {len(disc) // SECTOR}")
    return failures


def main(tests):
    failures = []
    for folder, disc in RIPS:
        failures += [f"{folder}: {failure}" for failure in
                     check(os.path.join(tests, folder), os.path.join(tests, "discs", f"{disc}.cue"))]
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
