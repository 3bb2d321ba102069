#include "cdrom/CDCommands.h"

#include <cstring>
#include <winioctl.h>

#include "cdrom/LDeviceIo.h"
#include "jobs/LWorkerJobControl.h"

namespace {

const DWORD TOC_TIMEOUT_MS = 20000;
const DWORD EJECT_TIMEOUT_MS = 10000;
const DWORD INQUIRY_TIMEOUT_MS = 10000;

struct TOCResponse
{
    alignas(16) BYTE bytes[TOC_RESPONSE_SIZE];
};

void LCDEjectLoad(BYTE drive, bool bLoad)
{
    LSCSI scsi;
    if (!scsi.OpenCDROMDrive(drive))
        return;
    if (UseASPI32 == 1)
    {
        BYTE cdb[6];
        MakeStartStopUnitCdb(cdb, bLoad);
        // No window runs the command, so nothing stops it.
        const LSignalObject neverStopped;
        LWorkerJobControl job(neverStopped);
        ProcessSCSIExecuteCommand(job, scsi, cdb, false, EJECT_TIMEOUT_MS, 0, nullptr, sizeof(cdb));
        return;
    }
    // The device is open for overlapped I/O, so the control call takes the
    // object's overlapped record and is waited for on its event.
    OVERLAPPED& overlapped = scsi.pRequest->Overlapped;
    DWORD returned = 0;
    ResetEvent(overlapped.hEvent);
    if (DeviceIo().Control(scsi.hDevice, bLoad ? IOCTL_DISK_LOAD_MEDIA : IOCTL_DISK_EJECT_MEDIA, nullptr, 0,
                           nullptr, 0, &returned, &overlapped)
        || GetLastError() != ERROR_IO_PENDING)
        SetEvent(overlapped.hEvent);
    WaitForSingleObject(overlapped.hEvent, EJECT_TIMEOUT_MS);
}

} // namespace

ProcessResult ProcessSCSICDGetTOC(LJobControl& job, LSCSI& scsi, CDTableOfContents& toc)
{
    toc.nTracks = 0;
    auto* response = new TOCResponse;
    memset(response->bytes, TOC_UNSENT_FILL, sizeof(response->bytes));
    BYTE cdb[10];
    MakeReadTOCCdb(cdb);
    ProcessResult r = ProcessSCSIExecuteCommand(job, scsi, cdb, false, TOC_TIMEOUT_MS, sizeof(response->bytes),
                                                response->bytes, sizeof(cdb));
    if (r != Done)
    {
        // A drive that still holds the request after the abort may write into
        // the response later: it stays allocated.
        if (scsi.CancelOutstanding(job))
            delete response;
        return r;
    }
    // A reply may claim more than the drive sent. Pass-through reports the
    // bytes transferred; the ASPI manager does not, and there the descriptors
    // still as filled are taken as unsent.
    std::size_t nSent = sizeof(response->bytes);
    if (UseASPI32 == 1)
        nSent = TOCResponseBytesSent(response->bytes, nSent);
    else if (scsi.pRequest->Sptd.Sptd.DataTransferLength < nSent)
        nSent = scsi.pRequest->Sptd.Sptd.DataTransferLength;
    r = ParseTOCResponse(response->bytes, nSent, toc);
    delete response;
    return r;
}

ProcessResult ProcessSCSICDReadDASectors(LJobControl& job, LSCSI& scsi, void* buffer, BYTE nSectors,
                                         LONG startSector)
{
    BYTE cdb[12];
    MakeReadCDCdb(cdb, startSector, nSectors);
    return ProcessSCSIExecuteCommandAsync(job, scsi, cdb, false, static_cast<DWORD>(nSectors) * CD_SECTOR_SIZE,
                                          buffer, sizeof(cdb));
}

ProcessResult ProcessSCSIGetDriveName(LJobControl& job, LSCSI& scsi, char (&name)[TEXT_BUFFER_SIZE])
{
    name[0] = '\0';
    struct InquiryResponse
    {
        alignas(16) BYTE bytes[INQUIRY_RESPONSE_SIZE];
    };
    auto* response = new InquiryResponse{};
    BYTE cdb[6];
    MakeInquiryCdb(cdb);
    const ProcessResult r = ProcessSCSIExecuteCommand(job, scsi, cdb, false, INQUIRY_TIMEOUT_MS,
                                                      sizeof(response->bytes), response->bytes, sizeof(cdb));
    if (r == Done)
        MakeDriveName(response->bytes, sizeof(response->bytes), name, sizeof(name));
    // A drive that still holds the request after the abort may write into
    // the response later: it stays allocated.
    if (r == Done || scsi.CancelOutstanding(job))
        delete response;
    return r;
}

void LCDEject(BYTE drive) { LCDEjectLoad(drive, false); }

void LCDLoad(BYTE drive) { LCDEjectLoad(drive, true); }
