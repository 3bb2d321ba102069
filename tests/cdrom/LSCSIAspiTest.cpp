// The transport and the CD commands over the ASPI manager: this program runs
// as on Windows 98, with the virtual drive's WNASPI32.dll beside it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "cdrom/CDCommands.h"
#include "cdrom/LCDROMRipSectors.h"
#include "cdrom/LSCSI.h"
#include "cdrom/VirtualDiscFiles.h"
#include "jobs/LSignalObject.h"
#include "resources/resource.h"
#include "sound/RecordingSink.h"
#include "TestJobs.h"

namespace {

typedef void(__cdecl* VDriveConfigureFunction)(const char*);
typedef int(__cdecl* VDrivePendingCommandsFunction)();

class AspiTest : public ::testing::Test
{
protected:
    // Replaces the virtual manager's drives with those of `lines`.
    static void Configure(const std::string& lines)
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        const std::string path = std::string(temp) + "corvane-vdrive.txt";
        FILE* file = fopen(path.c_str(), "wb");
        ASSERT_NE(nullptr, file);
        fputs(lines.c_str(), file);
        fclose(file);
        HMODULE hAspi = LoadLibraryA("WNASPI32");
        ASSERT_NE(nullptr, hAspi);
        auto configure = reinterpret_cast<VDriveConfigureFunction>(
            reinterpret_cast<void (*)()>(GetProcAddress(hAspi, "VDriveConfigure")));
        ASSERT_NE(nullptr, configure) << "not the virtual drive's WNASPI32.dll";
        configure(path.c_str());
    }
    static std::string Drive(const char* address, const char* disc, const char* faults = "")
    {
        return std::string(address) + " " + (disc ? DiscCue(disc) : "-") + " " + faults + "\n";
    }
    // Requests the manager's drives hold that have neither completed nor been aborted.
    static int PendingCommands()
    {
        auto pending = reinterpret_cast<VDrivePendingCommandsFunction>(
            reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("WNASPI32"), "VDrivePendingCommands")));
        return pending ? pending() : -1;
    }

    TestJobControl job;
};

TEST_F(AspiTest, TheManagerIsTheBackEndOnWindows98)
{
    Configure(Drive("0 0 0", "three-tracks"));
    EXPECT_TRUE(LSCSI::_UseASPI32Detect());
    EXPECT_EQ(1, UseASPI32);
    EXPECT_EQ(0x0101u, LSCSI::GetASPIAdapterCount());
}

TEST_F(AspiTest, DrivesAreNumberedByAdapterThenTargetThenLun)
{
    Configure(Drive("1 6 7", nullptr) + Drive("0 2 0", nullptr) + Drive("0 7 0", "three-tracks")
              + Drive("0 0 3", nullptr) + Drive("1 0 0", nullptr) + Drive("0 0 0", "three-tracks"));
    ASSERT_EQ(2u, LSCSI::GetASPIAdapterCount() & 0xFF);
    ASSERT_EQ(5, LSCSI::GetCDROMDriveCount());  // target 7 is never listed
    const BYTE expected[5][3] = {{0, 0, 0}, {0, 0, 3}, {0, 2, 0}, {1, 0, 0}, {1, 6, 7}};
    for (BYTE i = 0; i < 5; ++i)
    {
        SCOPED_TRACE(i);
        LSCSI scsi;
        ASSERT_TRUE(scsi.OpenCDROMDrive(i));
        EXPECT_EQ(expected[i][0], scsi.nAdapter);
        EXPECT_EQ(expected[i][1], scsi.nTarget);
        EXPECT_EQ(expected[i][2], scsi.nLun);
    }
    LSCSI beyond;
    EXPECT_FALSE(beyond.OpenCDROMDrive(5));
    EXPECT_EQ(DTYPE_UNKNOWN, LSCSI::GetASPIDeviceType(0, 1, 0));
    EXPECT_EQ(DTYPE_CDROM, LSCSI::GetASPIDeviceType(0, 7, 0));
}

TEST_F(AspiTest, TablesOfContents)
{
    struct Case
    {
        const char* disc;
        const char* faults;
        std::vector<int32_t> starts;  // the tracks' and the lead-out's
        std::vector<bool> data;
    } cases[] = {
        {"three-tracks", "", {0, 40, 75, 135}, {false, false, false}},
        {"data-track-first", "", {0, 30, 70, 120}, {true, false, false}},
        {"cd-extra", "", {0, 40, 11600, 11650}, {false, false, true}},
        // The manager does not say how much the drive sent: the descriptors
        // it left as they were filled are not read, whatever the reply claims.
        {"three-tracks", "toc_claim=10", {0, 40, 75, 135}, {false, false, false}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.disc) + " " + c.faults);
        Configure(Drive("0 0 0", c.disc, c.faults));
        LSCSI scsi;
        ASSERT_TRUE(scsi.OpenCDROMDrive(0));
        CDTableOfContents toc;
        ASSERT_EQ(Done, ProcessSCSICDGetTOC(job, scsi, toc));
        ASSERT_EQ(c.starts.size() - 1, toc.nTracks);
        EXPECT_EQ(c.starts, std::vector<int32_t>(toc.nStartSector, toc.nStartSector + toc.nTracks + 1));
        EXPECT_EQ(c.data, std::vector<bool>(toc.bData, toc.bData + toc.nTracks));
    }

    Configure(Drive("0 0 0", "ninety-nine-tracks"));
    LSCSI scsi;
    ASSERT_TRUE(scsi.OpenCDROMDrive(0));
    CDTableOfContents toc;
    ASSERT_EQ(Done, ProcessSCSICDGetTOC(job, scsi, toc));
    ASSERT_EQ(99, toc.nTracks);
    for (int i = 0; i <= 99; ++i)
        EXPECT_EQ(2 * i, toc.nStartSector[i]);
}

