"""Decodes the MP3 files the rip tests wrote (app_tests, with the real encoder
component) with mpg123, an independent decoder, and compares them with the
disc they came from: the length within one MP3 frame, a signal-to-noise
floor, the rate and channels, and the ID3 tags.

    mp3_files_decode.py MP3_FOLDER DISCS_FOLDER
"""
import array
import math
import os
import sys
import tempfile
import wave

from mutagen.id3 import ID3

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "lib"))
import corvane_audio  # noqa: E402

MP3_FRAME = 1152  # samples per channel in one MPEG-1 layer III frame

# Each file: the demo disc's track, what it must decode to, and its floor in dB
# (measured on this machine's build, less a margin).
FILES = {
    # VBR 32-128 -V 4: 43.2 and 43.9 dB measured.
    "Track 01.mp3": (1, 44100, 2, 40.0),
    "Track 03.mp3": (3, 44100, 2, 40.0),
    # CBR 16, mono 22050 Hz, compared with the same track written as WAV through
    # the same converters: 22.3 dB measured.
    "Track 02.mp3": (2, 22050, 1, 19.0),
}
ARTIST = "The Talmarin Quintet"
ALBUM = 'Demo "Disc"'


def decode(path):
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "decoded.wav")
        corvane_audio.decode_to_wav(path, out)
        with wave.open(out) as w:
            samples = array.array("h", w.readframes(w.getnframes()))
            return w.getframerate(), w.getnchannels(), samples


def encoder_delay(reference, decoded, channels):
    """The samples the decoder put before the audio. A file with the encoder's
    info tag is trimmed by the decoder; one without (a low bit rate leaves it
    out) starts with the encoder's delay, found here where the two match best."""
    extra = (len(decoded) - len(reference)) // channels
    if extra <= MP3_FRAME:
        return 0
    window = reference[channels * 20000:channels * 28000]
    start = channels * 20000

    def match(lag):
        shifted = decoded[start + channels * lag:start + channels * lag + len(window)]
        energy = sum(b * b for b in shifted)
        return sum(a * b for a, b in zip(window, shifted)) / math.sqrt(energy) if energy else 0.0

    return max(range(extra + 1), key=match)


def snr_db(reference, decoded):
    """Signal to noise, at the level that fits best: the encoder lowers
    constant-bit-rate audio a little so that it cannot clip."""
    n = min(len(reference), len(decoded))
    cross = sum(a * b for a, b in zip(reference[:n], decoded[:n]))
    power = sum(b * b for b in decoded[:n])
    level = cross / power if power else 0.0
    signal = sum(v * v for v in reference[:n])
    noise = sum((a - level * b) ** 2 for a, b in zip(reference[:n], decoded[:n]))
    return 10 * math.log10(signal / max(noise, 1)), level


def main():
    mp3_folder, discs = sys.argv[1], sys.argv[2]
    cue = os.path.join(discs, "demo.cue")
    failures = []
    for name, (track, rate, channels, floor) in FILES.items():
        path = os.path.join(mp3_folder, name)
        got_rate, got_channels, decoded = decode(path)
        if channels == 2:
            reference = array.array("h", corvane_audio.track_bytes(cue, track))
        else:
            with wave.open(os.path.join(mp3_folder, name[:-4] + ".wav")) as w:
                reference = array.array("h", w.readframes(w.getnframes()))
        delay = encoder_delay(reference, decoded, channels) if got_channels == channels else 0
        decoded = decoded[channels * delay:]
        frames, reference_frames = len(decoded) // got_channels, len(reference) // channels
        snr, level = snr_db(reference, decoded) if got_channels == channels else (float("-inf"), 0.0)
        tags = ID3(path)
        text = {key: str(tags[key]) for key in ("TIT2", "TPE1", "TALB", "TRCK") if key in tags}
        print(f"{name}: {got_rate} Hz, {got_channels} ch, {frames} frames for {reference_frames} after a delay "
              f"of {delay}, SNR {snr:.1f} dB at level {level:.3f} (floor {floor}), tags {text}")
        if (got_rate, got_channels) != (rate, channels):
            failures.append(f"{name}: {got_rate} Hz {got_channels} ch, not {rate} Hz {channels} ch")
        if abs(frames - reference_frames) > MP3_FRAME:
            failures.append(f"{name}: {frames} frames, not {reference_frames} within one MP3 frame")
        # The encoder lowers constant-bit-rate audio to 0.95, so that it cannot clip.
        if snr < floor or not 0.98 <= level <= 1.08:
            failures.append(f"{name}: SNR {snr:.1f} dB at level {level:.3f}, not {floor} dB at about 1")
        expected = {"TIT2": f"Track {track:02d}", "TPE1": ARTIST, "TALB": ALBUM, "TRCK": str(track)}
        if text != expected:
            failures.append(f"{name}: tags {text}, not {expected}")
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
