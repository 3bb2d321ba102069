// The files the build makes for the installer, found from the test program's
// own folder (build/win/tests), and the pieces of a setup file's payload.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "FileBytes.h"
#include "files/Crc.h"
#include "files/LFile.h"
#include "setup/InstallPayload.h"

inline std::string TestProgramFolder()
{
    char path[TEXT_BUFFER_SIZE];
    char folder[TEXT_BUFFER_SIZE];
    GetModuleFileNameA(nullptr, path, sizeof(path));
    LFile::_GetFolderFromPath(folder, path);
    return folder;
}

inline std::string BuiltSetupFile() { return TestProgramFolder() + "\\..\\Corvane-Setup.exe"; }
inline std::string BuiltProgram() { return TestProgramFolder() + "\\..\\src\\corvane.exe"; }
inline std::string BuiltEncoder() { return TestProgramFolder() + "\\..\\tools\\mp3enc\\mp3enc.exe"; }

// A setup file's payload files, in table order, as its size list cuts them;
// empty when the tail does not read.
inline std::vector<std::vector<unsigned char>> PayloadFiles(const std::vector<unsigned char>& setup)
{
    const int nFiles = CountInstallFiles(InstallFileTable);
    PayloadLayout layout;
    if (setup.size() < PayloadTailBytes(nFiles)
        || !ReadPayloadTail(setup.data() + setup.size() - PayloadTailBytes(nFiles), nFiles, setup.size(), layout))
        return {};
    std::vector<std::vector<unsigned char>> files;
    size_t offset = 0;
    for (int i = 0; i < nFiles; ++i)
    {
        files.emplace_back(setup.begin() + offset, setup.begin() + offset + layout.nSizes[i]);
        offset += layout.nSizes[i];
    }
    return files;
}

// A setup file made of `files` in table order, as the build makes one.
inline std::vector<unsigned char> MakeSetupFile(const std::vector<std::vector<unsigned char>>& files)
{
    std::vector<unsigned char> setup;
    PayloadLayout layout = {};
    layout.nFiles = static_cast<int>(files.size());
    for (size_t i = 0; i < files.size(); ++i)
    {
        setup.insert(setup.end(), files[i].begin(), files[i].end());
        layout.nSizes[i] = static_cast<uint32_t>(files[i].size());
    }
    layout.nChecksum = PayloadChecksum(Crc32(0, setup.data(), setup.size()), layout);
    setup.resize(setup.size() + PayloadTailBytes(layout.nFiles));
    WritePayloadTail(layout, setup.data() + setup.size() - PayloadTailBytes(layout.nFiles));
    return setup;
}

inline bool WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool bWritten = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && bWritten;
}

inline bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
