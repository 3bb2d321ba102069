// Where a Windows test program finds the MP3 encoder the build makes,
// build/win/tools/mp3enc/mp3enc.exe, as a full path such as the ripper runs.
// A test program that runs it names the target: corvane_test(... DEPENDS mp3enc).
#pragma once

#include <windows.h>

#include <string>

#include "cdrom/VirtualDiscFiles.h"

inline std::string Mp3EncoderPath()
{
    const std::string relative = ProgramFolder() + "\\..\\tools\\mp3enc\\mp3enc.exe";
    char path[MAX_PATH];
    const DWORD length = GetFullPathNameA(relative.c_str(), sizeof(path), path, nullptr);
    return length > 0 && length < sizeof(path) ? std::string(path) : relative;
}
