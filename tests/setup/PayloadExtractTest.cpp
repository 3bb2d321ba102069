// The payload of setup files made from the built files, unpacked by the
// install job's step under the real progress window into a folder of the test.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestJobs.h"
#include "setup/PayloadExtract.h"
#include "setup/SetupFiles.h"
#include "ui/MessageBoxCapture.h"

namespace {

const char* const CORRUPT_SETUP_FILE_TEXT =
    "Installation file corrupt.\n\nA checksum error was detected in your install file, please redownload file and "
    "install again.";

class PayloadExtractTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        folder = std::string(temp) + "corvane-payload-test";
        setupPath = std::string(temp) + "corvane-payload-test-setup.exe";
        RemoveTestFiles();
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
        program = FileBytes(BuiltProgram());
        encoder = FileBytes(BuiltEncoder());
        ASSERT_FALSE(program.empty());
        ASSERT_FALSE(encoder.empty());
    }
    void TearDown() override { RemoveTestFiles(); }

    void RemoveTestFiles()
    {
        for (const char* name : {"corvane.exe", "corvane.hlp", "mp3enc.exe"})
        {
            DeleteFileA((folder + "\\" + name).c_str());
            DeleteFileA((folder + "\\" + name + ".new").c_str());
            RemoveDirectoryA((folder + "\\" + name).c_str());
        }
        RemoveDirectoryA(folder.c_str());
        DeleteFileA(setupPath.c_str());
    }

    // Unpacks `setup` as the install job does; the boxes it showed are kept.
    ProcessResult Extract(const std::vector<unsigned char>& setup)
    {
        EXPECT_TRUE(WriteBytes(setupPath, setup));
        ProcessResult result = Failed;
        MessageBoxCapture capture;
        WindowJob job([&](WindowJob& window) {
            jobWindow = window.hWnd;
            result = ProcessExtractPayload(window, window.hWnd, setupPath.c_str(), folder.c_str());
            return result == Done;
        });
        job.Run(nullptr);
        boxes = capture.boxes;
        return result;
    }

    std::vector<unsigned char> Installed(const char* name) { return FileBytes(folder + "\\" + name); }
    bool Exists(const char* name) { return FileExists(folder + "\\" + name); }

    std::string folder;
    std::string setupPath;
    std::vector<unsigned char> program;
    std::vector<unsigned char> encoder;
    const std::vector<unsigned char> help = std::vector<unsigned char>(15824, 0x3F);
    std::vector<CapturedMessageBox> boxes;
    HWND jobWindow = nullptr;
};

TEST_F(PayloadExtractTest, EveryFileIsWrittenAsThePayloadHoldsIt)
{
    ASSERT_EQ(Done, Extract(MakeSetupFile({program, help, encoder})));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(program, Installed("corvane.exe"));
    EXPECT_EQ(help, Installed("corvane.hlp"));
    EXPECT_EQ(encoder, Installed("mp3enc.exe"));
}

// Each damage keeps the file's checksum as the build wrote it; a byte sum
// would have passed all but the first two.
TEST_F(PayloadExtractTest, AnyChangedByteOrShiftedSizeInstallsNothing)
{
    const size_t payloadBytes = program.size() + help.size() + encoder.size();
    const struct
    {
        const char* what;
        std::vector<std::pair<size_t, int>> changes;  // offset, added to the byte there
        std::vector<int> sizeShifts;                   // added to each file's size
        size_t nZerosAdded;                            // to the end of the last file
    } cases[] = {
        {"the payload's last byte", {{payloadBytes - 1, 1}}, {}, 0},
        {"a byte in the program", {{1000, 1}}, {}, 0},
        {"one byte +1, another -1", {{1000, 1}, {program.size() + 7, -1}}, {}, 0},
        {"four bytes of the help file counted to the program", {}, {4, -4, 0}, 0},
        {"zeros after the encoder, its size raised to match", {}, {0, 0, 4096}, 4096},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::vector<unsigned char> setup = MakeSetupFile({program, help, encoder});
        // Bytes that would wrap are taken the other way, so the sum moves as asked.
        for (auto [offset, delta] : c.changes)
        {
            ASSERT_TRUE(setup[offset] + delta >= 0 && setup[offset] + delta <= 255);
            setup[offset] = static_cast<unsigned char>(setup[offset] + delta);
        }
        const size_t tailAt = setup.size() - PayloadTailBytes(3);
        setup.insert(setup.begin() + tailAt, c.nZerosAdded, 0);
        for (size_t i = 0; i < c.sizeShifts.size(); ++i)
        {
            uint32_t size;
            memcpy(&size, &setup[tailAt + c.nZerosAdded + 4 * i], 4);
            size += c.sizeShifts[i];
            memcpy(&setup[tailAt + c.nZerosAdded + 4 * i], &size, 4);
        }
        EXPECT_EQ(Failed, Extract(setup));
        ASSERT_NO_FATAL_FAILURE(ExpectOneBox(boxes, "Install Error", CORRUPT_SETUP_FILE_TEXT, IDI_WARNING));
        EXPECT_EQ(jobWindow, boxes[0].hOwner);
        EXPECT_FALSE(Exists("corvane.exe") || Exists("corvane.hlp") || Exists("mp3enc.exe"));
    }
}

