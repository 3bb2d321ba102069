// Files the Windows tests look at: the temporary folder, a file's lines,
// whether a file is there and its size.
#pragma once

#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "files/LFile.h"
#include "files/TextBuffer.h"

// The system's temporary folder, with its trailing separator.
inline std::string TempFolder()
{
    char folder[TEXT_BUFFER_SIZE];
    LFile::GetTempFolder(folder);
    return folder;
}

inline std::string TempPath(const std::string& name) { return TempFolder() + name; }

inline std::vector<std::string> Lines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The size in bytes; 0 when there is no such file.
inline DWORD FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
}
