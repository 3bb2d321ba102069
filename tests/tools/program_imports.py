#!/usr/bin/python3
"""Holds the program's import table to the DLLs it has always imported, all
of them the system's own: a library linked in statically (libFLAC, say) must
not bring a DLL the program does not ship, such as a later C runtime.

    program_imports.py OBJDUMP PROGRAM
"""
import subprocess
import sys

ALLOWED = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "msacm32.dll", "msvcrt.dll", "ole32.dll",
           "shell32.dll", "user32.dll", "winmm.dll", "ws2_32.dll"}


def main(objdump, program):
    listing = subprocess.run([objdump, "-p", program], stdout=subprocess.PIPE, check=True).stdout.decode()
    dlls = {line.split("DLL Name:")[1].strip().lower() for line in listing.splitlines() if "DLL Name:" in line}
    print(f"{program} imports {', '.join(sorted(dlls))}")
    if not dlls:
        print("FAIL: no import table found")
        return 1
    extra = dlls - ALLOWED
    if extra:
        print(f"FAIL: imports beyond the system DLLs it has always used: {', '.join(sorted(extra))}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
