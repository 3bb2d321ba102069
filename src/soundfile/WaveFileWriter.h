// The file under a WAV sink: the header goes first with the sizes unknown,
// the data follows, and Finish writes the header again with the sizes and
// closes the file. Every failure is reported, so that a sink can tell a
// complete file from a broken one (a full disk).
#pragma once

#include <windows.h>

class WaveFileWriter
{
public:
    WaveFileWriter() = default;
    // Closes a file that was not finished, leaving its header as it is.
    ~WaveFileWriter();
    WaveFileWriter(const WaveFileWriter&) = delete;
    WaveFileWriter& operator=(const WaveFileWriter&) = delete;

    // Opens `path` for reading and writing with CreateFileA's `share` and
    // `disposition`; false when it cannot be opened.
    bool Open(const char* path, DWORD share, DWORD disposition);
    bool IsOpen() const { return hFile != INVALID_HANDLE_VALUE; }
    HANDLE Handle() const { return hFile; }
    // False when the file is not open or not all of it was written.
    bool Write(const void* bytes, DWORD size);
    // Writes `header` at the start of the file and closes it; false when any
    // step failed. A file that is not open is left alone (true).
    bool Finish(const void* header, DWORD size);
    // Closes the file; false when closing failed. A file that is not open is
    // left alone (true).
    bool Close();

private:
    HANDLE hFile = INVALID_HANDLE_VALUE;
};
