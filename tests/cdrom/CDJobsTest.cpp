// The drive-list job and the sector-ripping job against virtual drives behind
// the pass-through seam: under the real progress window, and on a worker with
// its stop signal. What a sink receives is compared with the disc image.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "cdrom/CDCommands.h"
#include "cdrom/LCDROMInfo.h"
#include "cdrom/LCDROMRipSectors.h"
#include "cdrom/LDeviceIo.h"
#include "cdrom/VirtualDrives.h"
#include "jobs/LProgressDialog.h"
#include "resources/resource.h"
#include "sound/LProcessSinkToSource.h"
#include "sound/RecordingSink.h"
#include "TestJobs.h"

namespace {

class CDJobsTest : public VirtualDrivesTest
{
protected:
    void SetUp() override
    {
        VirtualDrivesTest::SetUp();
        sink = new RecordingSink;
    }

    LCDROMRipSectors Request(int32_t start, int32_t end)
    {
        LCDROMRipSectors rip;
        rip.nDrive = 0;
        rip.nStartSector = start;
        rip.nEndSector = end;
        rip.Sink = sink;
        rip.szName = "Track 01";
        return rip;
    }

    // The job's result under the progress window.
    ProcessResult RipUnderWindow(LCDROMRipSectors& rip)
    {
        ProcessResult result = Failed;
        WindowJob job([&](WindowJob& self) { return (result = Process(self, rip)) == Done; }, "Extract CD Track(s)");
        runner = &job;
        job.Run(nullptr);
        runner = nullptr;
        return result;
    }

    LCountedPtr<RecordingSink> sink;
    LProgressDialog* runner = nullptr;
};

enum class RunForm
{
    UnderWindow,
    OnWorker,
};

struct RangeCase
{
    int32_t start;
    int32_t end;
    std::vector<int> writeSizes;
};

class RipRanges : public CDJobsTest, public ::testing::WithParamInterface<std::tuple<RunForm, RangeCase>>
{
};

TEST_P(RipRanges, DeliverTheImagesSamplesInBlocks)
{
    const RunForm form = std::get<0>(GetParam());
    const RangeCase& range = std::get<1>(GetParam());
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    LCDROMRipSectors rip = Request(range.start, range.end);
    ProcessResult result = Failed;
    if (form == RunForm::UnderWindow)
        result = RipUnderWindow(rip);
    else
    {
        TestJobControl worker;
        result = Process(worker, rip);
    }
    EXPECT_EQ(Done, result);
    EXPECT_EQ(range.writeSizes, sink->writeSizes);
    EXPECT_TRUE(sink->samples == ImageSamples("three-tracks", range.start, range.end - range.start))
        << "the frames are not the image's samples times 16";
}

INSTANTIATE_TEST_SUITE_P(
    CDJobs, RipRanges,
    ::testing::Combine(::testing::Values(RunForm::UnderWindow, RunForm::OnWorker),
                       ::testing::Values(RangeCase{0, 0, {}}, RangeCase{5, 15, {5880}},
                                         RangeCase{0, 40, {7644, 8192, 7684}},
                                         // A whole track: reads of 13, 27 and 20 sectors.
                                         RangeCase{75, 135, {7644, 8192, 7684, 8192, 3568}})));

TEST_F(CDJobsTest, ATrackReadOnAWorkerBehindTheBridgeArrivesWhole)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    LProcessSinkToSource<LCDROMRipSectors> bridge(44100, 2, SAMPLE_PEAK_16BIT, PLAYER_BUCKET_BYTES);
    auto* rip = new LCDROMRipSectors(Request(75, 135));
    rip->Sink = bridge.OpenSink();
    LSoundSourcePtr source = bridge.OpenSource(rip);
    ASSERT_FALSE(source->bError);

    const size_t nSamples = 60 * 588 * 2;
    // Read a sector's frames at a time, two sectors past the end.
    std::vector<int32_t> samples(nSamples + 2 * 588 * 2, -1);
    for (size_t done = 0; done < samples.size(); done += 588 * 2)
        source->Read(samples.data() + done, 588);
    EXPECT_TRUE(std::vector<int32_t>(samples.begin(), samples.begin() + nSamples)
                == ImageSamples("three-tracks", 75, 60));
    EXPECT_TRUE(std::all_of(samples.begin() + nSamples, samples.end(), [](int32_t v) { return v == 0; }))
        << "the end of the track is followed by silence";
    EXPECT_FALSE(source->IsStreaming());
}

