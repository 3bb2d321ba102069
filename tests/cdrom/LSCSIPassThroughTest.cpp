// The transport and the CD commands over SCSI pass-through, the back end of the
// NT family, with the device calls pointed at virtual drives through the seam.
#include <gtest/gtest.h>

#include <windows.h>

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
    BYTE nTracks = 0;
    LONG starts[TOC_MAX_ENTRIES];
    ASSERT_EQ(Done, ProcessSCSICDGetTOC(job, scsi, nTracks, starts));
    EXPECT_EQ(std::vector<LONG>({0, 30, 70, 120}), std::vector<LONG>(starts, starts + nTracks + 1));
}

TEST_F(PassThroughTest, ReadDeliversTheImagesBytes)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    LSCSI scsi;
    ASSERT_TRUE(scsi.OpenCDROMDrive(0));
    AlignedSectors buffer(27);
    ASSERT_EQ(Done, ProcessSCSICDReadDASectors(job, scsi, buffer.data, 27, 70));  // across tracks 2 and 3
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(scsi.CompletionEvent(), 5000));
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
    BYTE nTracks = 0;
    LONG starts[TOC_MAX_ENTRIES];
    const int nCallsBefore = io->nControlCalls;
    EXPECT_EQ(Failed, ProcessSCSICDGetTOC(job, scsi, nTracks, starts));
    EXPECT_EQ(nCallsBefore + 1, io->nControlCalls);
    EXPECT_EQ(Done, ProcessSCSICDGetTOC(job, scsi, nTracks, starts));
    EXPECT_EQ(3, nTracks);
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

TEST_F(PassThroughTest, EjectAndLoadUseTheDiskControlCalls)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    BYTE nTracks = 0;
    LONG starts[TOC_MAX_ENTRIES];
    LCDEject(0);
    {
        LSCSI scsi;
        ASSERT_TRUE(scsi.OpenCDROMDrive(0));
        EXPECT_EQ(Failed, ProcessSCSICDGetTOC(job, scsi, nTracks, starts));
    }
    LCDLoad(3);  // no such drive
    LCDLoad(0);
    LSCSI scsi;
    ASSERT_TRUE(scsi.OpenCDROMDrive(0));
    EXPECT_EQ(Done, ProcessSCSICDGetTOC(job, scsi, nTracks, starts));
    EXPECT_EQ(3, nTracks);
}

} // namespace
