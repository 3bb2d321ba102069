#!/usr/bin/env python3
"""The layering check: the source tree passes it, and a copy of the tree
with one include planted against the order fails it."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", ".."))
CHECK = os.path.join(ROOT, "tools", "layers", "check-layers.py")


def check(root):
    return subprocess.run([sys.executable, CHECK, root], capture_output=True, text=True)


class Layers(unittest.TestCase):
    def test_the_source_tree_keeps_the_order(self):
        result = check(ROOT)
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)

    def test_planted_includes(self):
        cases = [
            # (folder, include, fails)
            ("files", "settings/SettingsStore.h", True),
            ("settings", "app/MainDialog.h", True),
            ("soundfile", "setup/InstallPayload.h", True),
            ("jobs", "components/SoundEditor.h", True),
            ("cdrom", "components/ComponentServers.h", True),
            ("components", "setup/InstallPayload.h", True),
            ("setup", "app/RipRequest.h", True),
            ("ui", "jobs/LThread.h", False),  # one floor
            ("cddb", "cdrom/LSCSI.h", False),  # one floor
            ("app", "files/LFile.h", False),  # downward
            ("files", "resources/resource.h", False),  # the bottom
            ("sound", "nowhere/Thing.h", True),  # a folder with no place
        ]
        with tempfile.TemporaryDirectory() as temp:
            copy = os.path.join(temp, "tree")
            shutil.copytree(os.path.join(ROOT, "src"), os.path.join(copy, "src"))
            for folder, include, fails in cases:
                with self.subTest(folder=folder, include=include):
                    planted = os.path.join(copy, "src", folder, "Planted.h")
                    with open(planted, "w") as f:
                        f.write(f'#pragma once\n\n#include "{include}"\n')
                    result = check(copy)
                    os.remove(planted)
                    self.assertEqual(1 if fails else 0, result.returncode, result.stdout + result.stderr)
                    if fails:
                        self.assertIn(f"src/{folder}/Planted.h:3:", result.stdout)

    def test_a_new_folder_needs_a_place(self):
        with tempfile.TemporaryDirectory() as temp:
            shutil.copytree(os.path.join(ROOT, "src"), os.path.join(temp, "src"))
            os.makedirs(os.path.join(temp, "src", "extras"))
            with open(os.path.join(temp, "src", "extras", "Extra.cpp"), "w") as f:
                f.write('#include "files/LFile.h"\n')
            result = check(temp)
            self.assertEqual(1, result.returncode)
            self.assertIn("src/extras/Extra.cpp: folder 'extras' has no place", result.stdout)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
