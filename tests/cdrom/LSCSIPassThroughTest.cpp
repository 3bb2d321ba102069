// The transport and the CD commands over SCSI pass-through, the back end of the
// NT family, with the device calls pointed at virtual drives through the seam.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "cdrom/CDCommands.h"
#include "cdrom/LDeviceIo.h"
#include "cdrom/LSCSI.h"
#include "cdrom/VirtualDrives.h"
#include "TestJobs.h"

namespace {

class PassThroughTest : public VirtualDrivesTest
{
protected:
    TestJobControl job;
};

TEST_F(PassThroughTest, TheNTFamilyNeverLoadsTheManager)
{
    // WNASPI32.dll lies beside this program, and still stays unloaded.
    EXPECT_FALSE(LSCSI::_UseASPI32Detect());
    EXPECT_EQ(0, UseASPI32);
    EXPECT_EQ(nullptr, GetModuleHandleA("WNASPI32"));
    EXPECT_EQ(0u, LSCSI::GetASPIAdapterCount());
}

TEST_F(PassThroughTest, DrivesAreNumberedByTheirLettersAlone)
{
    io->AddDrive('C', DRIVE_FIXED);
    io->AddDrive('E', DRIVE_CDROM, Disc("three-tracks"));
    io->AddDrive('F', DRIVE_REMOTE);
    io->AddDrive('G', DRIVE_CDROM, DriveConfig());
    io->AddDrive('K', DRIVE_REMOVABLE);
    io->AddDrive('R', DRIVE_CDROM, Disc("data-track-first"));
    EXPECT_EQ(3, LSCSI::GetCDROMDriveCount());
    const char* expected[] = {"\\\\.\\E:", "\\\\.\\G:", "\\\\.\\R:"};
    for (BYTE i = 0; i < 3; ++i)
    {
        LSCSI scsi;
        EXPECT_TRUE(scsi.OpenCDROMDrive(i));
        EXPECT_STREQ(expected[i], io->lastOpenedPath.c_str());
        EXPECT_NE(INVALID_HANDLE_VALUE, scsi.hDevice);
    }
    LSCSI beyond;
    EXPECT_FALSE(beyond.OpenCDROMDrive(3));

    LSCSI scsi;
    ASSERT_TRUE(scsi.OpenCDROMDrive(2));
    CDTableOfContents toc;
    ASSERT_EQ(Done, ProcessSCSICDGetTOC(job, scsi, toc));
    EXPECT_EQ(std::vector<int32_t>({0, 30, 70, 120}),
              std::vector<int32_t>(toc.nStartSector, toc.nStartSector + toc.nTracks + 1));
}

// The driver reports the bytes transferred: a reply claiming ten descriptors
// of which four came gives the disc's three tracks, whatever the buffer held.
TEST_F(PassThroughTest, OnlyTheDescriptorsTransferredAreRead)
{
    DriveConfig claiming = Disc("three-tracks");
    claiming.tocClaim = 10;
    io->AddDrive('D', DRIVE_CDROM, claiming);
    LSCSI scsi;
    ASSERT_TRUE(scsi.OpenCDROMDrive(0));
    CDTableOfContents toc;
    ASSERT_EQ(Done, ProcessSCSICDGetTOC(job, scsi, toc));
    EXPECT_EQ(std::vector<int32_t>({0, 40, 75, 135}),
              std::vector<int32_t>(toc.nStartSector, toc.nStartSector + toc.nTracks + 1));
}

TEST_F(PassThroughTest, ReadDeliversTheImagesBytes)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    LSCSI scsi;
    ASSERT_TRUE(scsi.OpenCDROMDrive(0));
    AlignedSectors buffer(27);
    ASSERT_EQ(Done, ProcessSCSICDReadDASectors(job, scsi, buffer.data, 27, 70));  // across tracks 2 and 3
    ASSERT_EQ(Done, ProcessSCSIWaitForCommand(job, scsi, 5000));
    EXPECT_EQ(Done, ProcessSCSIExecuteCommandAsyncWait(job, scsi));
    EXPECT_TRUE(buffer.Bytes() == ImageSectors("three-tracks", 70, 27));
}

