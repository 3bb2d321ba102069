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
    const bool bDone = SetFilePointer(hFile, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER && Write(header, size);
    return Close() && bDone;
}

bool WaveFileWriter::Close()
{
    if (!IsOpen())
        return true;
    const bool bClosed = CloseHandle(hFile) != 0;
    hFile = INVALID_HANDLE_VALUE;
    return bClosed;
}
