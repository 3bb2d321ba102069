// The pass-through seam pointed at virtual drives: drive letters of chosen
// types, and for CD-ROM letters a VirtualDrive that answers the pass-through
// and eject/load control calls asynchronously, as a driver does.
#pragma once

#include <windows.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "cdrom/LDeviceIo.h"
#include "vdrive/VirtualDrive.h"

class VirtualDeviceIo : public LDeviceIo
{
public:
    // Adds drive letter `letter` of `driveType`; a CD-ROM letter serves `config`.
    void AddDrive(char letter, UINT driveType, const DriveConfig& config = DriveConfig());

    DWORD LogicalDriveStrings(DWORD bufferLength, char* buffer) override;
    UINT DriveType(const char* root) override;
    HANDLE OpenDevice(const char* path, DWORD access, DWORD shareMode, DWORD flags) override;
    BOOL Control(HANDLE hDevice, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned,
                 OVERLAPPED* overlapped) override;
    BOOL Cancel(HANDLE hDevice) override;
    BOOL CloseDevice(HANDLE hDevice) override;

    std::atomic<int> nControlCalls{0};
    std::string lastOpenedPath;

private:
    struct Letter
    {
        UINT driveType;
        std::unique_ptr<VirtualDrive> drive;
    };
    VirtualDrive* DriveOf(HANDLE hDevice);

    std::map<char, Letter> letters;
    std::map<HANDLE, OVERLAPPED*> inFlight;  // the request each handle has in flight
    std::string errors;
    CommandQueue queue;  // last: stopped before the drives go
};