TEST_F(PassThroughTest, ANonZeroScsiStatusFailsWithoutARetry)
{
    DriveConfig busy = Disc("three-tracks");
    busy.busy = 1;
    io->AddDrive('D', DRIVE_CDROM, busy);
    LSCSI scsi;
    ASSERT_TRUE(scsi.OpenCDROMDrive(0));
    CDTableOfContents toc;
    const int nCallsBefore = io->nControlCalls;
    EXPECT_EQ(Failed, ProcessSCSICDGetTOC(job, scsi, toc));
    EXPECT_EQ(nCallsBefore + 1, io->nControlCalls);
    EXPECT_EQ(Done, ProcessSCSICDGetTOC(job, scsi, toc));
    EXPECT_EQ(3, toc.nTracks);
}

TEST_F(PassThroughTest, ARefusedOrTimedOutRequestEndsCleanly)
{
    DriveConfig refusing = Disc("three-tracks");
    refusing.bReject = true;
    io->AddDrive('D', DRIVE_CDROM, refusing);
    io->AddDrive('E', DRIVE_CDROM, Disc("three-tracks"));
    io->heldCommands = {1};  // the refused call issues nothing; the next one never answers
    AlignedSectors buffer(27);
    {
        LSCSI scsi;
        ASSERT_TRUE(scsi.OpenCDROMDrive(0));
        EXPECT_EQ(Failed, ProcessSCSICDReadDASectors(job, scsi, buffer.data, 27, 0));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(scsi.CompletionEvent(), 0));
        EXPECT_FALSE(scsi.CommandPending());
    }
    {
        LSCSI scsi;
        ASSERT_TRUE(scsi.OpenCDROMDrive(1));
        BYTE cdb[12];
        MakeReadCDCdb(cdb, 0, 27);
        EXPECT_EQ(Failed, ProcessSCSIExecuteCommand(job, scsi, cdb, false, 100, 27 * 2352, buffer.data, 12));
    }  // cancelled and waited for as the drive object goes
    EXPECT_EQ(0, io->PendingCommands()) << "the drive may still write into the buffer";
    EXPECT_EQ(0, io->nCompleted);
    EXPECT_TRUE(buffer.Untouched());
}

// A progress window that says when it paints.
class PaintingJob : public WindowJob
{
public:
    using WindowJob::WindowJob;
    INT_PTR OnDialogMessage(UINT msg, WPARAM, LPARAM) override
    {
        if (msg == WM_PAINT && onPaint)
            onPaint();
        return 0;
    }
    std::function<void()> onPaint;
};

// A request that timed out, and that the drive does not end on the cancel,
// is waited for through the job: its window paints meanwhile. Here the drive
// answers once the window has painted.
TEST_F(PassThroughTest, TheWindowPaintsWhileACancelledRequestIsAwaited)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    io->heldCommands = {1};
    io->bCancelIgnored = true;
    AlignedSectors buffer(27);
    bool bCancelled = false;
    PaintingJob window([&](WindowJob& self) {
        LSCSI scsi;
        if (!scsi.OpenCDROMDrive(0))
            return false;
        BYTE cdb[12];
        MakeReadCDCdb(cdb, 0, 27);
        EXPECT_EQ(Failed, ProcessSCSIExecuteCommand(self, scsi, cdb, false, 100, 27 * 2352, buffer.data, 12));
        io->onCancel = [&] {
            bCancelled = true;
            InvalidateRect(self.hWnd, nullptr, TRUE);
        };
        return scsi.CancelOutstanding(self);
    });
    window.onPaint = [&] {
        if (bCancelled)
            io->ReleaseHeldCommands();
    };
    EXPECT_TRUE(window.Run(nullptr)) << "the request was given up";
    EXPECT_EQ(1, io->nCancels);
    EXPECT_EQ(1, io->nCompleted);
    EXPECT_TRUE(buffer.Bytes() == ImageSectors("three-tracks", 0, 27));
}

TEST_F(PassThroughTest, EjectAndLoadUseTheDiskControlCalls)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    CDTableOfContents toc;
    LCDEject(0);
    {
        LSCSI scsi;
        ASSERT_TRUE(scsi.OpenCDROMDrive(0));
        EXPECT_EQ(Failed, ProcessSCSICDGetTOC(job, scsi, toc));
    }
    LCDLoad(3);  // no such drive
    LCDLoad(0);
    LSCSI scsi;
    ASSERT_TRUE(scsi.OpenCDROMDrive(0));
    EXPECT_EQ(Done, ProcessSCSICDGetTOC(job, scsi, toc));
    EXPECT_EQ(3, toc.nTracks);
}

} // namespace
