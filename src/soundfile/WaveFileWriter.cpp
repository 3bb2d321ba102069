#include "soundfile/WaveFileWriter.h"

WaveFileWriter::~WaveFileWriter()
{
    if (IsOpen())
        CloseHandle(hFile);
}

bool WaveFileWriter::Open(const char* path, DWORD share, DWORD disposition)
{
    hFile = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return IsOpen();
}

bool WaveFileWriter::Write(const void* bytes, DWORD size)
{
    DWORD written = 0;
    return IsOpen() && WriteFile(hFile, bytes, size, &written, nullptr) && written == size;
}

bool WaveFileWriter::Finish(const void* header, DWORD size)
{
    if (!IsOpen())
        return true;
    bool bDone = SetFilePointer(hFile, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER && Write(header, size);
    if (!CloseHandle(hFile))
        bDone = false;
    hFile = INVALID_HANDLE_VALUE;
    return bDone;
}
