#include "cdrom/LDeviceIo.h"

namespace {

class SystemDeviceIo : public LDeviceIo
{
public:
    DWORD LogicalDriveStrings(DWORD bufferLength, char* buffer) override
    {
        return GetLogicalDriveStringsA(bufferLength, buffer);
    }
    UINT DriveType(const char* root) override { return GetDriveTypeA(root); }
    HANDLE OpenDevice(const char* path, DWORD access, DWORD shareMode, DWORD flags) override
    {
        return CreateFileA(path, access, shareMode, nullptr, OPEN_EXISTING, flags, nullptr);
    }
    BOOL Control(HANDLE hDevice, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned,
                 OVERLAPPED* overlapped) override
    {
        return DeviceIoControl(hDevice, code, in, inSize, out, outSize, returned, overlapped);
    }
    BOOL Cancel(HANDLE hDevice) override { return CancelIo(hDevice); }
    BOOL CloseDevice(HANDLE hDevice) override { return CloseHandle(hDevice); }
};

SystemDeviceIo systemDeviceIo;
LDeviceIo* deviceIo = &systemDeviceIo;

} // namespace

LDeviceIo& DeviceIo() { return *deviceIo; }

void SetDeviceIo(LDeviceIo* io) { deviceIo = io ? io : &systemDeviceIo; }
