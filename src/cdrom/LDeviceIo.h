// The system calls through which the pass-through back end reaches drives: the
// drive-letter enumeration, opening a device, device control and cancelling.
// With real drives these are the plain system calls; tests point the seam at a
// virtual drive.
#pragma once

#include <windows.h>

class LDeviceIo
{
public:
    virtual ~LDeviceIo() = default;

    virtual DWORD LogicalDriveStrings(DWORD bufferLength, char* buffer) = 0;
    virtual UINT DriveType(const char* root) = 0;
    virtual HANDLE OpenDevice(const char* path, DWORD access, DWORD shareMode, DWORD flags) = 0;
    virtual BOOL Control(HANDLE hDevice, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                         DWORD* returned, OVERLAPPED* overlapped) = 0;
    // Cancels the requests the calling thread issued on the device.
    virtual BOOL Cancel(HANDLE hDevice) = 0;
    virtual BOOL CloseDevice(HANDLE hDevice) = 0;
};

// The seam in use: the system's calls unless a test installed another.
LDeviceIo& DeviceIo();
// Installs `io` (null: back to the system's calls).
void SetDeviceIo(LDeviceIo* io);