TEST_F(AspiTest, ReadOf27SectorsDeliversTheImagesBytes)
{
    Configure(Drive("0 0 0", "three-tracks"));
    LSCSI scsi;
    ASSERT_TRUE(scsi.OpenCDROMDrive(0));
    AlignedSectors buffer(27);
    ASSERT_EQ(Done, ProcessSCSICDReadDASectors(job, scsi, buffer.data, 27, 30));  // across tracks 1 and 2
    ASSERT_EQ(Done, ProcessSCSIWaitForCommand(job, scsi, 5000));
    EXPECT_EQ(Done, ProcessSCSIExecuteCommandAsyncWait(job, scsi));
    const std::vector<BYTE> expected = ImageSectors("three-tracks", 30, 27);
    ASSERT_EQ(63504u, expected.size());
    EXPECT_TRUE(buffer.Bytes() == expected);

    // Past the lead-out the drive refuses.
    buffer.Fill();
    ASSERT_EQ(Done, ProcessSCSICDReadDASectors(job, scsi, buffer.data, 27, 120));
    ASSERT_EQ(Done, ProcessSCSIWaitForCommand(job, scsi, 5000));
    EXPECT_EQ(Failed, ProcessSCSIExecuteCommandAsyncWait(job, scsi));
}

TEST_F(AspiTest, AFailedReadIsReportedAsFailed)
{
    Configure(Drive("0 0 0", "three-tracks", "fail_lba=50"));
    LSCSI scsi;
    ASSERT_TRUE(scsi.OpenCDROMDrive(0));
    AlignedSectors buffer(27);
    ASSERT_EQ(Done, ProcessSCSICDReadDASectors(job, scsi, buffer.data, 27, 40));
    ASSERT_EQ(Done, ProcessSCSIWaitForCommand(job, scsi, 5000));
    EXPECT_EQ(Failed, ProcessSCSIExecuteCommandAsyncWait(job, scsi));
    EXPECT_EQ(2, scsi.pRequest->Srb.SRB_TargStat);        // CHECK CONDITION
    EXPECT_EQ(0x03, scsi.pRequest->Srb.SenseArea[2]);     // medium error
}

TEST_F(AspiTest, ARipDeliversTheTrackUntilAReadFails)
{
    Configure(Drive("0 0 0", "three-tracks") + Drive("0 1 0", "three-tracks", "fail_lba=95"));
    struct
    {
        BYTE nDrive;
        ProcessResult result;
        int nSectorsDelivered;
    } cases[] = {{0, Done, 60}, {1, Failed, 13}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.nDrive);
        LCountedPtr<RecordingSink> sink(new RecordingSink);
        LCDROMRipSectors rip;
        rip.nDrive = c.nDrive;
        rip.nStartSector = 75;
        rip.nEndSector = 135;
        rip.Sink = sink;
        EXPECT_EQ(c.result, Process(job, rip));
        EXPECT_TRUE(sink->samples == ImageSamples("three-tracks", 75, c.nSectorsDelivered));
    }
}

TEST_F(AspiTest, BusyIsReissuedEvery500MsUntilTheBudgetIsSpent)
{
    BYTE cdb[10];
    MakeReadTOCCdb(cdb);
    AlignedSectors response(1);

    // Two BUSY answers, then the command goes through.
    Configure(Drive("0 0 0", "three-tracks", "busy=2"));
    {
        LSCSI scsi;
        ASSERT_TRUE(scsi.OpenCDROMDrive(0));
        DWORD start = GetTickCount();
        EXPECT_EQ(Done, ProcessSCSIExecuteCommand(job, scsi, cdb, false, 5000, 2048, response.data, 10));
        EXPECT_GE(GetTickCount() - start, 950u);
    }

    // A budget of 1000 ms: issued at 0, 500, 1000 and 1500 ms, then given up.
    // The fifth command finds the drive ready, so exactly four were issued.
    Configure(Drive("0 0 0", "three-tracks", "busy=4"));
    LSCSI scsi;
    ASSERT_TRUE(scsi.OpenCDROMDrive(0));
    DWORD start = GetTickCount();
    EXPECT_EQ(Failed, ProcessSCSIExecuteCommand(job, scsi, cdb, false, 1000, 2048, response.data, 10));
    EXPECT_GE(GetTickCount() - start, 1450u);
    start = GetTickCount();
    EXPECT_EQ(Done, ProcessSCSIExecuteCommand(job, scsi, cdb, false, 1000, 2048, response.data, 10));
    EXPECT_LT(GetTickCount() - start, 500u) << "it waited for a retry";
}

