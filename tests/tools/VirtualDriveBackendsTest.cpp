// The virtual drive's commands and faults through the program's SCSI
// transport: over the ASPI manager, WNASPI32.dll as on Windows 98, and over
// pass-through with the device calls pointed at the drive model.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "DriveCommandTests.h"
#include "TestJobs.h"
#include "cdrom/LDeviceIo.h"
#include "cdrom/LSCSI.h"
#include "vdrive/VirtualDeviceIo.h"

namespace {

using drive_commands::Answer;
using drive_commands::Backend;
using drive_commands::DriveBackend;
using drive_commands::DriveCommandsTest;

// Milliseconds from `start` (a performance counter reading), rounded up.
int ElapsedMs(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<int>(((now.QuadPart - start.QuadPart) * 1000 + frequency.QuadPart - 1) / frequency.QuadPart);
}

// Runs a command through the transport; the sense bytes come from where the
// back end left them.
Answer RunThrough(LSCSI& scsi, const std::vector<uint8_t>& cdb, size_t dataLength, const uint8_t* sense)
{
    TestJobControl job;
    Answer answer;
    answer.data.assign(dataLength, 0xA5);
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    answer.bGood = ProcessSCSIExecuteCommand(job, scsi, cdb.data(), false, 10000, static_cast<DWORD>(dataLength),
                                             answer.data.data(), static_cast<BYTE>(cdb.size()))
                   == Done;
    answer.delayMs = ElapsedMs(start);
    answer.senseKey = sense[2] & 0x0F;
    answer.asc = sense[12];
    answer.ascq = sense[13];
    return answer;
}

typedef void(__cdecl* VDriveConfigureFunction)(const char*);
typedef int(__cdecl* VDriveSectorReadsFunction)(int, int, int, int, unsigned*, unsigned*);

template <typename Function>
Function Export(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("WNASPI32"), name)));
}

class AspiBackend : public DriveBackend
{
public:
    void Insert(const std::string& cue, const std::string& keys) override
    {
        scsi.reset();
        UseASPI32 = -1;  // decided anew: the pass-through cases may have come first
        ASSERT_TRUE(LSCSI::_UseASPI32Detect()) << "the prefix does not run this program as Windows 98";
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        const std::string path = std::string(temp) + "corvane-vdrive-commands.txt";
        FILE* file = fopen(path.c_str(), "wb");
        ASSERT_NE(nullptr, file);
        fprintf(file, "0 0 0 %s %s\n", cue.c_str(), keys.c_str());
        fclose(file);
        const auto configure = Export<VDriveConfigureFunction>("VDriveConfigure");
        ASSERT_NE(nullptr, configure) << "not the virtual drive's WNASPI32.dll";
        configure(path.c_str());
        scsi = std::make_unique<LSCSI>();
        ASSERT_TRUE(scsi->OpenCDROMDrive(0));
    }
    Answer Run(const std::vector<uint8_t>& cdb, size_t dataLength) override
    {
        return RunThrough(*scsi, cdb, dataLength, scsi->pRequest->Srb.SenseArea);
    }
    SectorReadCount Reads(int64_t sector) override
    {
        SectorReadCount count;
        const auto reads = Export<VDriveSectorReadsFunction>("VDriveSectorReads");
        EXPECT_TRUE(reads && reads(0, 0, 0, static_cast<int>(sector), &count.physical, &count.cached));
        return count;
    }

private:
    std::unique_ptr<LSCSI> scsi;
};

class PassThroughBackend : public DriveBackend
{
public:
    ~PassThroughBackend() override { Remove(); }
    void Insert(const std::string& cue, const std::string& keys) override
    {
        Remove();
        std::string errors;
        const std::vector<DriveConfig> configs = ParseDriveConfig("0 0 0 " + cue + " " + keys, "", errors);
        ASSERT_EQ(1u, configs.size()) << errors;
        io = std::make_unique<VirtualDeviceIo>();
        io->AddDrive('D', DRIVE_CDROM, configs[0]);
        SetDeviceIo(io.get());
        UseASPI32 = 0;
        scsi = std::make_unique<LSCSI>();
        ASSERT_TRUE(scsi->OpenCDROMDrive(0));
    }
    Answer Run(const std::vector<uint8_t>& cdb, size_t dataLength) override
    {
        return RunThrough(*scsi, cdb, dataLength, scsi->pRequest->Sptd.ucSenseBuf);
    }
    SectorReadCount Reads(int64_t sector) override { return io->ReadCount('D', sector); }

private:
    void Remove()
    {
        scsi.reset();
        SetDeviceIo(nullptr);
        io.reset();
    }

    std::unique_ptr<VirtualDeviceIo> io;
    std::unique_ptr<LSCSI> scsi;
};

INSTANTIATE_TEST_SUITE_P(Transport, DriveCommandsTest,
                         ::testing::Values(Backend{"aspi", [] { return std::unique_ptr<DriveBackend>(new AspiBackend); }},
                                           Backend{"pass_through",
                                                   [] { return std::unique_ptr<DriveBackend>(new PassThroughBackend); }}),
                         drive_commands::BackendName);

} // namespace