TEST_F(CDJobsTest, AnEmptySinkStillReadsTheRange)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    LCDROMRipSectors rip = Request(0, 40);
    rip.Sink = nullptr;
    EXPECT_EQ(Done, RipUnderWindow(rip));
    EXPECT_EQ(2, io->nControlCalls) << "reads of 13 and 27 sectors";
}

TEST_F(CDJobsTest, ADriveThatCannotBeOpenedFails)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    LCDROMRipSectors rip = Request(0, 40);
    rip.nDrive = 1;
    EXPECT_EQ(Failed, RipUnderWindow(rip));
    EXPECT_TRUE(sink->writeSizes.empty());
}

TEST_F(CDJobsTest, TheBarMovesAndCancelStopsWithinOneChunk)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    LCDROMRipSectors rip = Request(75, 135);
    std::vector<int> positions;
    sink->onWrite = [&] {
        positions.push_back(static_cast<int>(
            SendDlgItemMessageA(runner->hWnd, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0)));
    };
    EXPECT_EQ(Done, RipUnderWindow(rip));
    ASSERT_FALSE(positions.empty());
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_GT(positions.back(), 50);

    // Cancel clicked as the first chunk arrives: at most the chunk then in
    // flight follows it, and no read is issued after the job returned.
    sink = new RecordingSink;
    rip = Request(0, 135);
    rip.Sink = sink;
    sink->onWrite = [&] {
        if (runner->hWnd)
            SendMessageA(GetDlgItem(runner->hWnd, IDCANCEL), BM_CLICK, 0, 0);
    };
    EXPECT_EQ(Stopped, RipUnderWindow(rip));
    const size_t nFrames = sink->samples.size() / 2;
    EXPECT_LE(nFrames, static_cast<size_t>((13 + 27) * 588));
    EXPECT_TRUE(sink->samples == ImageSamples("three-tracks", 0, static_cast<int>(nFrames / 588)));
    EXPECT_EQ(0, io->PendingCommands()) << "a read was left in flight";
}

TEST_F(CDJobsTest, AStopWhileAReadIsInFlightIssuesNoFurtherRead)
{
    // Under the window: Cancel clicked as the first read is issued. The job
    // sees it before it waits, so the read in flight still arrives whole.
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    LCDROMRipSectors rip = Request(0, 135);
    io->onIssue = [&](int iCommand) {
        if (iCommand == 1)
            PostMessageA(runner->hWnd, WM_COMMAND, IDCANCEL, 0);
    };
    EXPECT_EQ(Stopped, RipUnderWindow(rip));
    EXPECT_EQ(1, io->nControlCalls);
    EXPECT_EQ(std::vector<int>({7644}), sink->writeSizes);
    EXPECT_TRUE(sink->samples == ImageSamples("three-tracks", 0, 13));

    // On a worker: the stop signal set as the second read is issued, and that
    // read never answers. The chunk whose read completed is delivered,
    // nothing after it, and the read in flight is cancelled.
    sink = new RecordingSink;
    rip.Sink = sink;
    TestJobControl worker;
    io->heldCommands = {1 + 2};
    io->onIssue = [&](int iCommand) {
        if (iCommand == 1 + 2)
            worker.Stop();
    };
    EXPECT_EQ(Stopped, Process(worker, rip));
    EXPECT_EQ(1 + 2, io->nControlCalls);
    EXPECT_EQ(std::vector<int>({7644}), sink->writeSizes);
    EXPECT_TRUE(sink->samples == ImageSamples("three-tracks", 0, 13));
    EXPECT_EQ(0, io->PendingCommands());
}

