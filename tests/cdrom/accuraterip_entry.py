#!/usr/bin/python3
"""Database entries for the local AccurateRip server, computed from a disc
image on their own: the ids and the checksums follow the published formulas,
not the program's code, so that the two check each other.

    accuraterip_entry.py DISC.cue ROOT [--confidence V1,V2] [--change-track N]

writes ROOT/accuraterip/a/b/c/dBAR-NNN-id1-id2-cddb.bin for the disc of the
cue sheet (as tools/mkdisc writes them, and as the virtual drive serves them)
with two chunks: the tracks' v1 checksums at the first confidence, then their
v2 checksums at the second (default 5,3). --change-track N (from 1 among the
audio tracks) stores other checksums for that track, as if every other rip
of it differed. Prints the entry's path below ROOT.
"""

import argparse
import os
import re
import struct
import sys

SECTOR_BYTES = 2352
FRAMES_PER_SECTOR = 588
SESSION_GAP_SECTORS = 11400  # a later session's lead-out, lead-in and pregap
EDGE_FRAMES = 5 * FRAMES_PER_SECTOR - 1


class Track:
    def __init__(self, number, audio, start):
        self.number = number
        self.audio = audio
        self.start = start  # on the disc
        self.file_start = None  # in the image file


def read_cue(path):
    """The tracks of a cue sheet and the disc's final lead-out, in sectors."""
    folder = os.path.dirname(os.path.abspath(path))
    image = None
    tracks = []
    shift = 0  # sectors on the disc that the file does not hold
    with open(path, encoding="latin-1") as cue:
        for line in cue:
            words = line.split()
            if not words:
                continue
            if words[0] == "FILE":
                image = os.path.join(folder, re.match(r'\s*FILE\s+"([^"]+)"', line).group(1))
            elif words[0] == "REM" and len(words) >= 2 and words[1] == "SESSION" and words[2] != "01":
                shift += SESSION_GAP_SECTORS
            elif words[0] == "TRACK":
                tracks.append(Track(int(words[1]), words[2] == "AUDIO", None))
            elif words[0] == "PREGAP":
                shift += msf_sectors(words[1])
            elif words[0] == "INDEX" and words[1] == "01":
                tracks[-1].file_start = msf_sectors(words[2])
                tracks[-1].start = tracks[-1].file_start + shift
    image_sectors = os.path.getsize(image) // SECTOR_BYTES
    return image, tracks, image_sectors + shift


def msf_sectors(text):
    minutes, seconds, frames = (int(part) for part in text.split(":"))
    return (minutes * 60 + seconds) * 75 + frames


def cddb_id(starts, lead_out):
    """The CDDB disc id over every track; addresses count from the lead-in."""
    def digit_sum(n):
        return sum(int(d) for d in str(n))
    total = sum(digit_sum((start + 150) // 75) for start in starts)
    seconds = (lead_out + 150) // 75 - (starts[0] + 150) // 75
    return (total % 255) << 24 | seconds << 8 | len(starts)


def disc_ids(audio_starts, lead_out):
    """id1 and id2 over the audio tracks (numbered from 1) and the final lead-out."""
    id1 = sum(audio_starts) + lead_out
    id2 = sum(max(start, 1) * k for k, start in enumerate(audio_starts, 1)) + lead_out * (len(audio_starts) + 1)
    return id1 & 0xFFFFFFFF, id2 & 0xFFFFFFFF


def entry_path(n_audio, id1, id2, cddb):
    return "accuraterip/%x/%x/%x/dBAR-%03d-%08x-%08x-%08x.bin" % (
        id1 & 0xF, id1 >> 4 & 0xF, id1 >> 8 & 0xF, n_audio, id1, id2, cddb)


def track_checksums(pcm, first, last):
    """v1, v2 and the frame-450 checksum of a track's 16-bit stereo PCM."""
    n = len(pcm) // 4
    frames = struct.unpack("<%dI" % n, pcm[:n * 4])  # (right << 16) | left
    start = EDGE_FRAMES + 1 if first else 1
    end = n - EDGE_FRAMES - 1 if last else n
    v1 = v2 = 0
    for m in range(start, end + 1):
        product = m * frames[m - 1]
        v1 += product & 0xFFFFFFFF
        v2 += (product & 0xFFFFFFFF) + (product >> 32)
    f450 = 0
    base = 450 * FRAMES_PER_SECTOR
    if n >= base + FRAMES_PER_SECTOR:
        f450 = sum(j * frames[base + j - 1] for j in range(1, FRAMES_PER_SECTOR + 1))
    return v1 & 0xFFFFFFFF, v2 & 0xFFFFFFFF, f450 & 0xFFFFFFFF


def chunk(n_audio, id1, id2, cddb, entries):
    body = struct.pack("<BIII", n_audio, id1, id2, cddb)
    for confidence, crc, f450 in entries:
        body += struct.pack("<BII", confidence, crc, f450)
    return body


def disc_checksums(cue_path):
    """The disc's ids and each audio track's checksums, from its image."""
    image, tracks, lead_out = read_cue(cue_path)
    audio = [t for t in tracks if t.audio]
    ends = {}
    for i, t in enumerate(tracks):
        # An audio track ends where the next track of the file begins, or where the file does.
        ends[t.number] = tracks[i + 1].file_start if i + 1 < len(tracks) else os.path.getsize(image) // SECTOR_BYTES
    sums = []
    with open(image, "rb") as f:
        for k, t in enumerate(audio):
            f.seek(t.file_start * SECTOR_BYTES)
            pcm = f.read((ends[t.number] - t.file_start) * SECTOR_BYTES)
            sums.append(track_checksums(pcm, k == 0, k == len(audio) - 1))
    id1, id2 = disc_ids([t.start for t in audio], lead_out)
    cddb = cddb_id([t.start for t in tracks], lead_out)
    return len(audio), id1, id2, cddb, sums


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("cue")
    parser.add_argument("root")
    parser.add_argument("--confidence", default="5,3")
    parser.add_argument("--change-track", type=int, default=0)
    args = parser.parse_args()
    c1, c2 = (int(c) for c in args.confidence.split(","))
    n_audio, id1, id2, cddb, sums = disc_checksums(args.cue)
    v1_entries = [(c1, v1, f450) for v1, _, f450 in sums]
    v2_entries = [(c2, v2, f450) for _, v2, f450 in sums]
    if 1 <= args.change_track <= n_audio:
        k = args.change_track - 1
        v1_entries[k] = (c1, v1_entries[k][1] ^ 0x5A5A5A5A, v1_entries[k][2])
        v2_entries[k] = (c2, v2_entries[k][1] ^ 0xA5A5A5A5, v2_entries[k][2])
    path = entry_path(n_audio, id1, id2, cddb)
    target = os.path.join(args.root, path)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(target + ".tmp", "wb") as out:
        out.write(chunk(n_audio, id1, id2, cddb, v1_entries))
        out.write(chunk(n_audio, id1, id2, cddb, v2_entries))
    os.replace(target + ".tmp", target)
    print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
