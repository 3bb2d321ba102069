#include "files/LFile.h"

#include <cstring>

#include "files/TextBuffer.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The names Windows gives to devices, whatever follows them: a file named so
// is the device itself.
bool IsDeviceStem(const char* stem, std::size_t length)
{
    static const char* const kDevices[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};
    char lower[8] = {};
    if (length >= sizeof(lower))
        return false;
    for (std::size_t i = 0; i < length; ++i)
        lower[i] = LowerAscii(stem[i]);
    for (const char* device : kDevices)
        if (strcmp(lower, device) == 0)
            return true;
    // COM0-COM9 and LPT0-LPT9.
    return length == 4 && (strncmp(lower, "com", 3) == 0 || strncmp(lower, "lpt", 3) == 0) && lower[3] >= '0'
           && lower[3] <= '9';
}

} // namespace

void LFile::_GetFolderFromPath(char (&folder)[TEXT_BUFFER_SIZE], const char* path)
{
    // Only separators within the buffer's reach are seen, so the folder's
    // length always leaves room for its terminating zero.
    std::size_t folderLength = 0;
    for (std::size_t n = 0; n < sizeof(folder) && path[n] != '\0'; ++n)
        if (IsSeparator(path[n]))
            folderLength = n;
    CopyText(folder, folderLength + 1, path);
}

void LFile::_GetFileFromPath(char (&name)[TEXT_BUFFER_SIZE], const char* path)
{
    // A part that fills the buffer ends the search; it is the name, cut.
    const char* start = path;
    for (const char* p = path; *p != '\0' && static_cast<std::size_t>(p - start) < TEXT_MAX_LENGTH; ++p)
        if (IsSeparator(*p))
            start = p + 1;
    CopyText(name, start);
}

void LFile::GetFileNameNoExtension(char (&name)[TEXT_BUFFER_SIZE], const char* path)
{
    _GetFileFromPath(name, path);
    char* point = strrchr(name, '.');
    if (point && point != name)
        *point = '\0';
}

std::size_t LFile::FilePathCat(char (&folderPath)[TEXT_BUFFER_SIZE], const char* name)
{
    std::size_t n = strnlen(folderPath, TEXT_MAX_LENGTH);
    if (n >= TEXT_MAX_LENGTH)
        return n;
    if (n > 0 && !IsSeparator(folderPath[n - 1]))
        AppendText(folderPath, "\\");
    return AppendText(folderPath, name);
}

std::size_t LFile::FilePathCatExt(char (&folderPath)[TEXT_BUFFER_SIZE], const char* name, const char* extension)
{
    std::size_t n = strnlen(folderPath, TEXT_MAX_LENGTH);
    if (n >= TEXT_MAX_LENGTH)
        return n;
    FilePathCat(folderPath, name);
    return AppendText(folderPath, extension);
}

bool LFile::IsDeviceFileName(const char* name)
{
    std::size_t stem = strcspn(name, ".");
    while (stem > 0 && name[stem - 1] == ' ')
        --stem;
    return IsDeviceStem(name, stem);
}

bool LFile::MakeValidFileName(const char* text, char (&name)[TEXT_BUFFER_SIZE])
{
    static const char kForbidden[] = "\"*./:<>?\\|";
    std::size_t n = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
         *p != '\0' && n < TEXT_MAX_LENGTH; ++p)
    {
        if (*p < 32 || *p >= 128 || strchr(kForbidden, *p))
            continue;
        name[n++] = static_cast<char>(*p);
    }
    name[n] = '\0';
    // Windows ignores trailing spaces in a name, so "nul  " is a device too.
    std::size_t stem = n;
    while (stem > 0 && name[stem - 1] == ' ')
        --stem;
    if (IsDeviceStem(name, stem))
    {
        name[stem] = '\0';
        AppendText(name, "_");
    }
    return n > 0;
}

bool LFile::IsInFolder(const char* path, const char* folder)
{
    std::size_t n = 0;
    for (; folder[n] != '\0'; ++n)
        if (LowerAscii(path[n]) != LowerAscii(folder[n]) && !(IsSeparator(path[n]) && IsSeparator(folder[n])))
            return false;
    if (n == 0 || !IsSeparator(path[n]))
        return false;
    // The parts after the folder: none may be "." or "..", and one must be named.
    bool bAnyPart = false;
    for (const char* part = path + n + 1; *part != '\0';)
    {
        std::size_t length = 0;
        while (part[length] != '\0' && !IsSeparator(part[length]))
            ++length;
        if ((length == 1 && part[0] == '.') || (length == 2 && part[0] == '.' && part[1] == '.'))
            return false;
        bAnyPart = bAnyPart || length > 0;
        part += part[length] != '\0' ? length + 1 : length;
    }
    return bAnyPart;
}
