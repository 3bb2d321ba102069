// The disc images the build makes for the drive tests, and the configuration
// files that put them into virtual drives.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "files/LFile.h"
#include "files/TextBuffer.h"

// The folder of the running test program.
inline std::string ProgramFolder()
{
    char path[TEXT_BUFFER_SIZE];
    char folder[TEXT_BUFFER_SIZE];
    GetModuleFileNameA(nullptr, path, sizeof(path));
    LFile::_GetFolderFromPath(folder, path);
    return folder;
}

// A made disc: "<name>.cue" with its image "<name>.bin" in the discs folder.
inline std::string DiscCue(const char* name) { return ProgramFolder() + "\\discs\\" + name + ".cue"; }

// The bytes of sectors [first, first + count) straight from a disc's image file.
inline std::vector<BYTE> ImageSectors(const char* name, long first, int count)
{
    std::vector<BYTE> bytes(static_cast<size_t>(count) * 2352);
    const std::string bin = ProgramFolder() + "\\discs\\" + name + ".bin";
    FILE* file = fopen(bin.c_str(), "rb");
    if (!file || fseek(file, first * 2352, SEEK_SET) != 0 || fread(bytes.data(), 1, bytes.size(), file) != bytes.size())
        bytes.clear();
    if (file)
        fclose(file);
    return bytes;
}

// The pipeline's samples (16-bit values times 16) of sectors [first, first +
// count) of a made disc: what a rip of them must deliver.
inline std::vector<int32_t> ImageSamples(const char* name, long first, int count)
{
    const std::vector<BYTE> bytes = ImageSectors(name, first, count);
    std::vector<int32_t> samples;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        samples.push_back(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)) * 16);
    return samples;
}

// A buffer aligned to 16 bytes, as the transport wants data buffers, filled
// with a pattern that no disc sector carries.
struct AlignedSectors
{
    explicit AlignedSectors(int nSectors) : size(static_cast<size_t>(nSectors) * 2352)
    {
        storage.resize(size + 16);
        data = reinterpret_cast<BYTE*>((reinterpret_cast<uintptr_t>(storage.data()) + 15) & ~uintptr_t(15));
        Fill();
    }
    void Fill() { memset(data, 0xA5, size); }
    bool Untouched() const
    {
        for (size_t i = 0; i < size; ++i)
            if (data[i] != 0xA5)
                return false;
        return true;
    }
    std::vector<BYTE> Bytes() const { return std::vector<BYTE>(data, data + size); }

    std::vector<BYTE> storage;
    BYTE* data;
    size_t size;
};
