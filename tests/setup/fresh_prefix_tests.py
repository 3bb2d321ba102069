#!/usr/bin/python3
"""Runs each test of a Windows test program in a Wine prefix of its own.

    fresh_prefix_tests.py BUILD_DIR PROGRAM.exe

A template prefix is made once per build folder (BUILD_DIR/wineprefix-template,
by cmake/wine-run); each test then gets a copy of it, which is cheaper than
making a prefix (about 15 seconds). The copy's Wine server, which the test
started, is stopped after it. The copy of a failed test is kept for a look at
what it holds; a passed test's copy is removed. Exits non-zero when a test
failed.
"""
import os
import shutil
import subprocess
import sys


def listed_tests(wine_run, program):
    """The test names the program lists, "Suite.Test", in the shared prefix."""
    listing = subprocess.run([wine_run, program, "--gtest_list_tests"], capture_output=True, text=True,
                             check=True, stdin=subprocess.DEVNULL).stdout
    names, suite = [], None
    for line in listing.splitlines():
        if not line.strip():
            continue
        if not line.startswith(" "):
            suite = line.strip()
        else:
            names.append(suite + line.split()[0])
    return names


def main():
    build, program = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    wine_run = os.path.join(root, "cmake", "wine-run")
    template = os.path.join(build, "wineprefix-template")
    subprocess.run([wine_run, "--create", build], env=dict(os.environ, WINEPREFIX=template), check=True)

    failed = []
    for name in listed_tests(wine_run, program):
        prefix = os.path.join(build, "fresh-prefixes", name)
        shutil.rmtree(prefix, ignore_errors=True)
        os.makedirs(os.path.dirname(prefix), exist_ok=True)
        subprocess.run(["cp", "-a", template, prefix], check=True)
        env = dict(os.environ, WINEPREFIX=prefix)
        print(f"fresh_prefix_tests: {name} in {prefix}", flush=True)
        result = subprocess.run([wine_run, program, "--gtest_filter=" + name], env=env, stdin=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=env, stderr=subprocess.DEVNULL)
        if result.returncode == 0:
            shutil.rmtree(prefix, ignore_errors=True)
        else:
            failed.append(name)
            print(f"fresh_prefix_tests: {name} failed; its prefix stays in {prefix}", flush=True)
    if failed:
        print("fresh_prefix_tests: failed: " + ", ".join(failed), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
