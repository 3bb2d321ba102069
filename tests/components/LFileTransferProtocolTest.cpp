// Downloads from real FTP servers on 127.0.0.1 through Wine's WinINet, and
// setups fetched, run and removed as the install-on-demand does it.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "FileBytes.h"
#include "LocalFtpServer.h"
#include "RegistryValues.h"
#include "TestJobs.h"
#include "WaitFor.h"
#include "components/InstallProgram.h"
#include "components/LFileTransferProtocol.h"
#include "components/ReadSize.h"
#include "files/LFile.h"
#include "TestFiles.h"
#include "ui/MessageBoxCapture.h"

namespace {

constexpr const char* SETTINGS_KEY = "Software\\Talmarin\\Corvane\\Settings";
constexpr const char* TESSARO_KEY = "Software\\Talmarin\\Tessaro\\Settings";

bool Received(const LocalFtpServer& server, const std::string& command)
{
    for (const std::string& line : server.Log())
        if (line == command)
            return true;
    return false;
}

// A file of `size` bytes of a pattern no two offsets of which repeat soon.
std::string MakeServedFile(const std::string& name, DWORD size)
{
    const std::string path = TempPath(name);
    std::ofstream out(path, std::ios::binary);
    for (DWORD i = 0; i < size; ++i)
        out.put(static_cast<char>((i * 2654435761u) >> 13));
    return path;
}

// The editor's folder as its setup makes it.
std::string TessaroFolder()
{
    char programFiles[MAX_PATH] = "";
    GetEnvironmentVariableA("ProgramFiles", programFiles, sizeof(programFiles));
    return std::string(programFiles) + "\\Talmarin\\Tessaro";
}

// The job's progress as the window would show it.
class ProgressJob : public TestJobControl
{
public:
    void SetProgress(double fraction) override { progress.push_back(fraction); }
    std::vector<double> progress;
};

// A job on which the wait for the setup runs out at once, as its two minutes would.
class TimeOutJob : public TestJobControl
{
public:
    // The download's waits for its worker run as they are; the long wait for
    // the setup is the one that runs out.
    ProcessResult WaitForHandle(HANDLE handle, unsigned timeoutMs) override
    {
        if (timeoutMs < 60000)
            return TestJobControl::WaitForHandle(handle, timeoutMs);
        nWaitedMs = timeoutMs;
        return Failed;
    }
    unsigned nWaitedMs = 0;
};

class DownloadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        served = MakeServedFile("served.bin", 70001);
        DeleteFileA(local.c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, TESSARO_KEY);
        LFile::DeleteFolderAndFiles(TessaroFolder().c_str());
    }
    void TearDown() override
    {
        DeleteValue(SETTINGS_KEY, "ComponentServers");
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, TESSARO_KEY);
        LFile::DeleteFolderAndFiles(TessaroFolder().c_str());
        DeleteFileA(served.c_str());
        DeleteFileA(local.c_str());
    }

    std::string served;
    const std::string local = TempPath("downloaded.bin");
};

TEST_F(DownloadTest, TheDownloadEqualsTheServedFileWhateverSizeIsListed)
{
    struct Case
    {
        const char* options;
        bool bSizeListed;
    };
    for (const Case& c : {Case{"", true}, Case{"--size-zero", false}})
    {
        SCOPED_TRACE(c.options);
        LocalFtpServer server("plain", {{"served.bin", served}}, c.options);
        ASSERT_NE(server.port, 0);
        ProgressJob job;
        EXPECT_EQ(ProcessDownloadComponent(job, "served.bin", server.Server().c_str(), local.c_str()), Done);
        EXPECT_EQ(FileBytes(local), FileBytes(served));
        EXPECT_TRUE(Received(server, "CWD components"));
        // The bar starts at 5 % and 10 %; a listed size spreads the file over
        // the rest, an unlisted one fills the bar with the first block.
        ASSERT_GE(job.progress.size(), 3u);
        EXPECT_DOUBLE_EQ(job.progress[0], 0.05);
        EXPECT_DOUBLE_EQ(job.progress[1], 0.1);
        if (c.bSizeListed)
        {
            EXPECT_LT(job.progress[2], 0.11);
            EXPECT_NEAR(job.progress.back(), 1.0, 0.01);
        }
        else
            EXPECT_GE(job.progress[2], 1.0);
        DeleteFileA(local.c_str());
    }
}

TEST_F(DownloadTest, AMissingFileOrATransferCutShortFailsAndLeavesNoFile)
{
    struct Case
    {
        const char* remoteName;
        const char* options;
    };
    for (const Case& c : {Case{"absent.bin", ""}, Case{"served.bin", "--cut 1000"}})
    {
        SCOPED_TRACE(std::string(c.remoteName) + " " + c.options);
        LocalFtpServer server("failing", {{"served.bin", served}}, c.options);
        ASSERT_NE(server.port, 0);
        TestJobControl job;
        EXPECT_EQ(ProcessDownloadComponent(job, c.remoteName, server.Server().c_str(), local.c_str()), Failed);
        EXPECT_FALSE(Exists(local));
        EXPECT_FALSE(Exists(local + ".part"));
    }
}

