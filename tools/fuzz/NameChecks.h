// What the file names and paths made from outside text must be, as the fuzz
// targets that make them check it.
#pragma once

#include <cstring>

#include "FuzzCheck.h"
#include "files/TextBuffer.h"

inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// A name Windows takes for a device, whatever extension follows: its part
// before the first point, without trailing spaces, is one of the devices.
inline bool NamesDevice(const char* name)
{
    std::size_t stem = strcspn(name, ".");
    while (stem > 0 && name[stem - 1] == ' ')
        --stem;
    if (stem > 7)
        return false;
    char lower[8] = {};
    for (std::size_t i = 0; i < stem; ++i)
        lower[i] = static_cast<char>(name[i] >= 'A' && name[i] <= 'Z' ? name[i] - 'A' + 'a' : name[i]);
    for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$"})
        if (strcmp(lower, device) == 0)
            return true;
    return stem == 4 && (strncmp(lower, "com", 3) == 0 || strncmp(lower, "lpt", 3) == 0) && lower[3] >= '0'
           && lower[3] <= '9';
}

// A cleaned file name: terminated within its buffer, none of the characters
// a name may not hold, and no device.
inline void CheckCleanName(const char (&name)[TEXT_BUFFER_SIZE])
{
    const std::size_t length = strnlen(name, TEXT_BUFFER_SIZE);
    FUZZ_CHECK(length < TEXT_BUFFER_SIZE);
    for (std::size_t i = 0; i < length; ++i)
    {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        FUZZ_CHECK(c >= 32 && c < 128 && !strchr("\"*./:<>?\\|", c));
    }
    FUZZ_CHECK(!NamesDevice(name));
}

// A track's path: the folder whole, one separator, then a name of its own
// that ends in the extension: no separator, no stream, no point but the
// extension's, so no "." or ".." either, and no device.
inline void CheckTrackPath(const char* folder, const char* extension, const char (&path)[TEXT_BUFFER_SIZE])
{
    const std::size_t length = strnlen(path, TEXT_BUFFER_SIZE);
    FUZZ_CHECK(length < TEXT_BUFFER_SIZE);
    const std::size_t folderLength = strlen(folder);
    FUZZ_CHECK(strncmp(path, folder, folderLength) == 0);
    std::size_t at = folderLength;
    if (folderLength == 0 || !IsPathSeparator(folder[folderLength - 1]))
    {
        FUZZ_CHECK(path[at] == '\\');
        ++at;
    }
    const char* name = path + at;
    const std::size_t nameLength = strlen(name);
    const std::size_t extensionLength = strlen(extension);
    FUZZ_CHECK(nameLength > extensionLength);
    FUZZ_CHECK(strcmp(name + nameLength - extensionLength, extension) == 0);
    FUZZ_CHECK(!strpbrk(name, "\\/:"));
    FUZZ_CHECK(strchr(name, '.') == name + nameLength - extensionLength);
    FUZZ_CHECK(!NamesDevice(name));
}
