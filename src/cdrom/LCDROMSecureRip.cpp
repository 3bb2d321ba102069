#include "cdrom/LCDROMSecureRip.h"

#include <algorithm>
#include <cstring>

#include "cdrom/CDCommandBlocks.h"
#include "cdrom/CDCommands.h"
#include "cdrom/LSCSI.h"
#include "files/TextBuffer.h"

namespace {

const DWORD READ_TIMEOUT_MS = 40000;
const BYTE SENSE_MEDIUM_ERROR = 0x03;
const BYTE SENSE_ILLEGAL_REQUEST = 0x05;
// The larger C2 layout, for the transfer buffer.
const int C2_LARGEST = 296;

// A transfer of one READ CD, with or without C2 pointers.
struct TransferBuffer
{
    alignas(16) BYTE bytes[CD_MAX_READ_SECTORS * CD_SECTOR_SIZE];
};
static_assert(CD_MAX_READ_SECTORS_WITH_C2 * (CD_SECTOR_SIZE + C2_LARGEST) <= sizeof(TransferBuffer::bytes),
              "a read with C2 pointers fits the buffer of a plain read");

// READ CD of audio through LSCSI, each command waited for through the job.
class ScsiAudioReader : public AudioSectorReader
{
public:
    ScsiAudioReader(LJobControl& job, LSCSI& scsi, TransferBuffer& buffer, int nC2Bytes)
        : job(job), scsi(scsi), buffer(buffer), nC2Bytes(nC2Bytes)
    {
    }

    AudioReadResult ReadAudio(int32_t sector, int nSectors, uint8_t* data, uint8_t* c2) override
    {
        const int c2Bytes = c2 ? nC2Bytes : 0;
        const int stride = CD_SECTOR_SIZE + c2Bytes;
        BYTE cdb[12];
        MakeReadCDAudioCdb(cdb, sector, static_cast<uint8_t>(nSectors), c2Bytes);
        if (ProcessSCSIExecuteCommandAsync(job, scsi, cdb, false, static_cast<DWORD>(nSectors) * stride,
                                           buffer.bytes, sizeof(cdb)) != Done)
            return AudioReadResult::Failed;
        // A stop or a time-out leaves the read in flight: the job ends, and
        // cancels it.
        if (ProcessSCSIWaitForCommand(job, scsi, READ_TIMEOUT_MS) != Done)
            return AudioReadResult::Failed;
        if (ProcessSCSIExecuteCommandAsyncWait(job, scsi) != Done)
            return SCSISenseKey(scsi) == SENSE_MEDIUM_ERROR ? AudioReadResult::MediumError : AudioReadResult::Failed;
        for (int i = 0; i < nSectors; ++i)
        {
            const BYTE* from = buffer.bytes + static_cast<size_t>(i) * stride;
            memcpy(data + static_cast<size_t>(i) * CD_SECTOR_SIZE, from, CD_SECTOR_SIZE);
            if (!c2)
                continue;
            uint8_t* pointers = c2 + static_cast<size_t>(i) * C2_BYTES_PER_SECTOR;
            memcpy(pointers, from + CD_SECTOR_SIZE, C2_BYTES_PER_SECTOR);
            // Drives put the block error byte before the pointers or after
            // them: a sector is flagged when any of its 296 bytes is set.
            if (c2Bytes > C2_BYTES_PER_SECTOR && (from[CD_SECTOR_SIZE + 294] | from[CD_SECTOR_SIZE + 295]))
                pointers[C2_BYTES_PER_SECTOR - 1] |= 1;
        }
        return AudioReadResult::Good;
    }

private:
    LJobControl& job;
    LSCSI& scsi;
    TransferBuffer& buffer;
    int nC2Bytes;
};

// Hands the proven frames on to the sink as the pipeline's samples.
class SinkEvents : public SecureReadEvents
{
public:
    SinkEvents(LJobControl& job, const LSoundSinkPtr& sink, AccurateRipChecksum* checksum)
        : job(job), sink(sink), checksum(checksum)
    {
    }

    bool Deliver(const uint8_t* pcm, uint32_t nFrames) override
    {
        if (checksum)
            checksum->Add(pcm, nFrames);
        uint32_t done = 0;
        while (done < nFrames && !SinkFailed())
        {
            const int block = static_cast<int>(std::min<uint32_t>(nFrames - done, BRIDGE_BLOCK_FRAMES));
            CDFramesToSamples(pcm + static_cast<size_t>(done) * 4, block, samples);
            if (sink)
                sink->Write(samples, block);
            done += static_cast<uint32_t>(block);
        }
        return !SinkFailed();
    }
    bool IsStopped() override { return job.IsStopped(); }
    void Progress(double fraction) override { job.SetProgress(fraction); }

