#include "cdrom/LCDROMRipSectors.h"

#include <algorithm>

#include "cdrom/CDCommands.h"
#include "cdrom/LSCSI.h"
#include "files/TextBuffer.h"
#include "jobs/LProgressDialog.h"
#include "jobs/LSignalObject.h"

namespace {

const DWORD READ_TIMEOUT_MS = 40000;
const int FIRST_READ_SECTORS = 13;  // a short first read starts the delivery sooner
// The bar moves this many sectors' worth per two reads.
const double PROGRESS_SECTORS_PER_STEP = 54.0;

// What the job needs of whoever runs it: the progress window, or a worker's
// stop signal.
class RipControl
{
public:
    virtual ~RipControl() = default;
    virtual void SetText(int line, const char* text) = 0;
    virtual void SetProgress(double fraction) = 0;
    virtual bool IsStopped() = 0;
    // 0 when `event` was signalled, 1 stopped, 2 time-out.
    virtual int Wait(HANDLE event, DWORD timeoutMs) = 0;
    // The runner the SCSI commands report to; null on a worker.
    virtual LProgressDialog* Job() = 0;
};

class DialogControl : public RipControl
{
public:
    explicit DialogControl(LProgressDialog* job) : job(job) {}
    void SetText(int line, const char* text) override { job->SetText(line, text); }
    void SetProgress(double fraction) override { job->SetProgress(fraction); }
    bool IsStopped() override { return job->ProcessMessages(); }
    int Wait(HANDLE event, DWORD timeoutMs) override { return job->WaitForHandle(event, timeoutMs); }
    LProgressDialog* Job() override { return job; }

private:
    LProgressDialog* job;
};

class WorkerControl : public RipControl
{
public:
    explicit WorkerControl(LSignalObject& stop) : stop(stop) {}
    void SetText(int, const char*) override {}
    void SetProgress(double) override {}
    bool IsStopped() override { return stop.IsSet(); }
    int Wait(HANDLE event, DWORD timeoutMs) override { return stop.WaitSignalDual(event, timeoutMs); }
    LProgressDialog* Job() override { return nullptr; }

private:
    LSignalObject& stop;
};

// One read buffer and the converted frames of what it holds.
struct ReadBuffer
{
    alignas(16) BYTE sectors[CD_MAX_READ_SECTORS * CD_SECTOR_SIZE];
    int32_t frames[BRIDGE_BLOCK_FRAMES * 2];
};

// Converts `nSectors` sectors of `buffer` and writes them to the sink in
// blocks the sink accepts.
void Deliver(ReadBuffer& buffer, int nSectors, const LSoundSinkPtr& sink)
{
    const int nFrames = nSectors * CD_FRAMES_PER_SECTOR;
    for (int done = 0; done < nFrames;)
    {
        const int block = std::min(nFrames - done, BRIDGE_BLOCK_FRAMES);
        CDFramesToSamples(buffer.sectors + static_cast<size_t>(done) * 4, block, buffer.frames);
        if (sink)
            sink->Write(buffer.frames, block);
        done += block;
    }
}

// Waits for the read in flight and checks how it ended: a read the drive
// failed must not be delivered as audio.
int WaitForRead(RipControl& control, LSCSI& scsi)
{
    const int r = control.Wait(scsi.CompletionEvent(), READ_TIMEOUT_MS);
    if (r != 0)
        return r;
    return ProcessSCSIExecuteCommandAsyncWait(control.Job(), scsi);
}

// Two buffers in turn: while the drive fills one, the other is delivered.
int RipSectors(RipControl& control, LCDROMRipSectors& rip, LSCSI& scsi, ReadBuffer* a, ReadBuffer* b)
{
    if (!scsi.OpenCDROMDrive(rip.nDrive))
        return Failed;

    const int32_t end = rip.nEndSector;
    int32_t sector = rip.nStartSector;
    const double step = end > sector ? PROGRESS_SECTORS_PER_STEP / (end - sector) : 0.0;
    double progress = 0.0;
    int nA = std::min<int32_t>(std::max<int32_t>(end - sector, 0), FIRST_READ_SECTORS);
    int nB = 0;
    LProgressDialog* job = control.Job();
    for (;;)
    {
        if (nA > 0)
        {
            const int r = ProcessSCSICDReadDASectors(job, scsi, a->sectors, static_cast<BYTE>(nA), sector);
            if (r != 0)
                return r;
            sector += nA;
        }
        Deliver(*b, nB, rip.Sink);
        if (nA == 0)
            return control.IsStopped() ? Stopped : Done;
        nB = std::min<int32_t>(end - sector, CD_MAX_READ_SECTORS);
        if (control.IsStopped())
            nB = 0;
        int r = WaitForRead(control, scsi);
        if (r != 0)
            return r;

        if (nB > 0)
        {
            r = ProcessSCSICDReadDASectors(job, scsi, b->sectors, static_cast<BYTE>(nB), sector);
            if (r != 0)
                return r;
            sector += nB;
        }
        Deliver(*a, nA, rip.Sink);
        if (nB == 0)
            return control.IsStopped() ? Stopped : Done;
        progress += step;
        control.SetProgress(progress);
        nA = std::min<int32_t>(end - sector, CD_MAX_READ_SECTORS);
        if (control.IsStopped())
            nA = 0;
        r = WaitForRead(control, scsi);
        if (r != 0)
            return r;
    }
}

int RunRip(RipControl& control, LCDROMRipSectors& rip)
{
    auto* a = new ReadBuffer;
    auto* b = new ReadBuffer;
    int r;
    {
        LSCSI scsi;
        r = RipSectors(control, rip, scsi, a, b);
        // A read still held by the drive after the abort may complete into
        // its buffer later: the buffers then stay allocated.
        if (!scsi.CancelOutstanding())
            return r;
    }
    delete a;
    delete b;
    return r;
}

} // namespace

int Process(LProgressDialog* job, LCDROMRipSectors& rip)
{
    char line[TEXT_BUFFER_SIZE];
    FormatText(line, sizeof(line), "Loading %s", rip.szName ? rip.szName : "");
    job->SetText(0, line);
    job->SetText(1, "Ripping Digital Audio...");
    DialogControl control(job);
    return RunRip(control, rip);
}

int Process(LCDROMRipSectors& rip, LSignalObject& stop)
{
    WorkerControl control(stop);
    return RunRip(control, rip);
}
