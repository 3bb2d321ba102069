#include "cdrom/CDCommands.h"

#include <malloc.h>

#include <cstring>
#include <vector>

#include <winioctl.h>

#include "cdrom/LDeviceIo.h"
#include "cdrom/Subchannel.h"
#include "jobs/LWorkerJobControl.h"

namespace {

const DWORD TOC_TIMEOUT_MS = 20000;
// A drive looks for an ISRC or the catalog number through the Q subchannel
// of a track, which takes a while on some.
const DWORD DISC_DATA_TIMEOUT_MS = 10000;
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

// Runs a command that answers with up to `size` bytes into `answer` (zeros
// where the drive sent nothing). Done with the answer; Failed or Stopped
// without one.
ProcessResult ReadAnswer(LJobControl& job, LSCSI& scsi, BYTE* cdb, BYTE cdbLength, std::size_t size,
                         std::vector<BYTE>& answer)
{
    // Aligned as the transfers want it, and on the heap: a drive that still
    // holds the request after an abort may write into it later.
    auto* buffer = static_cast<BYTE*>(_aligned_malloc(size, 16));
    if (!buffer)
        return Failed;
    memset(buffer, 0, size);
    const ProcessResult r = ProcessSCSIExecuteCommand(job, scsi, cdb, false, DISC_DATA_TIMEOUT_MS,
                                                      static_cast<DWORD>(size), buffer, cdbLength);
    if (r != Done)
    {
        if (scsi.CancelOutstanding(job))
            _aligned_free(buffer);
        return r;
    }
    answer.assign(buffer, buffer + size);
    _aligned_free(buffer);
    return Done;
}

// The Q position of single sectors, read through the job: a read that fails
// or is stopped gives none.
class DriveQReader : public QPositionReader
{
public:
    DriveQReader(LJobControl& job, LSCSI& scsi) : job(job), scsi(scsi) {}
    bool ReadPosition(int32_t sector, QPosition& position) override
    {
        if (job.IsStopped())
            return false;
        BYTE cdb[12];
        MakeReadCDWithQCdb(cdb, sector);
        std::vector<BYTE> answer;
        return ReadAnswer(job, scsi, cdb, sizeof(cdb), CD_SECTOR_SIZE + FORMATTED_Q_SIZE, answer) == Done
               && ParseFormattedQ(answer.data() + CD_SECTOR_SIZE, position);
    }

private:
    LJobControl& job;
    LSCSI& scsi;
};

} // namespace

ProcessResult ProcessSCSICDFindGaps(LJobControl& job, LSCSI& scsi, LCDDBInfo& info)
{
    DriveQReader reader(job, scsi);
    for (int i = 1; i < info.nTracks; ++i)
    {
        LCDTrack& track = info.Tracks[i];
        if (track.bData || info.Tracks[i - 1].bData)
            continue;
        track.nGapStart = FindGapStart(reader, i + 1, info.Tracks[i - 1].nStartSector, track.nStartSector);
        if (job.IsStopped())
            return Stopped;
    }
    return Done;
}

ProcessResult ProcessSCSICDHasAudioBefore(LJobControl& job, LSCSI& scsi, int32_t endSector, bool& bAudio)
{
    bAudio = false;
    for (int32_t sector = 0; sector < endSector && !bAudio; sector += CD_MAX_READ_SECTORS)
    {
        const int32_t count = endSector - sector < CD_MAX_READ_SECTORS ? endSector - sector : CD_MAX_READ_SECTORS;
        BYTE cdb[12];
        MakeReadCDAudioCdb(cdb, sector, static_cast<uint8_t>(count), 0);
        std::vector<BYTE> answer;
        const ProcessResult r =
            ReadAnswer(job, scsi, cdb, sizeof(cdb), static_cast<std::size_t>(count) * CD_SECTOR_SIZE, answer);
        if (r != Done)
            return r;
        for (BYTE b : answer)
            bAudio = bAudio || b != 0;
    }
    return Done;
}

ProcessResult ProcessSCSICDReadCDText(LJobControl& job, LSCSI& scsi, CDText& text)
{
    text = CDText{};
    BYTE cdb[10];
    MakeReadCDTextCdb(cdb);
    std::vector<BYTE> answer;
    const ProcessResult r = ReadAnswer(job, scsi, cdb, sizeof(cdb), CDTEXT_ANSWER_SIZE, answer);
    if (r != Done)
        return r;
    return ParseCDText(answer.data(), answer.size(), text) ? Done : Failed;
}

ProcessResult ProcessSCSICDReadCatalog(LJobControl& job, LSCSI& scsi, char (&catalog)[14])
{
    catalog[0] = '\0';
    BYTE cdb[10];
    MakeReadSubchannelCdb(cdb, SUBCHANNEL_CATALOG, 0);
    std::vector<BYTE> answer;
    const ProcessResult r = ReadAnswer(job, scsi, cdb, sizeof(cdb), SUBCHANNEL_RESPONSE_SIZE, answer);
    if (r != Done)
        return r;
    return ParseCatalogAnswer(answer.data(), answer.size(), catalog) ? Done : Failed;
}

ProcessResult ProcessSCSICDReadIsrc(LJobControl& job, LSCSI& scsi, uint8_t track, char (&isrc)[13])
{
    isrc[0] = '\0';
    BYTE cdb[10];
    MakeReadSubchannelCdb(cdb, SUBCHANNEL_ISRC, track);
    std::vector<BYTE> answer;
    const ProcessResult r = ReadAnswer(job, scsi, cdb, sizeof(cdb), SUBCHANNEL_RESPONSE_SIZE, answer);
    if (r != Done)
        return r;
    return ParseIsrcAnswer(answer.data(), answer.size(), isrc) ? Done : Failed;
}

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
