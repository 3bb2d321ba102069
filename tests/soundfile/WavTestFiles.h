// Where the sink tests leave their WAV files (tests/soundfile/read_back.py
// reads them there), and a little-endian field of a file's bytes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cdrom/VirtualDiscFiles.h"

inline std::string OutputFile(const char* name)
{
    const std::string folder = ProgramFolder() + "\\wav-files";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\" + name;
}

inline uint32_t Get32(const std::vector<BYTE>& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