TEST_F(PayloadExtractTest, SizesThatDoNotFitTheFileInstallNothing)
{
    std::vector<unsigned char> setup = MakeSetupFile({program, help, encoder});
    // The help file's size one larger: the sum of the files stays, the sizes
    // now reach into the tail.
    setup[setup.size() - PayloadTailBytes(3) + 4] += 1;
    EXPECT_EQ(Failed, Extract(setup));
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(CORRUPT_SETUP_FILE_TEXT, boxes[0].text);
    EXPECT_FALSE(Exists("corvane.exe") || Exists("corvane.hlp") || Exists("mp3enc.exe"));
}

TEST_F(PayloadExtractTest, AListedFileOfNoBytesInstallsNothing)
{
    EXPECT_EQ(Failed, Extract(MakeSetupFile({program, help, {}})));
    ASSERT_NO_FATAL_FAILURE(ExpectOneBox(boxes, "Install Error", CORRUPT_SETUP_FILE_TEXT, IDI_WARNING));
    EXPECT_FALSE(Exists("corvane.exe") || Exists("corvane.hlp") || Exists("mp3enc.exe"));
}

TEST_F(PayloadExtractTest, AFileThatCannotBeCreatedFailsTheInstallWithItsName)
{
    // A folder in the way of the encoder's file.
    ASSERT_TRUE(CreateDirectoryA((folder + "\\mp3enc.exe").c_str(), nullptr));
    EXPECT_EQ(Failed, Extract(MakeSetupFile({program, help, encoder})));
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Install Error", boxes[0].caption);
    EXPECT_NE(std::string::npos, boxes[0].text.find(folder + "\\mp3enc.exe")) << boxes[0].text;
    EXPECT_EQ(IDI_ERROR, boxes[0].icon);
    EXPECT_EQ(jobWindow, boxes[0].hOwner);
}

// A job that is stopped once the copy passes a fraction of the payload, as
// the user's Cancel does.
class StopAtProgress : public TestJobControl
{
public:
    explicit StopAtProgress(double at) : at(at) {}
    void SetProgress(double fraction) override
    {
        if (fraction >= at)
            Stop();
    }

private:
    double at;
};

TEST_F(PayloadExtractTest, CancelLeavesTheInstallationAsItWas)
{
    const std::vector<unsigned char> older(5000, 0x4F);
    const std::vector<unsigned char> newProgram(program.size(), 0x11);
    ASSERT_TRUE(WriteBytes(setupPath, MakeSetupFile({newProgram, help, encoder})));
    const struct
    {
        const char* what;
        bool bInstalledBefore;
        double stopAt;
    } cases[] = {
        {"an update stopped in the program", true, 0.3},
        {"an update stopped in the encoder", true, 0.99},
        {"a first install stopped in the program", false, 0.3},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        for (const char* name : {"corvane.exe", "corvane.hlp", "mp3enc.exe"})
        {
            DeleteFileA((folder + "\\" + name).c_str());
            if (c.bInstalledBefore)
            {
                ASSERT_TRUE(WriteBytes(folder + "\\" + name, older));
            }
        }
        StopAtProgress job(c.stopAt);
        EXPECT_EQ(Stopped, ProcessExtractPayload(job, nullptr, setupPath.c_str(), folder.c_str()));
        for (const char* name : {"corvane.exe", "corvane.hlp", "mp3enc.exe"})
        {
            if (c.bInstalledBefore)
                EXPECT_EQ(older, Installed(name)) << name;
            else
                EXPECT_FALSE(Exists(name)) << name;
            EXPECT_FALSE(FileExists(folder + "\\" + name + ".new")) << "a staged file was left";
        }
    }
}

TEST_F(PayloadExtractTest, AnUnreadableSetupFileFailsWithoutAMessage)
{
    DeleteFileA(setupPath.c_str());
    ProcessResult result = Done;
    MessageBoxCapture capture;
    WindowJob job([&](WindowJob& window) {
        result = ProcessExtractPayload(window, window.hWnd, setupPath.c_str(), folder.c_str());
        return false;
    });
    job.Run(nullptr);
    EXPECT_EQ(Failed, result);
    EXPECT_TRUE(capture.boxes.empty());
}

} // namespace