TEST_F(AspiTest, CancelEndsTheWaitBetweenBusyAnswers)
{
    // A drive that stays BUSY far longer than the command's budget.
    Configure(Drive("0 0 0", "three-tracks", "busy=100000"));
    BYTE cdb[10];
    MakeReadTOCCdb(cdb);
    AlignedSectors response(1);
    ProcessResult result = Done;
    DWORD tookMs = 0;
    WindowJob window([&](WindowJob& self) {
        LSCSI scsi;
        if (!scsi.OpenCDROMDrive(0))
            return false;
        PostMessageA(self.hWnd, WM_COMMAND, IDCANCEL, 0);
        const DWORD start = GetTickCount();
        result = ProcessSCSIExecuteCommand(self, scsi, cdb, false, 60000, 2048, response.data, 10);
        tookMs = GetTickCount() - start;
        return true;
    });
    ASSERT_TRUE(window.Run(nullptr));
    EXPECT_EQ(Stopped, result);
    EXPECT_LT(tookMs, 60000u) << "the retries ran on to the end of the budget";
}

TEST_F(AspiTest, ACommandRefusedAtIssueFailsWithTheEventSignalled)
{
    Configure(Drive("0 0 0", "three-tracks", "reject=1"));
    LSCSI scsi;
    ASSERT_TRUE(scsi.OpenCDROMDrive(0));
    AlignedSectors buffer(1);
    EXPECT_EQ(Failed, ProcessSCSICDReadDASectors(job, scsi, buffer.data, 1, 0));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(scsi.CompletionEvent(), 0));
    EXPECT_FALSE(scsi.CommandPending());
    CDTableOfContents toc;
    toc.nTracks = 9;
    EXPECT_EQ(Failed, ProcessSCSICDGetTOC(job, scsi, toc));
    EXPECT_EQ(0, toc.nTracks);
}

TEST_F(AspiTest, AHungReadTimesOutAndIsAbortedBeforeItsBufferGoes)
{
    Configure(Drive("0 0 0", "three-tracks", "hang_lba=10"));
    BYTE cdb[12];
    MakeReadCDCdb(cdb, 0, 27);
    AlignedSectors buffer(27);
    LSCSI scsi;
    ASSERT_TRUE(scsi.OpenCDROMDrive(0));
    EXPECT_EQ(Failed, ProcessSCSIExecuteCommand(job, scsi, cdb, false, 300, 27 * 2352, buffer.data, 12));
    EXPECT_TRUE(scsi.CancelOutstanding(job));
    EXPECT_EQ(SS_ABORTED, scsi.pRequest->Srb.SRB_Status);
    EXPECT_TRUE(buffer.Untouched());
}

TEST_F(AspiTest, ASlowReadThatTimedOutNeverWritesAfterwards)
{
    Configure(Drive("0 0 0", "three-tracks", "delay_ms=600"));
    BYTE cdb[12];
    MakeReadCDCdb(cdb, 0, 27);
    AlignedSectors buffer(27);
    {
        LSCSI scsi;
        ASSERT_TRUE(scsi.OpenCDROMDrive(0));
        EXPECT_EQ(Failed, ProcessSCSIExecuteCommand(job, scsi, cdb, false, 100, 27 * 2352, buffer.data, 12));
    }  // the drive object goes, as after a failed job
    EXPECT_EQ(0, PendingCommands()) << "the drive may still write into the buffer";
    EXPECT_TRUE(buffer.Untouched());
}

TEST_F(AspiTest, EjectThenLoad)
{
    Configure(Drive("0 0 0", "three-tracks") + Drive("0 1 0", "ninety-nine-tracks"));
    CDTableOfContents toc;
    LCDEject(0);
    {
        LSCSI scsi;
        ASSERT_TRUE(scsi.OpenCDROMDrive(0));
        EXPECT_EQ(Failed, ProcessSCSICDGetTOC(job, scsi, toc));
        EXPECT_EQ(0, toc.nTracks);
    }
    LCDEject(7);  // no such drive: nothing happens
    LCDLoad(0);
    for (BYTE drive : {0, 1})
    {
        LSCSI scsi;
        ASSERT_TRUE(scsi.OpenCDROMDrive(drive));
        EXPECT_EQ(Done, ProcessSCSICDGetTOC(job, scsi, toc));
        EXPECT_EQ(drive == 0 ? 3 : 99, toc.nTracks);
    }
}

TEST_F(AspiTest, ADriveWithoutADiscHasNoTableOfContents)
{
    Configure(Drive("0 0 0", nullptr));
    LSCSI scsi;
    ASSERT_TRUE(scsi.OpenCDROMDrive(0));
    CDTableOfContents toc;
    EXPECT_EQ(Failed, ProcessSCSICDGetTOC(job, scsi, toc));
    LCDLoad(0);  // nothing to load
    EXPECT_EQ(Failed, ProcessSCSICDGetTOC(job, scsi, toc));
}

} // namespace
