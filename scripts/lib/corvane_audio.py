"""Audio files and disc images as the run command and the tests read them.

The tracks of a disc image as its cue sheet places them, the decoders
(Debian's sox for codec WAV files, mpg123 for MP3 files, flac for FLAC files,
which it tests whole first, Python's wave module for PCM), the listing of a folder of ripped files, and the comparison of a
captured playback with its track.

    corvane_audio.py list FOLDER              the WAV, MP3 and FLAC files, with durations
    corvane_audio.py compare CAPTURE CUE N    is CAPTURE track N, then silence only?
"""
import os
import re
import struct
import subprocess
import sys
import tempfile
import wave

SECTOR = 2352
CODECS = {0x11: "IMA ADPCM", 0x07: "mu-law", 0x06: "A-law", 0x31: "GSM 6.10"}


def track_starts(cue_path):
    """The tracks' first sectors, from the cue sheet's INDEX 01 (minutes,
    seconds, frames of 75), in the image file's sectors."""
    with open(cue_path) as cue:
        return [(int(m) * 60 + int(s)) * 75 + int(f)
                for m, s, f in re.findall(r"INDEX 01 (\d+):(\d+):(\d+)", cue.read())]


def image_path(cue_path):
    with open(cue_path) as cue:
        name = re.search(r'FILE "([^"]+)"', cue.read()).group(1)
    return os.path.join(os.path.dirname(cue_path), name)


def track_bytes(cue_path, track):
    """Track `track` (from 1) of the image: 16-bit little-endian stereo, up to
    the next track or the end of the image."""
    starts = track_starts(cue_path)
    with open(image_path(cue_path), "rb") as image:
        disc = image.read()
    end = starts[track] if track < len(starts) else len(disc) // SECTOR
    return disc[starts[track - 1] * SECTOR:end * SECTOR]


def decoded_raw(path):
    """The 16-bit little-endian samples sox decodes from `path`."""
    return subprocess.run(["sox", path, "-t", "raw", "-e", "signed-integer", "-b", "16", "-L", "-"],
                          stdout=subprocess.PIPE, check=True).stdout


def decode_to_wav(path, wav):
    """Decodes an MP3 file (mpg123) or a codec WAV file (sox) into a 16-bit WAV
    file; raises wave.Error when the decoder fails."""
    if path.lower().endswith(".mp3"):
        command = ["mpg123", "-q", "-w", wav, path]
    elif path.lower().endswith(".flac"):
        command = ["flac", "-d", "-s", "-f", "-o", wav, path]
    else:
        command = ["sox", path, "-b", "16", wav]
    if subprocess.run(command, stderr=subprocess.DEVNULL).returncode != 0:
        raise wave.Error(f"{command[0]} could not decode {path}")


def describe(path):
    """One line about a ripped file: its duration and form, and how it was decoded."""
    def decoded(how):
        with tempfile.TemporaryDirectory() as temp:
            wav = os.path.join(temp, "decoded.wav")
            decode_to_wav(path, wav)
            return describe(wav) + " decoded from " + how

    # MP3 files are decoded by mpg123, an independent decoder, and read like the WAV files.
    if path.lower().endswith(".mp3"):
        return decoded("MP3")
    # FLAC files are tested whole (their MD5 included) and decoded by flac.
    if path.lower().endswith(".flac"):
        if subprocess.run(["flac", "-t", "-s", path], stderr=subprocess.DEVNULL).returncode != 0:
            raise wave.Error(f"flac -t failed on {path}")
        return decoded("FLAC, flac -t passed")
    # A program ended by force may leave a file it had not finished: its
    # sizes still say "unknown", or claim more than the file holds.
    with open(path, "rb") as f:
        head = f.read(1024)
    if len(head) < 46 or head[:4] != b"RIFF" or head[12:16] != b"fmt ":
        raise wave.Error
    tag = struct.unpack_from("<H", head, 20)[0]
    data = 20 + struct.unpack_from("<I", head, 16)[0]
    size = struct.unpack_from("<I", head, data + 4)[0] if head[data:data + 4] == b"data" else 0xFFFFFFFF
    if size == 0xFFFFFFFF or data + 8 + size > os.path.getsize(path):
        raise EOFError
    if tag != 1:
        # Codec files are decoded by sox, an independent decoder, and read like the PCM ones.
        return decoded(CODECS.get(tag, f"format 0x{tag:x}"))
    with wave.open(path) as w:
        seconds = w.getnframes() / w.getframerate()
        return (f"{int(seconds // 60)}:{int(seconds % 60):02d}  "
                f"{w.getnchannels()} ch, {w.getframerate()} Hz, {8 * w.getsampwidth()}-bit, {w.getnframes()} frames")


def list_audio(folder):
    """Prints the WAV, MP3 and FLAC files of `folder` with their durations."""
    names = sorted(n for n in os.listdir(folder) if n.lower().endswith((".wav", ".mp3", ".flac"))) if os.path.isdir(folder) else []
    for name in names:
        try:
            print(f"  {name:40s} {describe(os.path.join(folder, name))}")
        except (EOFError, wave.Error):
            print(f"  {name:40s} not a complete {os.path.splitext(name)[1][1:].upper()} file")
    if not names:
        print("  (none)")


def compare_capture(capture, cue_path, track):
    """Whether the captured playback is the track bit for bit, followed by
    silence only; with the line that says so."""
    expected = track_bytes(cue_path, track)
    with open(capture, "rb") as f:
        captured = f.read()
    rest = captured[len(expected):]
    if captured[:len(expected)] == expected and rest.count(0) == len(rest):
        return True, (f"the capture is track {track} of the demo disc bit for bit "
                      f"({len(expected) // 4} frames), then {len(rest) // 4} frames of silence")
    return False, (f"the capture ({len(captured)} bytes) is not track {track} of the demo disc "
                   f"({len(expected)} bytes) followed by silence")


def main(argv):
    if len(argv) == 3 and argv[1] == "list":
        list_audio(argv[2])
        return 0
    if len(argv) == 5 and argv[1] == "compare":
        fine, line = compare_capture(argv[2], argv[3], int(argv[4]))
        print(f"scripts/run: {line}", file=sys.stdout if fine else sys.stderr)
        return 0 if fine else 1
    print("\n".join(__doc__.strip().splitlines()[-2:]), file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
