#include "vdrive/VirtualDeviceIo.h"

#include <cstring>
#include <ntddscsi.h>
#include <winioctl.h>

#include "cdrom/CDCommandBlocks.h"

namespace {

// NTSTATUS values an overlapped record carries.
const ULONG_PTR STATUS_SUCCESS_VALUE = 0x00000000;
const ULONG_PTR STATUS_PENDING_VALUE = 0x00000103;
const ULONG_PTR STATUS_CANCELLED_VALUE = 0xC0000120;

// A device handle names its drive letter; no real handle has these values.
const uintptr_t HANDLE_BASE = 0x7D000000;

HANDLE HandleOf(char letter) { return reinterpret_cast<HANDLE>(HANDLE_BASE + static_cast<uintptr_t>(letter)); }

} // namespace

void VirtualDeviceIo::AddDrive(char letter, UINT driveType, const DriveConfig& config)
{
    Letter& entry = letters[letter];
    entry.driveType = driveType;
    if (driveType == DRIVE_CDROM)
        entry.drive = std::make_unique<VirtualDrive>(config, errors);
}

SectorReadCount VirtualDeviceIo::ReadCount(char letter, int64_t sector)
{
    VirtualDrive* drive = DriveOf(HandleOf(letter));
    return drive ? queue.ReadCount(*drive, sector) : SectorReadCount();
}

DWORD VirtualDeviceIo::LogicalDriveStrings(DWORD bufferLength, char* buffer)
{
    std::string roots;
    for (const auto& entry : letters)
        roots += std::string(1, entry.first) + ":\\" + std::string(1, '\0');
    if (roots.size() + 1 > bufferLength)
        return static_cast<DWORD>(roots.size() + 1);
    memcpy(buffer, roots.c_str(), roots.size() + 1);
    return static_cast<DWORD>(roots.size());
}

UINT VirtualDeviceIo::DriveType(const char* root)
{
    auto entry = letters.find(root[0]);
    return entry == letters.end() ? DRIVE_NO_ROOT_DIR : entry->second.driveType;
}

HANDLE VirtualDeviceIo::OpenDevice(const char* path, DWORD, DWORD, DWORD)
{
    lastOpenedPath = path;
    // Only "\\.\X:" opens a drive.
    if (strlen(path) != 6 || strncmp(path, "\\\\.\\", 4) != 0 || path[5] != ':' || !DriveOf(HandleOf(path[4])))
    {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return HandleOf(path[4]);
}

VirtualDrive* VirtualDeviceIo::DriveOf(HANDLE hDevice)
{
    const uintptr_t value = reinterpret_cast<uintptr_t>(hDevice);
    if (value < HANDLE_BASE || value > HANDLE_BASE + 0xFF)
        return nullptr;
    auto entry = letters.find(static_cast<char>(value - HANDLE_BASE));
    return entry == letters.end() ? nullptr : entry->second.drive.get();
}

BOOL VirtualDeviceIo::Control(HANDLE hDevice, DWORD code, void* in, DWORD inSize, void*, DWORD, DWORD* returned,
                              OVERLAPPED* overlapped)
{
    ++nControlCalls;
    VirtualDrive* drive = DriveOf(hDevice);
    if (!drive || !overlapped)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (drive->Config().bReject)
    {
        SetLastError(ERROR_IO_DEVICE);
        return FALSE;
    }
    *returned = 0;
    uint8_t cdb[16] = {};
    int cdbLength = 0;
    SCSI_PASS_THROUGH_DIRECT* sptd = nullptr;
    if (code == IOCTL_SCSI_PASS_THROUGH_DIRECT && in && inSize >= sizeof(SCSI_PASS_THROUGH_DIRECT))
    {
        sptd = static_cast<SCSI_PASS_THROUGH_DIRECT*>(in);
        cdbLength = sptd->CdbLength <= 16 ? sptd->CdbLength : 16;
        memcpy(cdb, sptd->Cdb, cdbLength);
    }
    else if (code == IOCTL_DISK_EJECT_MEDIA || code == IOCTL_DISK_LOAD_MEDIA)
    {
        MakeStartStopUnitCdb(cdb, code == IOCTL_DISK_LOAD_MEDIA);
        cdbLength = 6;
    }
    else
    {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }

    ResetEvent(overlapped->hEvent);
    overlapped->Internal = STATUS_PENDING_VALUE;
    OVERLAPPED* previous = inFlight.count(hDevice) ? inFlight[hDevice] : nullptr;
    inFlight[hDevice] = overlapped;
    const int iCommand = ++nIssued;
    const bool dataIn = sptd && sptd->DataIn == SCSI_IOCTL_DATA_IN;
    queue.Submit(hDevice, *drive, cdb, cdbLength, dataIn ? static_cast<uint8_t*>(sptd->DataBuffer) : nullptr,
                 dataIn ? sptd->DataTransferLength : 0, [this, sptd, overlapped](const CommandResult& result) {
                     if (sptd)
                     {
                         sptd->ScsiStatus = result.status;
                         sptd->DataTransferLength = result.nTransferred;
                         if (result.status == SCSI_STATUS_CHECK_CONDITION)
                         {
                             const size_t n = sptd->SenseInfoLength < SENSE_SIZE ? sptd->SenseInfoLength
                                                                                 : SENSE_SIZE;
                             memcpy(reinterpret_cast<uint8_t*>(sptd) + sptd->SenseInfoOffset, result.sense, n);
                         }
                     }
                     // Last, and ordered after the data, as a driver completes a request.
                     __atomic_store_n(&overlapped->Internal, STATUS_SUCCESS_VALUE, __ATOMIC_RELEASE);
                     ++nCompleted;
                     SetEvent(overlapped->hEvent);
                 },
                 heldCommands.count(iCommand) != 0);
    if (bSignalsLate && previous)
        SetEvent(previous->hEvent);
    if (onIssue)
        onIssue(iCommand);
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

BOOL VirtualDeviceIo::Cancel(HANDLE hDevice)
{
    ++nCancels;
    if (onCancel)
        onCancel();
    auto request = inFlight.find(hDevice);
    if (bCancelIgnored || request == inFlight.end() || !queue.Abort(hDevice))
        return TRUE;
    __atomic_store_n(&request->second->Internal, STATUS_CANCELLED_VALUE, __ATOMIC_RELEASE);
    SetEvent(request->second->hEvent);
    return TRUE;
}

BOOL VirtualDeviceIo::CloseDevice(HANDLE hDevice)
{
    // As with a driver, closing the handle does not stop a request in flight
    // from completing into the memory it was given.
    inFlight.erase(hDevice);
    return DriveOf(hDevice) != nullptr;
}
