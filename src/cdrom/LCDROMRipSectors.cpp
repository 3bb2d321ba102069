#include "cdrom/LCDROMRipSectors.h"

#include <algorithm>
#include <cstring>

#include "cdrom/CDCommands.h"
#include "cdrom/LSCSI.h"
#include "cdrom/ReadOffset.h"
#include "files/TextBuffer.h"

namespace {

const DWORD READ_TIMEOUT_MS = 40000;
const int FIRST_READ_SECTORS = 13;  // a short first read starts the delivery sooner
// The bar moves this many sectors' worth per read delivered.
const double PROGRESS_SECTORS_PER_READ = 27.0;

// One read buffer and the converted frames of what it holds.
struct ReadBuffer
{
    alignas(16) BYTE sectors[CD_MAX_READ_SECTORS * CD_SECTOR_SIZE];
    int32_t frames[BRIDGE_BLOCK_FRAMES * 2];
    int32_t nFirst;  // the drive's sector the buffer starts at
    bool bIssued;    // a read fills it; else it holds silence
};

// A sink whose write failed (a full disk, an encoder that died) takes no
// more: the rip stops at once instead of reading the rest for nothing.
bool SinkFailed(const LSoundSinkPtr& sink) { return sink && sink->bError; }

// What is left of the track's frames to hand on.
struct Delivery
{
    uint32_t nSkipLeft;    // frames of the first sectors before the track's first
    uint32_t nFramesLeft;  // frames of the track still to deliver
};

// Converts the track's frames among `nSectors` sectors of `buffer` and writes
// them to the sink in blocks the sink accepts; the frames handed on.
int Deliver(ReadBuffer& buffer, int nSectors, LCDROMRipSectors& rip, Delivery& delivery)
{
    const uint32_t nAll = static_cast<uint32_t>(nSectors) * CD_FRAMES_PER_SECTOR;
    const uint32_t skip = std::min(delivery.nSkipLeft, nAll);
    delivery.nSkipLeft -= skip;
    const int nFrames = static_cast<int>(std::min(nAll - skip, delivery.nFramesLeft));
    const BYTE* first = buffer.sectors + static_cast<size_t>(skip) * 4;
    int done = 0;
    while (done < nFrames && !SinkFailed(rip.Sink))
    {
        const int block = std::min(nFrames - done, BRIDGE_BLOCK_FRAMES);
        const BYTE* bytes = first + static_cast<size_t>(done) * 4;
        rip.Stats.Add(bytes, static_cast<uint32_t>(block));
        if (rip.pChecksum)
            rip.pChecksum->Add(bytes, static_cast<std::size_t>(block));
        CDFramesToSamples(bytes, block, buffer.frames);
        if (rip.Sink)
            rip.Sink->Write(buffer.frames, block);
        done += block;
    }
    delivery.nFramesLeft -= static_cast<uint32_t>(done);
    return done;
}

// Sectors of the next read from `sector`: at most `limit`, and never across
// the disc's start or its lead-out, so that a read lies wholly on the disc
// or wholly off it.
int ChunkSectors(int32_t sector, int32_t end, int limit, int32_t leadOut)
{
    int32_t n = std::min<int32_t>(end - sector, limit);
    if (sector < 0 && sector + n > 0)
        n = -sector;
    if (sector < leadOut && sector + n > leadOut)
        n = leadOut - sector;
    return static_cast<int>(std::max<int32_t>(n, 0));
}

bool OffDisc(int32_t sector, int32_t leadOut) { return sector < 0 || sector >= leadOut; }

// Issues the read of `nSectors` from `sector` into `buffer`, or fills it with
// silence where the drive is not asked.
ProcessResult IssueRead(LJobControl& job, LSCSI& scsi, LCDROMRipSectors& rip, ReadBuffer& buffer, int nSectors,
                        int32_t sector)
{
    buffer.nFirst = sector;
    buffer.bIssued = AskForSector(sector, rip.nLeadOut, rip.bOverread);
    if (!buffer.bIssued)
    {
        memset(buffer.sectors, 0, static_cast<size_t>(nSectors) * CD_SECTOR_SIZE);
        return Done;
    }
    return ProcessSCSICDReadDASectors(job, scsi, buffer.sectors, static_cast<BYTE>(nSectors), sector);
}

// Waits for the read in flight and checks how it ended: a read the drive
// failed must not be delivered as audio, except off the disc, where a drive
// may refuse what overreading asks for and the frames are silence.
ProcessResult WaitForRead(LJobControl& job, LSCSI& scsi, LCDROMRipSectors& rip, ReadBuffer& buffer, int nSectors)
{
    if (!buffer.bIssued)
        return Done;
    ProcessResult r = ProcessSCSIWaitForCommand(job, scsi, READ_TIMEOUT_MS);
    if (r != Done)
        return r;
    r = ProcessSCSIExecuteCommandAsyncWait(job, scsi);
    if (r == Failed && OffDisc(buffer.nFirst, rip.nLeadOut))
    {
        memset(buffer.sectors, 0, static_cast<size_t>(nSectors) * CD_SECTOR_SIZE);
        return Done;
    }
    return r;
}

// Two buffers in turn: while the drive fills one, the other is delivered;
// then they swap.
ProcessResult RipSectors(LJobControl& job, LCDROMRipSectors& rip, LSCSI& scsi, ReadBuffer* a, ReadBuffer* b)
{
    if (!scsi.OpenCDROMDrive(rip.nDrive))
        return Failed;

    const OffsetReadPlan plan = PlanOffsetRead(rip.nStartSector, std::max(rip.nEndSector, rip.nStartSector),
                                               rip.nCorrectionFrames);
    const int32_t end = plan.nEndSector;
    int32_t sector = plan.nFirstSector;
    const double step = end > sector ? PROGRESS_SECTORS_PER_READ / (end - sector) : 0.0;
    double progress = 0.0;
    Delivery delivery = {plan.nSkipFrames, plan.nFrames};
    ReadBuffer* reading = a;
    ReadBuffer* delivering = b;
    int nReading = ChunkSectors(sector, end, FIRST_READ_SECTORS, rip.nLeadOut);
    int nDelivering = 0;
    int64_t nFramesDelivered = 0;
    for (;;)
    {
        if (nReading > 0)
        {
            const ProcessResult r = IssueRead(job, scsi, rip, *reading, nReading, sector);
            if (r != Done)
                return r;
            sector += nReading;
        }
        nFramesDelivered += Deliver(*delivering, nDelivering, rip, delivery);
        if (nReading == 0)
            break;
        if (nDelivering > 0)
        {
            progress += step;
            job.SetProgress(progress);
        }
        int nNext = ChunkSectors(sector, end, CD_MAX_READ_SECTORS, rip.nLeadOut);
        if (job.IsStopped() || SinkFailed(rip.Sink))
            nNext = 0;
        const ProcessResult r = WaitForRead(job, scsi, rip, *reading, nReading);
        if (r != Done)
            return r;
        std::swap(reading, delivering);
        nDelivering = nReading;
        nReading = nNext;
    }
    if (job.IsStopped())
        return Stopped;
    // A track counts as done only when every frame of it reached the sink.
    return nFramesDelivered == static_cast<int64_t>(plan.nFrames) ? Done : Failed;
}

ProcessResult RunRip(LJobControl& job, LCDROMRipSectors& rip)
{
    auto* a = new ReadBuffer;
    auto* b = new ReadBuffer;
    ProcessResult r;
    {
        LSCSI scsi;
        r = RipSectors(job, rip, scsi, a, b);
        // A read still held by the drive after the abort may complete into
        // its buffer later: the buffers then stay allocated. The wait goes
        // through the job, so that its window keeps painting.
        if (!scsi.CancelOutstanding(job))
            return r;
    }
    delete a;
    delete b;
    return r;
}

} // namespace

ProcessResult Process(LJobControl& job, LCDROMRipSectors& rip)
{
    char line[TEXT_BUFFER_SIZE];
    FormatText(line, sizeof(line), "Loading %s", rip.szName ? rip.szName : "");
    job.SetText(0, line);
    job.SetText(1, "Ripping Digital Audio...");
    return RunRip(job, rip);
}