// A read in flight when the job stops, which the drive does not end on the
// cancel: it is waited for once, the stop already made notwithstanding, and
// the buffers stay with the drive if it never answers.
TEST_F(CDJobsTest, AnAbortedReadIsWaitedForOnceWhateverTheStop)
{
    const struct
    {
        const char* name;
        bool bAnswersLate;  // the read completes after the cancel
        int nPending;       // reads the drive still holds when the job returns
    } cases[] = {
        {"answers after the cancel", true, 0},
        {"never answers", false, 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto fresh = std::make_unique<VirtualDeviceIo>();
        SetDeviceIo(fresh.get());
        io = std::move(fresh);
        io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
        io->heldCommands = {3};
        io->bCancelIgnored = true;
        TestJobControl worker;
        io->onIssue = [&](int iCommand) {
            if (iCommand == 3)
                worker.Stop();
        };
        int nCompletedAtCancel = -1;
        io->onCancel = [&] {
            nCompletedAtCancel = io->nCompleted;
            if (c.bAnswersLate)
                io->ReleaseHeldCommands();
        };
        sink = new RecordingSink;
        LCDROMRipSectors rip = Request(0, 135);
        EXPECT_EQ(Stopped, Process(worker, rip));
        EXPECT_EQ(1, io->nCancels) << "the read was aborted and waited for more than once";
        EXPECT_EQ(2, nCompletedAtCancel);
        EXPECT_EQ(c.bAnswersLate ? 3 : 2, io->nCompleted) << "the job let go of a buffer the drive still held";
        EXPECT_EQ(c.nPending, io->PendingCommands());
    }
}

TEST_F(CDJobsTest, AFailedReadEndsTheJobWithNothingStaleDelivered)
{
    DriveConfig failing = Disc("three-tracks");
    failing.failLba = 95;  // inside the second read of the track [88, 115)
    io->AddDrive('D', DRIVE_CDROM, failing);
    LCDROMRipSectors rip = Request(75, 135);
    EXPECT_EQ(Failed, RipUnderWindow(rip));
    EXPECT_EQ(std::vector<int>({7644}), sink->writeSizes);
    EXPECT_TRUE(sink->samples == ImageSamples("three-tracks", 75, 13));
}

TEST_F(CDJobsTest, AReadThatHangsTimesOut)
{
    DriveConfig hanging = Disc("three-tracks");
    hanging.hangLba = 20;
    io->AddDrive('D', DRIVE_CDROM, hanging);
    LCDROMRipSectors rip = Request(0, 40);
    TestJobControl worker;
    EXPECT_EQ(Failed, Process(worker, rip));  // after the 40 s read time-out
    EXPECT_EQ(std::vector<int>({7644}), sink->writeSizes);
}

// A drive whose requests signal again after the next one is issued, while
// that one is still on its way (each takes 5 ms): the stale signal must not
// end the new request's wait, or a buffer would be delivered before the drive
// filled it.
TEST_F(CDJobsTest, ASignalThatArrivesLateEndsNoLaterReadsWait)
{
    DriveConfig slow = Disc("three-tracks");
    slow.delayMs = 5;
    io->AddDrive('D', DRIVE_CDROM, slow);
    io->bSignalsLate = true;
    for (RunForm form : {RunForm::UnderWindow, RunForm::OnWorker})
    {
        SCOPED_TRACE(form == RunForm::UnderWindow ? "under the window" : "on a worker");
        sink = new RecordingSink;
        LCDROMRipSectors rip = Request(0, 135);
        TestJobControl worker;
        EXPECT_EQ(Done, form == RunForm::UnderWindow ? RipUnderWindow(rip) : Process(worker, rip));
        EXPECT_TRUE(sink->samples == ImageSamples("three-tracks", 0, 135));
    }
}

// Cancel clicked while a read is in flight that the drive never completes:
// the wait ends at the click, the read is aborted, and when the drive ignores
// the abort too the job returns with the read still the drive's, its buffers
// kept.
TEST_F(CDJobsTest, CancelDuringAReadThatNeverCompletesAbortsIt)
{
    for (bool bCancelIgnored : {false, true})
    {
        SCOPED_TRACE(bCancelIgnored ? "the drive ignores the abort" : "the drive aborts the read");
        auto fresh = std::make_unique<VirtualDeviceIo>();
        SetDeviceIo(fresh.get());
        io = std::move(fresh);
        DriveConfig hanging = Disc("three-tracks");
        hanging.hangLba = 20;  // in the second read, [13, 40)
        io->AddDrive('D', DRIVE_CDROM, hanging);
        io->bCancelIgnored = bCancelIgnored;
        io->onIssue = [&](int iCommand) {
            if (iCommand == 2)
                PostMessageA(runner->hWnd, WM_COMMAND, IDCANCEL, 0);
        };
        sink = new RecordingSink;
        LCDROMRipSectors rip = Request(0, 40);
        EXPECT_EQ(Stopped, RipUnderWindow(rip));
        EXPECT_EQ(1, io->nCancels);
        EXPECT_EQ(2, io->nControlCalls);
        EXPECT_EQ(std::vector<int>({7644}), sink->writeSizes);
        EXPECT_TRUE(sink->samples == ImageSamples("three-tracks", 0, 13));
        EXPECT_EQ(bCancelIgnored ? 1 : 0, io->PendingCommands());
    }
}

TEST_F(CDJobsTest, TheDriveListReadsEveryDriveUpToEight)
{
    const char letters[] = "DEFGHIJKLM";
    for (int i = 0; i < 10; ++i)
        io->AddDrive(letters[i], DRIVE_CDROM,
                     i == 1   ? DriveConfig()
                     : i == 2 ? Disc("data-track-first")
                     : i == 3 ? Disc("cd-extra")
                              : Disc("three-tracks"));
    LCDROMInfo info = {};
    ProcessResult result = Failed;
    WindowJob job([&](WindowJob& self) { return (result = Process(self, info)) == Done; });
    EXPECT_TRUE(job.Run(nullptr));
    EXPECT_EQ(Done, result);
    EXPECT_EQ(8, info.nDrives);
    EXPECT_STREQ("\\\\.\\K:", io->lastOpenedPath.c_str()) << "drives past the eighth are not opened";
    EXPECT_EQ(3, info.nTracks[0]);
    EXPECT_EQ(0, info.nTracks[1]) << "no disc";
    ASSERT_EQ(3, info.nTracks[2]);
    ASSERT_EQ(3, info.nTracks[3]);
    // The last audio track of the CD-Extra disc ends where its audio does.
    const struct
    {
        int iDrive;
        std::vector<int32_t> starts;
        std::vector<int32_t> ends;
        std::vector<uint16_t> seconds;
    } discs[] = {
        {2, {0, 30, 70}, {30, 70, 120}, {0, 0, 0}},
        {3, {0, 40, 11600}, {40, 200, 11650}, {0, 2, 0}},
    };
    for (const auto& disc : discs)
    {
        SCOPED_TRACE(disc.iDrive);
        const int d = disc.iDrive;
        EXPECT_EQ(disc.starts, std::vector<int32_t>(info.nStartSector[d], info.nStartSector[d] + 3));
        EXPECT_EQ(disc.ends, std::vector<int32_t>(info.nEndSector[d], info.nEndSector[d] + 3));
        EXPECT_EQ(disc.seconds, std::vector<uint16_t>(info.nSeconds[d], info.nSeconds[d] + 3));
    }
}

TEST_F(CDJobsTest, CancelEndsTheTableOfContentsWaitInProgressOnly)
{
    // The first drive never answers; Cancel is clicked as its command is issued.
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    io->AddDrive('E', DRIVE_CDROM, Disc("three-tracks"));
    io->heldCommands = {1};
    LCDROMInfo info = {};
    ProcessResult result = Failed;
    DWORD tookMs = 0;
    WindowJob job([&](WindowJob& self) {
        io->onIssue = [&](int iCommand) {
            if (iCommand == 1)
                PostMessageA(self.hWnd, WM_COMMAND, IDCANCEL, 0);
        };
        const DWORD start = GetTickCount();
        result = Process(self, info);
        tookMs = GetTickCount() - start;
        return result == Done;
    });
    job.Run(nullptr);
    EXPECT_EQ(Done, result);
    EXPECT_LT(tookMs, 15000u) << "the wait ran on to its 20 s time-out";
    EXPECT_EQ(2, info.nDrives);
    EXPECT_EQ(0, info.nTracks[0]);
    EXPECT_STREQ("\\\\.\\E:", io->lastOpenedPath.c_str()) << "the second drive was still visited";
    EXPECT_EQ(0, io->PendingCommands());
}

} // namespace