    bool SinkFailed() const { return sink && sink->bError; }

private:
    LJobControl& job;
    const LSoundSinkPtr& sink;
    AccurateRipChecksum* checksum;
    int32_t samples[BRIDGE_BLOCK_FRAMES * 2];
};

// The C2 layout the drive gives: 294 bytes, else 296, else none. Only a
// refusal (ILLEGAL REQUEST) says a layout is not served; a sector the disc
// cannot give says nothing about it. C2_NOT_PROBED when the job stopped.
int ProbeC2(LJobControl& job, LSCSI& scsi, TransferBuffer& buffer, int32_t sector)
{
    for (int layout : {294, 296})
    {
        BYTE cdb[12];
        MakeReadCDAudioCdb(cdb, sector, 1, layout);
        if (ProcessSCSIExecuteCommandAsync(job, scsi, cdb, false, CD_SECTOR_SIZE + layout, buffer.bytes,
                                           sizeof(cdb)) != Done)
            continue;
        if (ProcessSCSIWaitForCommand(job, scsi, READ_TIMEOUT_MS) != Done)
            return C2_NOT_PROBED;
        if (ProcessSCSIExecuteCommandAsyncWait(job, scsi) == Done || SCSISenseKey(scsi) != SENSE_ILLEGAL_REQUEST)
            return layout;
    }
    return 0;
}

ProcessResult ReadSecurely(LJobControl& job, LCDROMSecureRip& rip, LSCSI& scsi, TransferBuffer& buffer)
{
    if (!scsi.OpenCDROMDrive(rip.nDrive))
        return Failed;
    if (rip.nC2Bytes == C2_NOT_PROBED)
    {
        const int probed = ProbeC2(job, scsi, buffer, rip.nStartSector);
        if (probed == C2_NOT_PROBED)
            return job.IsStopped() ? Stopped : Failed;
        rip.nC2Bytes = probed;
    }
    rip.Settings.bC2 = rip.nC2Bytes > 0;
    ScsiAudioReader reader(job, scsi, buffer, rip.nC2Bytes);
    SinkEvents events(job, rip.Sink, rip.pChecksum);
    const SecureReadResult r =
        ReadTrackSecurely(reader, rip.Settings, rip.nStartSector, rip.nEndSector, events, rip.Report, rip.pBuffers);
    if (events.SinkFailed())
        return Failed;
    if (job.IsStopped())
        return Stopped;
    if (r != SecureReadResult::Done)
        return Failed;
    // A track counts as done only when every frame of it reached the sink.
    const OffsetReadPlan plan = PlanOffsetRead(rip.nStartSector, rip.nEndSector, rip.Settings.nCorrectionFrames);
    return rip.Report.nFrames == plan.nFrames ? Done : Failed;
}

} // namespace

ProcessResult Process(LJobControl& job, LCDROMC2Probe& probe)
{
    job.SetText(0, "Asking the drive for its C2 error pointers");
    job.SetText(1, "Please wait...");
    auto* buffer = new TransferBuffer;
    ProcessResult r = Failed;
    {
        LSCSI scsi;
        if (scsi.OpenCDROMDrive(probe.nDrive))
        {
            probe.nC2Bytes = ProbeC2(job, scsi, *buffer, probe.nSector);
            r = probe.nC2Bytes != C2_NOT_PROBED ? Done : job.IsStopped() ? Stopped : Failed;
        }
        if (!scsi.CancelOutstanding(job))
            return r;
    }
    delete buffer;
    return r;
}

ProcessResult Process(LJobControl& job, LCDROMSecureRip& rip)
{
    char line[TEXT_BUFFER_SIZE];
    FormatText(line, sizeof(line), "Loading %s", rip.szName ? rip.szName : "");
    job.SetText(0, line);
    job.SetText(1, "Ripping Digital Audio (secure)...");
    auto* buffer = new TransferBuffer;
    ProcessResult r;
    {
        LSCSI scsi;
        r = ReadSecurely(job, rip, scsi, *buffer);
        // A read the drive still holds after the abort may complete into the
        // buffer later: it then stays allocated.
        if (!scsi.CancelOutstanding(job))
            return r;
    }
    delete buffer;
    return r;
}
