#!/usr/bin/python3
"""Checks the MP3 files that mp3enc_tests wrote with independent readers: the
frame headers and the LAME tag parsed here, the audio decoded by mpg123 and
measured against the samples each file was meant to hold (length, pitch and
signal-to-noise ratio), and the ID3 tags read by mutagen and parsed here."""
import math
import os
import struct
import subprocess
import sys
import tempfile
import wave

import mutagen.id3

MPEG1, MPEG2 = 3, 2  # the version bits of a frame header
STEREO, JOINT, MONO = 0, 1, 3  # its channel-mode bits
FORCED_JOINT = 4  # joint stereo with mid/side in every frame
BIT_RATES = {MPEG1: [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320],
             MPEG2: [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160]}
SAMPLE_RATES = {MPEG1: [44100, 48000, 32000], MPEG2: [22050, 24000, 16000]}
# Without a LAME tag a decoder trims nothing: the audio comes after the
# encoder's delay (576 samples) and the decoder's own (529).
UNTAGGED_DELAY = 576 + 529

# name: (version, mode, CRC, bit rates, tone frequencies, floor of the SNR at matched level in dB)
EXPECTED = {
    "cbr128-stereo": (MPEG1, STEREO, False, (128, 128), [440, 660], 60),
    "vbr4-joint": (MPEG1, JOINT, False, (32, 128), [440, 660], 35),
    "cbr16-mono-22050": (MPEG2, MONO, False, (16, 16), [440], 45),
    "tags": (MPEG1, FORCED_JOINT, True, (192, 192), [440, 660], 60),
    # Big-endian samples sent as little-endian ones: the SNR must collapse.
    "cbr128-fed-big-endian": (MPEG1, STEREO, False, (128, 128), None, None),
}
TAGS = {"TIT2": "Caf\u00e9 Kestrel", "TPE1": "The Corvids",
        "TALB": "Winter Light (Deluxe Edition, Remastered)", "TRCK": "7", "TSRC": "GBAYE6500001"}


class Frame:
    def __init__(self, data, at):
        header = int.from_bytes(data[at:at + 4], "big")
        if header >> 21 != 0x7FF or (header >> 17) & 3 != 1:
            raise ValueError(f"no Layer III frame header at byte {at}")
        self.version = (header >> 19) & 3
        self.crc = not (header >> 16) & 1
        self.kbps = BIT_RATES[self.version][(header >> 12) & 15]
        self.rate = SAMPLE_RATES[self.version][(header >> 10) & 3]
        self.mode = (header >> 6) & 3
        self.mid_side = self.mode == JOINT and (header >> 5) & 1
        self.samples = 1152 if self.version == MPEG1 else 576
        self.size = (144000 if self.version == MPEG1 else 72000) * self.kbps // self.rate + ((header >> 9) & 1)
        self.bytes = data[at:at + self.size]


def frames_of(data):
    """The file's frames, between its ID3v2 and ID3v1 tags."""
    at = 0
    if data[:3] == b"ID3":
        at = 10 + sum(b << (21 - 7 * i) for i, b in enumerate(data[6:10]))
    end = len(data) - 128 if data[-128:-125] == b"TAG" else len(data)
    frames = []
    while at < end:
        frames.append(Frame(data, at))
        at += frames[-1].size
    if at != end:
        raise ValueError("the last frame runs past the end")
    return frames


def lame_tag(frame):
    """(kind, delay, padding) of a first frame holding a Xing or Info tag with
    LAME's extension, or None."""
    for kind in (b"Xing", b"Info"):
        at = frame.bytes.find(kind)
        lame = frame.bytes.find(b"LAME", at)
        if at > 0 and lame > 0:
            d = frame.bytes[lame + 21:lame + 24]
            return kind.decode(), d[0] << 4 | d[1] >> 4, (d[1] & 15) << 8 | d[2]
    return None


def samples_of(data):
    return struct.unpack(f"<{len(data) // 2}h", data)


def decode(path):
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "decoded.wav")
        subprocess.run(["mpg123", "-q", "-w", out, path], check=True)
        with wave.open(out) as w:
            return w.getnchannels(), w.getframerate(), samples_of(w.readframes(w.getnframes()))


def snr(meant, decoded):
    """(SNR in dB at the level that fits best, the SNR as it is, that level)."""
    signal = sum(x * x for x in meant)
    level = sum(x * y for x, y in zip(meant, decoded)) / signal
    fitted = sum((y - level * x) ** 2 for x, y in zip(meant, decoded))
    plain = sum((y - x) ** 2 for x, y in zip(meant, decoded))
    return 10 * math.log10(level * level * signal / fitted), 10 * math.log10(signal / plain), level


def pitch(samples, rate):
    """The frequency from the rising zero crossings, interpolated."""
    crossings = [i + a / (a - b) for i, (a, b) in enumerate(zip(samples, samples[1:])) if a < 0 <= b]
    return (len(crossings) - 1) * rate / (crossings[-1] - crossings[0])


