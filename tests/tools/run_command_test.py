#!/usr/bin/python3
"""The run command, unattended, on a disc the local CDDB database does not
know: it answers the program's messages, always ends, closes the program and
says how it went.

    run_command_test.py BUILD_DIR [TEST...]

BUILD_DIR is the Windows build the run command uses (build/win of this
source tree, or build/win64 on a machine that runs no 32-bit programs), with
its test discs made.
"""

import glob
import os
import shutil
import struct
import subprocess
import sys
import time
import unittest
import wave

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
RUN = os.path.join(ROOT, "scripts", "run")
BUILD = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else ""
PREFIX = os.path.join(BUILD, "wineprefix")
# The program's saved wave format, in the application data of the prefix's user.
def format_file():
    found = glob.glob(os.path.join(PREFIX, "drive_c", "users", "*", "*", "*", "Talmarin", "Corvane", "WavCodec.wff"))
    return found[0] if found else ""
WORK = os.path.join(BUILD, "tests", "run-command")
# The disc's tracks, in sectors, as tests/CMakeLists.txt makes it.
DISC = "not-in-cddb"
TRACK_SECTORS = (60, 45)
FRAMES_PER_SECTOR = 588
# Only a guard against a hang: the command normally ends well before.
COMMAND_LIMIT_SECONDS = 300


def prefix_processes_of(prefix):
    """The ids of the running processes that use the Wine prefix `prefix`."""
    return prefix_processes(None, prefix)


def prefix_processes(name, prefix=PREFIX):
    """The ids of the running processes called `name` (any, when None) that use
    the Wine prefix, the build's unless told."""
    found = set()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/comm") as f:
                if name is not None and f.read().strip() != name:
                    continue
            with open(f"/proc/{pid}/environ", "rb") as f:
                if b"WINEPREFIX=" + prefix.encode() in f.read().split(b"\0"):
                    found.add(pid)
        except OSError:
            pass  # gone meanwhile
    return found