TEST_F(DownloadTest, CancelDuringASlowTransferStopsLeavesNoFileAndNeverAsksTheSecondServer)
{
    const std::string slowSetup = MakeServedFile("slow-served.bin", 200000);
    LocalFtpServer slow("slow", {{"slowsetup.exe", slowSetup}}, "--rate 4096");
    LocalFtpServer second("second", {{"slowsetup.exe", slowSetup}});
    ASSERT_NE(slow.port, 0);
    ASSERT_NE(second.port, 0);
    SetValue(SETTINGS_KEY, "ComponentServers", (slow.Server() + "," + second.Server()).c_str());

    const std::string setup = TempPath("slowsetup.exe");
    const std::string partial = setup + ".part";
    TestJobControl job;
    std::atomic<bool> bStopped{false};
    std::thread user([&] {
        // Cancel once part of the file has arrived.
        WaitFor([&] { return FileSize(partial) >= 1024; }, 20000);
        job.Stop();
        bStopped = true;
    });
    const ProcessResult result = ProcessInstallProgram(job, "slowsetup");
    user.join();
    EXPECT_TRUE(bStopped);
    EXPECT_EQ(result, Stopped);
    EXPECT_FALSE(Exists(setup));
    // The worker lets go of its part at its next read, and removes it.
    EXPECT_TRUE(WaitFor([&] { return !Exists(partial); }, 10000));
    EXPECT_TRUE(Received(slow, "RETR slowsetup.exe"));
    EXPECT_TRUE(second.Log().empty());
    DeleteFileA(slowSetup.c_str());
}

TEST_F(DownloadTest, AServerThatSendsMoreThanItListedIsStoppedAtItsLimitAndLeavesNoFile)
{
    // Past its listed size; and, with none listed, past 64 MB.
    for (const char* options : {"--extra 300000000", "--size-zero --extra 100000000"})
    {
        SCOPED_TRACE(options);
        LocalFtpServer server("more", {{"served.bin", served}}, options);
        ASSERT_NE(server.port, 0);
        TestJobControl job;
        EXPECT_EQ(ProcessDownloadComponent(job, "served.bin", server.Server().c_str(), local.c_str()), Failed);
        EXPECT_FALSE(Exists(local));
        EXPECT_FALSE(Exists(local + ".part"));
    }
}

TEST_F(DownloadTest, CancelEndsTheDownloadAtOnceWhenTheServerStallsOrNeverGreets)
{
    struct Case
    {
        const char* options;
        DWORD cancelAtBytes;  // 0: a second after the start
    };
    for (const Case& c : {Case{"--stall 40000", 40000}, Case{"--silent", 0}})
    {
        SCOPED_TRACE(c.options);
        LocalFtpServer server("stalling", {{"served.bin", served}}, c.options);
        ASSERT_NE(server.port, 0);
        TestJobControl job;
        std::atomic<DWORD> stoppedAt{0};
        std::thread user([&] {
            if (c.cancelAtBytes)
                WaitFor([&] { return FileSize(local + ".part") >= c.cancelAtBytes; }, 20000);
            else
                Sleep(1000);
            stoppedAt = GetTickCount();
            job.Stop();
        });
        const ProcessResult result = ProcessDownloadComponent(job, "served.bin", server.Server().c_str(), local.c_str());
        const DWORD returned = GetTickCount();
        user.join();
        EXPECT_EQ(result, Stopped);
        // Well before the server's silence would end the wait.
        EXPECT_LT(returned - stoppedAt, DOWNLOAD_TIMEOUT_MS / 3);
        // The worker, held by the server, has only its part file, which is
        // marked to go when the worker lets go of it.
        EXPECT_FALSE(Exists(local));
    }
}

TEST_F(DownloadTest, AFirstServerThatRefusesFallsThroughToTheSecond)
{
    // One refuses the log-on; at the other nobody listens.
    LocalFtpServer refusing("refusing", {{"tssetup.exe", FakeTessaroPath()}}, "--refuse");
    ASSERT_NE(refusing.port, 0);
    for (const std::string& first : {refusing.Server(), std::string("127.0.0.1:1")})
    {
        SCOPED_TRACE(first);
        LocalFtpServer second("second", {{"tssetup.exe", FakeTessaroPath()}});
        ASSERT_NE(second.port, 0);
        SetValue(SETTINGS_KEY, "ComponentServers", (first + ", " + second.Server()).c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, TESSARO_KEY);
        TestJobControl job;
        EXPECT_EQ(ProcessInstallProgram(job, "tssetup"), Done);
        EXPECT_TRUE(Received(second, "USER anonymous"));
        EXPECT_TRUE(Received(second, "RETR tssetup.exe"));
        EXPECT_NE(GetValue(TESSARO_KEY, "RunEdit"), "");
    }
    EXPECT_TRUE(Received(refusing, "USER anonymous"));
    EXPECT_FALSE(Received(refusing, "RETR tssetup.exe"));
}

