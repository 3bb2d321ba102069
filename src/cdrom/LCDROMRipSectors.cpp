#include "cdrom/LCDROMRipSectors.h"

#include <algorithm>

#include "cdrom/CDCommands.h"
#include "cdrom/LSCSI.h"
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
};

// A sink whose write failed (a full disk, an encoder that died) takes no
// more: the rip stops at once instead of reading the rest for nothing.
bool SinkFailed(const LSoundSinkPtr& sink) { return sink && sink->bError; }

// Converts `nSectors` sectors of `buffer` and writes them to the sink in
// blocks the sink accepts; the frames handed on.
int Deliver(ReadBuffer& buffer, int nSectors, const LSoundSinkPtr& sink)
{
    const int nFrames = nSectors * CD_FRAMES_PER_SECTOR;
    int done = 0;
    while (done < nFrames && !SinkFailed(sink))
    {
        const int block = std::min(nFrames - done, BRIDGE_BLOCK_FRAMES);
        CDFramesToSamples(buffer.sectors + static_cast<size_t>(done) * 4, block, buffer.frames);
        if (sink)
            sink->Write(buffer.frames, block);
        done += block;
    }
    return done;
}

// Waits for the read in flight and checks how it ended: a read the drive
// failed must not be delivered as audio.
ProcessResult WaitForRead(LJobControl& job, LSCSI& scsi)
{
    const ProcessResult r = ProcessSCSIWaitForCommand(job, scsi, READ_TIMEOUT_MS);
    if (r != Done)
        return r;
    return ProcessSCSIExecuteCommandAsyncWait(job, scsi);
}

// Two buffers in turn: while the drive fills one, the other is delivered;
// then they swap.
ProcessResult RipSectors(LJobControl& job, LCDROMRipSectors& rip, LSCSI& scsi, ReadBuffer* a, ReadBuffer* b)
{
    if (!scsi.OpenCDROMDrive(rip.nDrive))
        return Failed;

    const int32_t end = rip.nEndSector;
    int32_t sector = rip.nStartSector;
    const int32_t nLength = std::max<int32_t>(end - sector, 0);
    const double step = end > sector ? PROGRESS_SECTORS_PER_READ / (end - sector) : 0.0;
    double progress = 0.0;
    ReadBuffer* reading = a;
    ReadBuffer* delivering = b;
    int nReading = std::min<int32_t>(nLength, FIRST_READ_SECTORS);
    int nDelivering = 0;
    int64_t nFramesDelivered = 0;
    for (;;)
    {
        if (nReading > 0)
        {
            const ProcessResult r =
                ProcessSCSICDReadDASectors(job, scsi, reading->sectors, static_cast<BYTE>(nReading), sector);
            if (r != Done)
                return r;
            sector += nReading;
        }
        nFramesDelivered += Deliver(*delivering, nDelivering, rip.Sink);
        if (nReading == 0)
            break;
        if (nDelivering > 0)
        {
            progress += step;
            job.SetProgress(progress);
        }
        int nNext = std::min<int32_t>(end - sector, CD_MAX_READ_SECTORS);
        if (job.IsStopped() || SinkFailed(rip.Sink))
            nNext = 0;
        const ProcessResult r = WaitForRead(job, scsi);
        if (r != Done)
            return r;
        std::swap(reading, delivering);
        nDelivering = nReading;
        nReading = nNext;
    }
    if (job.IsStopped())
        return Stopped;
    // A track counts as done only when every frame of it reached the sink.
    return nFramesDelivered == static_cast<int64_t>(nLength) * CD_FRAMES_PER_SECTOR ? Done : Failed;
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