def check_tags(path, data):
    problems = []
    tags = mutagen.id3.ID3(path)
    for frame, text in TAGS.items():
        got = tags[frame].text[0] if frame in tags else None
        if got != text:
            problems.append(f"ID3v2 {frame} is {got!r}, not {text!r}")
    v1 = data[-128:]
    fields = [v1[3:33], v1[33:63], v1[63:93]]
    got = [f.rstrip(b"\0").decode("latin-1") for f in fields] + [v1[126] if v1[125] == 0 else None]
    want = [TAGS["TIT2"], TAGS["TPE1"], TAGS["TALB"][:30], int(TAGS["TRCK"])]
    if v1[:3] != b"TAG" or got != want:
        problems.append(f"ID3v1 holds {got}, not {want}")
    print(f"  ID3v2.{tags.version[1]}: " + ", ".join(f"{f}={tags[f].text[0]!r}" for f in TAGS) +
          f"; ID3v1: {got}")
    return problems


def check(folder, name, expected):
    version, mode, crc, (least, most), tones, floor = expected
    path = os.path.join(folder, name + ".mp3")
    with open(path, "rb") as f:
        data = f.read()
    with open(os.path.join(folder, name + ".pcm"), "rb") as f:
        meant = samples_of(f.read())
    channels = 1 if mode == MONO else 2
    input_frames = len(meant) // channels
    problems = []

    frames = frames_of(data)
    first = frames[0]
    tag = lame_tag(first)
    audio = frames[1:] if tag else frames
    for i, frame in enumerate(frames):
        got = (frame.version, frame.rate, FORCED_JOINT if mode == FORCED_JOINT and frame.mid_side else frame.mode,
               frame.crc)
        want = (version, first.rate, mode, crc)
        if got != want or not (least <= frame.kbps <= most or (tag and i == 0)):
            problems.append(f"frame {i}: version, rate, mode, CRC {got}, {frame.kbps} kbit/s; "
                            f"expected {want}, {least}..{most} kbit/s")
            break
    kinds = sorted({f.kbps for f in audio})
    print(f"{name}: {len(frames)} frames at {first.rate} Hz, {kinds} kbit/s, LAME tag {tag}")

    decoded_channels, rate, decoded = decode(path)
    decoded_frames = len(decoded) // decoded_channels
    if (decoded_channels, rate) != (channels, first.rate):
        problems.append(f"decoded {decoded_channels} channel(s) at {rate} Hz")
    if tag:
        # The tag's delay and padding say what of the frames is audio, and
        # the decoder honours them.
        kind, delay, padding = tag
        if kind != ("Info" if least == most else "Xing"):
            problems.append(f"a {kind} tag")
        if len(audio) * first.samples - delay - padding != input_frames:
            problems.append(f"{len(audio)} frames less delay {delay} and padding {padding} "
                            f"are not the {input_frames} sample frames sent")
        offset = 0
        length_error = decoded_frames - input_frames
        right_length = abs(length_error) < first.samples
    else:
        # Then the decoder trims nothing, and the last frame is padded.
        offset = UNTAGGED_DELAY
        length_error = decoded_frames - UNTAGGED_DELAY - input_frames
        right_length = 0 <= length_error < first.samples
    if not right_length:
        problems.append(f"decoded {decoded_frames} sample frames for {input_frames} sent")
    aligned = decoded[offset * channels:(offset + input_frames) * channels]
    matched, plain, level = snr(meant, aligned)
    print(f"  decoded {decoded_frames} sample frames for {input_frames} sent: the audio from sample {offset}, "
          f"{length_error:+d} past its end; SNR {matched:.1f} dB at level {level:.3f}, {plain:.1f} dB as it is")

    if tones is None:
        if matched >= 0 or plain >= 0:
            problems.append("the SNR of byte-swapped input did not collapse")
    else:
        if matched < floor:
            problems.append(f"SNR {matched:.1f} dB is below its floor of {floor} dB")
        # libmp3lame scales constant bit rates up to 160 kbit/s by 0.95, so
        # that they do not clip; the SNR is measured at the level that fits.
        if not 0.9 <= level <= 1.02:
            problems.append(f"the level is {level:.3f}")
        for channel, tone in enumerate(tones):
            # Away from the fades.
            middle = aligned[channel::channels][rate // 10:-rate // 10]
            heard = pitch(middle, rate)
            print(f"  channel {channel}: {heard:.2f} Hz for {tone} Hz")
            if abs(heard - tone) > tone * 0.001:
                problems.append(f"channel {channel} sounds at {heard:.2f} Hz, not {tone} Hz")
    if name == "tags":
        problems += check_tags(path, data)
    for problem in problems:
        print(f"  FAILED: {problem}")
    return not problems


def main():
    folder = sys.argv[1]
    results = [check(folder, name, expected) for name, expected in EXPECTED.items()]
    print(f"{results.count(True)} passed, {results.count(False)} failed")
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