TEST_F(DownloadTest, ADownloadThatNeverBeganLeavesAFileOfThatNameAlone)
{
    // Nobody listens at either server.
    SetValue(SETTINGS_KEY, "ComponentServers", "127.0.0.1:1, 127.0.0.1:2");
    const std::string someoneElses = TempPath("tssetup.exe");
    {
        std::ofstream file(someoneElses, std::ios::binary);
        file << "not this program's";
    }
    TestJobControl job;
    EXPECT_EQ(ProcessInstallProgram(job, "tssetup"), Failed);
    EXPECT_EQ("not this program's", Lines(someoneElses).at(0));
    DeleteFileA(someoneElses.c_str());
}

TEST_F(DownloadTest, TheSetupRunsHiddenWithItsPathAloneQuotedIsWaitedForAndDeleted)
{
    LocalFtpServer server("setup", {{"tssetup.exe", FakeTessaroPath()}});
    ASSERT_NE(server.port, 0);
    SetValue(SETTINGS_KEY, "ComponentServers", server.Server().c_str());
    // A temporary folder with a space: unquoted, "...\\Temp.exe" would be
    // started in the setup's place.
    char temp[MAX_PATH] = "";
    GetEnvironmentVariableA("TMP", temp, sizeof(temp));
    const std::string spaced = TempPath("Temp Dir");
    CreateDirectoryA(spaced.c_str(), nullptr);
    for (const std::string& folder : {TempFolder(), spaced + "\\"})
    {
        SCOPED_TRACE(folder);
        SetEnvironmentVariableA("TMP", folder.c_str());
        DeleteFileA((TessaroFolder() + "\\setup.txt").c_str());
        TestJobControl job;
        EXPECT_EQ(ProcessInstallProgram(job, "tssetup"), Done);

        // What the setup recorded, and registered before it ended.
        const std::vector<std::string> record = Lines(TessaroFolder() + "\\setup.txt");
        ASSERT_EQ(record.size(), 2u);
        EXPECT_EQ(record[0], "\"" + folder + "tssetup.exe\"");
        EXPECT_EQ(record[1], std::to_string(SW_HIDE));
        EXPECT_EQ(GetValue(TESSARO_KEY, "RunEdit"), "\"" + TessaroFolder() + "\\tessaro.exe\" \"%s\"");
        EXPECT_FALSE(Exists(folder + "tssetup.exe"));
    }
    SetEnvironmentVariableA("TMP", temp);
    RemoveDirectoryA(spaced.c_str());
}

TEST_F(DownloadTest, ASetupThatIsNotTheOneCarriedIsRefusedDeletedAndNeverRun)
{
    // The stand-in setup with one byte more: still a program that would run,
    // and a name whose digest the program carries for another file.
    const std::string changed = TempPath("changed-setup.exe");
    {
        std::vector<BYTE> bytes = FileBytes(FakeTessaroPath());
        bytes.push_back(0);
        std::ofstream out(changed, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    struct Case
    {
        const char* setupName;
        std::string served;
    };
    for (const Case& c : {Case{"tssetup", changed}, Case{"mvsetup", FakeTessaroPath()}})
    {
        SCOPED_TRACE(c.setupName);
        const std::string file = std::string(c.setupName) + ".exe";
        LocalFtpServer server("changed", {{file, c.served}});
        ASSERT_NE(server.port, 0);
        SetValue(SETTINGS_KEY, "ComponentServers", server.Server().c_str());
        TestJobControl job;
        MessageBoxCapture boxes;
        EXPECT_EQ(ProcessInstallProgram(job, c.setupName), Failed);
        EXPECT_TRUE(Received(server, "RETR " + file));
        ASSERT_NO_FATAL_FAILURE(ExpectOneBox(boxes.boxes, "Download Error",
                                             "The downloaded setup \"" + file + "\" is not the one Corvane expects, so "
                                             "it has not been run and has been deleted. It may have been damaged on "
                                             "the way or changed on the server.",
                                             IDI_ERROR));
        EXPECT_FALSE(Exists(TempPath(file)));
        EXPECT_FALSE(Exists(TessaroFolder() + "\\setup.txt")) << "the setup ran";
    }
    DeleteFileA(changed.c_str());
}

TEST_F(DownloadTest, ASetupThatOutlivesTheTimeLimitLeavesTheResultDone)
{
    LocalFtpServer server("linger", {{"lingersetup.exe", FakeTessaroPath()}});
    ASSERT_NE(server.port, 0);
    SetValue(SETTINGS_KEY, "ComponentServers", server.Server().c_str());
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "CorvaneTestSetupRelease");
    const std::string record = TempPath("setup.txt");
    DeleteFileA(record.c_str());

    TimeOutJob job;
    EXPECT_EQ(ProcessInstallProgram(job, "lingersetup"), Done);
    EXPECT_EQ(job.nWaitedMs, 120000u);
    // The setup was started and is still there, waiting to be released.
    EXPECT_TRUE(WaitFor([&] { return Exists(record); }, 20000));

    SetEvent(release);
    const std::string setup = TempPath("lingersetup.exe");
    EXPECT_TRUE(WaitFor([&] { return DeleteFileA(setup.c_str()) || !Exists(setup); }, 20000));
    CloseHandle(release);
    DeleteFileA(record.c_str());
}

} // namespace