class RunCommandTest(unittest.TestCase):
    def run_command(self, drive_settings, *options, rip=True):
        """Runs the command on the disc with those drive settings, ripping
        unless told not to; its exit code, its output and the folder it was
        told to rip to."""
        folder = os.path.join(WORK, self._testMethodName)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(os.path.join(folder, "home"))
        config = os.path.join(folder, "vdrive.txt")
        with open(config, "w") as f:
            f.write(f"0 0 0 ../../discs/{DISC}.cue {drive_settings}\n")
        ripped = os.path.join(folder, "ripped")  # missing: the program offers to make it
        # Nothing is written into the machine's home.
        environment = dict(os.environ, HOME=os.path.join(folder, "home"))
        servers = prefix_processes("wineserver")
        result = subprocess.run([RUN, "--vdrive", config, *(["--rip", ripped] if rip else []), *options],
                                env=environment,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                timeout=COMMAND_LIMIT_SECONDS)
        self.output = result.stdout
        # The program is not left running, and the Wine session is as it was:
        # one that was running (the test runner's) still runs, and one the
        # command started is stopped.
        self.assertEqual(set(), prefix_processes("corvane.exe"), self.output)
        self.assertEqual(set(), prefix_processes("winhlp32.exe"), self.output)
        self.assertEqual(servers, prefix_processes("wineserver"), self.output)
        return result.returncode, self.output, ripped

    def assertFrames(self, path, frames):
        with wave.open(path) as w:
            self.assertEqual(frames, w.getnframes(), self.output)

    def test_an_unknown_disc_is_ripped_and_the_command_ends(self):
        code, output, ripped = self.run_command("")
        self.assertEqual(0, code, output)
        self.assertIn('the program says "Corvane": No CDDB match found', output)
        self.assertIn("Do you want to create it now?\ncorvane-remote: answered Yes", output)
        self.assertEqual(["Audio CD.cue", "Audio CD.log", "Track 01.wav", "Track 02.wav"], sorted(os.listdir(ripped)), output)
        for i, sectors in enumerate(TRACK_SECTORS):
            self.assertFrames(os.path.join(ripped, f"Track {i + 1:02d}.wav"), sectors * FRAMES_PER_SECTOR)
        self.assertIn("Read mode: Burst", output)
        self.assertIn("All 2 tracks ripped", output)
        self.assertIn('scripts/run: the cue sheet Audio CD.cue:\n  REM DISCID', output)

    def test_secure_mode_with_an_offset_copies_every_track_ok_and_prints_the_log(self):
        code, output, ripped = self.run_command("offset=30", "--secure", "--offset", "+30")
        self.assertEqual(0, code, output)
        self.assertIn("Read mode: Secure", output)
        self.assertIn("Read offset correction: +30", output)
        self.assertEqual(2, output.count("     Copy OK\n"), output)
        self.assertIn("All 2 tracks copied OK", output)
        for i, sectors in enumerate(TRACK_SECTORS):
            self.assertFrames(os.path.join(ripped, f"Track {i + 1:02d}.wav"), sectors * FRAMES_PER_SECTOR)

    def test_several_database_matches_are_answered_with_the_first(self):
        entries = os.path.join(WORK, self._testMethodName + "-entries")
        shutil.rmtree(entries, ignore_errors=True)
        for category, title in (("jazz", "First Band / First Album"), ("rock", "Second Band / Second Album")):
            os.makedirs(os.path.join(entries, category))
            with open(os.path.join(entries, category, "0badc0de"), "w", newline="\r\n") as f:
                f.write(f"# xmcd\nDISCID=0badc0de\nDTITLE={title}\nTTITLE0=One\nTTITLE1=Two\n")
        port_file = os.path.join(entries, "port")
        server = subprocess.Popen(["/usr/bin/python3", os.path.join(ROOT, "tests", "cddb", "cddb-server.py"),
                                   "--entries", entries, "--port-file", port_file, "--match-all", "0badc0de",
                                   "--idle-exit", "600"], stderr=subprocess.DEVNULL)
        self.addCleanup(server.wait)
        self.addCleanup(server.terminate)
        for _ in range(100):
            if os.path.exists(port_file):
                break
            time.sleep(0.1)
        with open(port_file) as f:
            port = f.read().strip()
        code, output, ripped = self.run_command("", "--cddb", f"127.0.0.1:{port}")
        self.assertEqual(0, code, output)
        self.assertIn('the database lists 2 discs; chose the first, "jazz: First Band / First Album"', output)
        self.assertEqual(["First Band - First Album.cue", "First Band - First Album.log", "First Band - One.wav",
                          "First Band - Two.wav"],
                         sorted(os.listdir(ripped)), output)

    def test_a_read_error_ends_the_command_with_a_failure(self):
        code, output, ripped = self.run_command(f"fail_lba={TRACK_SECTORS[0] + 20}")
        self.assertNotEqual(0, code, output)
        self.assertIn('the program says "Error": Track "Track 02" could not be read from the CD.', output)
        self.assertEqual(["Audio CD.log", "Track 01.wav"], sorted(os.listdir(ripped)), output)
        self.assertFrames(os.path.join(ripped, "Track 01.wav"), TRACK_SECTORS[0] * FRAMES_PER_SECTOR)

    def test_a_codec_format_is_saved_as_settings_saves_it_and_the_files_decoded_to_be_listed(self):
        # The prefix is the other Wine tests' too: it is left with the default format.
        self.addCleanup(lambda: format_file() and os.remove(format_file()))
        code, output, ripped = self.run_command("", "--format", "ima-adpcm")
        self.assertEqual(0, code, output)
        self.assertTrue(format_file(), output)
        with open(format_file(), "rb") as f:
            record = f.read()
        self.assertEqual(1024, len(record), output)
        self.assertEqual((0x11, 2, 44100), struct.unpack_from("<HHI", record), output)
        self.assertEqual(["Audio CD.cue", "Audio CD.log", "Track 01.wav", "Track 02.wav"], sorted(os.listdir(ripped)), output)
        for i, sectors in enumerate(TRACK_SECTORS):
            with open(os.path.join(ripped, f"Track {i + 1:02d}.wav"), "rb") as f:
                self.assertEqual(record[:20], f.read(40)[20:], output)
            # Whole blocks of 2041 frames, the last completed with silence.
            frames = -(-sectors * FRAMES_PER_SECTOR // 2041) * 2041
            self.assertRegex(output, rf"Track {i + 1:02d}\.wav +0:00  2 ch, 44100 Hz, 16-bit, {frames} frames "
                                     "decoded from IMA ADPCM")

    def test_edit_fetches_the_editor_rips_the_track_and_removes_the_file(self):
        folder = os.path.join(WORK, self._testMethodName)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(os.path.join(folder, "home"))
        config = os.path.join(folder, "vdrive.txt")
        with open(config, "w") as f:
            f.write(f"0 0 0 ../../discs/{DISC}.cue\n")
        environment = dict(os.environ, HOME=os.path.join(folder, "home"))
        result = subprocess.run([RUN, "--vdrive", config, "--edit", "2"], env=environment,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                timeout=COMMAND_LIMIT_SECONDS)
        output = result.stdout
        self.assertEqual(0, result.returncode, output)
        self.assertEqual(set(), prefix_processes("corvane.exe"), output)
        # Fetched from the local server, set up, then started on the ripped track.
        with open(os.path.join(BUILD, "run", "ftp-server.log")) as f:
            self.assertIn("RETR tssetup.exe", f.read().splitlines(), output)
        self.assertRegex(output, r'started as: "C:\\Program Files\\Talmarin\\Tessaro\\tessaro\.exe" '
                                 r'"C:\\[^"]*\\Track 02\.wav"')
        self.assertRegex(output, r"the temporary file C:\\.*\\Track 02\.wav is gone")
        self.assertRegex(output, rf"edited\.wav +0:00  2 ch, 44100 Hz, 16-bit, "
                                 rf"{TRACK_SECTORS[1] * FRAMES_PER_SECTOR} frames")

    def test_the_help_viewer_is_pictured_beside_the_main_window_and_both_closed(self):
        shots = os.path.join(BUILD, "run", "screenshots")
        for name in ("main-window.png", "help-viewer.png"):
            if os.path.exists(os.path.join(shots, name)):
                os.remove(os.path.join(shots, name))
        code, output, _ = self.run_command("", "--show-help", rip=False)
        self.assertEqual(0, code, output)
        self.assertIn('the help viewer shows "Corvane Help"', output)
        for name in ("main-window.png", "help-viewer.png"):
            with open(os.path.join(shots, name), "rb") as f:
                self.assertEqual(b"\x89PNG", f.read(4), output)

    def test_install_then_uninstall_in_a_fresh_prefix(self):
        code, output, _ = self.run_command("", "--install", "--uninstall", rip=False)
        self.assertEqual(0, code, output)
        installed, rest = output.split("scripts/run: running the uninstaller")
        uninstalling, remains = rest.split("scripts/run: what remains:")
        folder = "C:\\Program Files\\Talmarin\\Corvane"
        # The installed program showed the disc in the virtual drive.
        self.assertIn("corvane-remote: the main window lists 2 tracks", installed)
        for line in (f"Corvane.lnk -> {folder}\\corvane.exe",
                     f"Corvane Help.lnk -> {folder}\\corvane.hlp",
                     "Uninstall\\Corvane\\DisplayName = Corvane Uninstall",
                     f"Folders\\Output = {folder}\\Output"):
            self.assertIn(line, installed)
        self.assertRegex(installed, r"Corvane\\corvane\.exe  \d+ bytes")
        self.assertIn("answered Yes", uninstalling)
        self.assertNotIn(folder + "\\corvane.exe", remains.split("Shortcuts:")[0])
        self.assertIn("Uninstall\\Corvane\\DisplayName = (not set)", remains)
        self.assertIn("mp3el\\mp3enc.exe", remains.split("Shortcuts:")[0])
        self.assertEqual(set(), prefix_processes_of(os.path.join(BUILD, "run", "install-prefix")), output)

    def test_a_track_is_played_into_the_capture_and_the_command_ends(self):
        code, output, _ = self.run_command("", "--play", "2", rip=False)
        self.assertEqual(0, code, output)
        self.assertIn("corvane-remote: track 2 plays, Stop is enabled", output)
        self.assertIn("corvane-remote: Stop is greyed again", output)
        raw = os.path.join(BUILD, "run", "played", "track-02.raw")
        self.assertIn(f"scripts/run: the captured audio: {raw}", output)
        with open(os.path.join(BUILD, "tests", "discs", f"{DISC}.bin"), "rb") as f:
            track = f.read()[TRACK_SECTORS[0] * 2352:sum(TRACK_SECTORS) * 2352]
        with open(raw, "rb") as f:
            captured = f.read()
        self.assertEqual(track, captured[:len(track)], output)
        self.assertEqual(len(captured) - len(track), captured[len(track):].count(0), output)
        with wave.open(os.path.join(BUILD, "run", "played", "track-02.wav")) as w:
            self.assertEqual(len(captured) // 4, w.getnframes(), output)

    def test_a_track_the_disc_does_not_have_fails_the_command(self):
        code, output, _ = self.run_command("", "--play", "3", rip=False)
        self.assertNotEqual(0, code, output)
        self.assertIn("corvane-remote: there is no track 3 to play (2 tracks)", output)

    def test_a_format_it_does_not_know_ends_it_at_once(self):
        result = subprocess.run([RUN, "--rip", os.path.join(WORK, "never"), "--format", "ogg"],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.assertEqual(2, result.returncode, result.stdout)
        self.assertIn("--format NAME", result.stdout)
        self.assertNotIn("starting corvane.exe", result.stdout)

    def test_a_read_that_never_completes_ends_the_command_at_its_time_limit(self):
        code, output, _ = self.run_command(f"hang_lba={TRACK_SECTORS[0] + 20}", "--timeout", "15")
        self.assertNotEqual(0, code, output)
        self.assertIn("scripts/run: the remote control did not finish within 15 s", output)


if __name__ == "__main__":
    used = subprocess.run(["bash", "-c", f"source '{ROOT}/scripts/lib/build.sh' && corvane_windows_build"],
                          capture_output=True, text=True).stdout.strip()
    if not used or os.path.realpath(BUILD) != os.path.realpath(used):
        sys.exit(f"run_command_test.py: the run command uses {used or 'no build folder'}, not {BUILD or 'no build folder'}")
    unittest.main(argv=sys.argv[:1] + sys.argv[2:], verbosity=2)
