#include "files/LFile.h"

#include <cstring>

#include "files/TextBuffer.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

} // namespace

void LFile::_GetFolderFromPath(char* folder, const char* path)
{
    std::size_t n = 0;
    std::size_t lastSeparator = 0;
    for (; path[n] != '\0' && n < TEXT_BUFFER_SIZE; ++n)
    {
        folder[n] = path[n];
        if (IsSeparator(path[n]))
            lastSeparator = n;
    }
    folder[lastSeparator] = '\0';
}

void LFile::_GetFileFromPath(char* name, const char* path)
{
    std::size_t n = 0;
    for (const char* p = path; *p != '\0' && n < TEXT_MAX_LENGTH; ++p)
    {
        if (IsSeparator(*p))
            n = 0;
        else
            name[n++] = *p;
    }
    name[n] = '\0';
}

void LFile::GetFileNameNoExtension(char* name, const char* path)
{
    _GetFileFromPath(name, path);
    char* point = strrchr(name, '.');
    if (point && point != name)
        *point = '\0';
}

std::size_t LFile::FilePathCat(char* folderPath, const char* name)
{
    std::size_t n = strnlen(folderPath, TEXT_MAX_LENGTH);
    if (n >= TEXT_MAX_LENGTH)
        return n;
    if (n > 0 && !IsSeparator(folderPath[n - 1]))
    {
        folderPath[n++] = '\\';
        folderPath[n] = '\0';
    }
    return AppendText(folderPath, TEXT_BUFFER_SIZE, name);
}

std::size_t LFile::FilePathCatExt(char* folderPath, const char* name, const char* extension)
{
    std::size_t n = strnlen(folderPath, TEXT_MAX_LENGTH);
    if (n >= TEXT_MAX_LENGTH)
        return n;
    FilePathCat(folderPath, name);
    return AppendText(folderPath, TEXT_BUFFER_SIZE, extension);
}

bool LFile::MakeValidFileName(const char* text, char* name)
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
    return n > 0;
}
