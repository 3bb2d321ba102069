"""Debian's flac and metaflac on a FLAC file the program wrote: the checks
every such file must pass, shared by the sink's and the rip's tests."""
import hashlib
import re
import subprocess

SEEK_SPACING_SECONDS = 10
PADDING = 8192


def run(*command):
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)


def tags(path):
    out = run("metaflac", "--export-tags-to=-", path).stdout.decode("utf-8")
    return dict(line.split("=", 1) for line in out.splitlines() if "=" in line)


def check(path, pcm, rate, channels):
    """The failures of `path` against `pcm`, 16-bit little-endian interleaved
    samples at `rate` and `channels`; empty when it passes."""
    failures = []
    tested = run("flac", "-t", "-s", path)
    if tested.returncode != 0:
        failures.append(f"{path}: flac -t failed: {tested.stderr.decode(errors='replace').strip()}")
    decoded = run("flac", "-d", "-s", "-c", "--force-raw-format", "--endian=little", "--sign=signed", path).stdout
    if decoded != pcm:
        failures.append(f"{path}: decodes to {len(decoded)} bytes that are not the {len(pcm)} expected")
    md5 = run("metaflac", "--show-md5sum", path).stdout.decode().strip()
    if md5 != hashlib.md5(pcm).hexdigest():
        failures.append(f"{path}: STREAMINFO MD5 {md5}, not the audio's {hashlib.md5(pcm).hexdigest()}")
    info = [run("metaflac", f"--show-{what}", path).stdout.decode().strip()
            for what in ("sample-rate", "channels", "bps")]
    if info != [str(rate), str(channels), "16"]:
        failures.append(f"{path}: {info}, not {rate} Hz, {channels} channels, 16 bits")
    listing = run("metaflac", "--list", path).stdout.decode()
    # Each point is the FLAC frame that holds its 10-second mark.
    points = [(int(n), int(size)) for n, size in
              re.findall(r"point \d+: sample_number=(\d+), stream_offset=\d+, frame_samples=(\d+)", listing)]
    frames = len(pcm) // (2 * channels)
    marks = list(range(0, frames - rate // 10, SEEK_SPACING_SECONDS * rate))
    if len(points) != len(marks) or any(not first <= mark < first + size
                                        for (first, size), mark in zip(points, marks)):
        failures.append(f"{path}: seek points {points}, not the frames holding {marks}")
    padding = re.findall(r"type: 1 \(PADDING\)\s+is last: \w+\s+length: (\d+)", listing)
    if padding != [str(PADDING)]:
        failures.append(f"{path}: padding {padding}, not one block of {PADDING} bytes")
    return failures
