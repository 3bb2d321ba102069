#include "app/RipLogFile.h"

#include <cstring>

bool RipLogFile::Create(const char* path)
{
    Close();
    hFile = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return hFile != INVALID_HANDLE_VALUE;
}

bool RipLogFile::Write(const char* text)
{
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    const DWORD size = static_cast<DWORD>(strlen(text));
    DWORD written = 0;
    return WriteFile(hFile, text, size, &written, nullptr) && written == size;
}

void RipLogFile::Close()
{
    if (hFile != INVALID_HANDLE_VALUE)
        CloseHandle(hFile);
    hFile = INVALID_HANDLE_VALUE;
}
