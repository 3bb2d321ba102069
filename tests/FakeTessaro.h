// Where a Windows test program finds the stand-in sound editor and setup
// (tests/components/FakeTessaro.cpp) that the build makes beside it, and what
// the editor records there. A test program that runs it names the target:
// corvane_test(... DEPENDS fake_tessaro), or FTP_SERVER.
#pragma once

#include <string>

#include "cdrom/VirtualDiscFiles.h"

inline std::string FakeTessaroPath() { return ProgramFolder() + "\\fake_tessaro.exe"; }
// The window class of the stand-in editor's window.
constexpr const char* FAKE_TESSARO_CLASS = "TessaroTestEditor";
// A record the editor started from the test folder leaves there: edited.txt
// (its command line, then its file argument) and edited.wav (the file's copy).
inline std::string FakeTessaroRecord(const char* name) { return ProgramFolder() + "\\" + name; }
