// The rip's log file, written part by part as the rip goes, so that what is
// on the disk always tells how far the rip came.
#pragma once

#include <windows.h>

class RipLogFile
{
public:
    RipLogFile() = default;
    ~RipLogFile() { Close(); }
    RipLogFile(const RipLogFile&) = delete;
    RipLogFile& operator=(const RipLogFile&) = delete;

    // Creates or empties the file; false when it cannot be written.
    bool Create(const char* path);
    // Appends the text and hands it to the system at once; false when it
    // could not be written whole.
    bool Write(const char* text);
    void Close();

private:
    HANDLE hFile = INVALID_HANDLE_VALUE;
};
