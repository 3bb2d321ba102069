// The MP3 sink against a stand-in encoder (fake_encoder.exe) registered as
// the component: what reaches the encoder, and every way an encoder fails.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <fstream>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "RegistryValues.h"
#include "TestJobs.h"
#include "cdrom/VirtualDiscFiles.h"
#include "soundfile/LMP3EncodePipe.h"

namespace {

Mp3EncoderSettings Cbr128()
{
    Mp3EncoderSettings settings = MP3_DEFAULT_SETTINGS;
    settings.bConstantBitRate = 1;
    return settings;
}

// Processes of the stand-in encoder still running.
int RunningFakeEncoders()
{
    int n = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        n += lstrcmpiA(entry.szExeFile, "fake_encoder.exe") == 0;
    CloseHandle(snapshot);
    return n;
}

class MP3EncodePipeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetValue(MP3_ENCODER_KEY, "Path", (ProgramFolder() + "\\fake_encoder.exe").c_str());
        output = ProgramFolder() + "\\pipe-test.mp3";
        DeleteFileA(output.c_str());
        SetEnvironmentVariableA("FAKE_ENCODER", nullptr);
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("FAKE_ENCODER", nullptr);
        DeleteValue(MP3_ENCODER_KEY, "Path");
        DeleteFileA(output.c_str());
        DeleteFileA((output + ".args").c_str());
    }

    std::string output;
};

TEST_F(MP3EncodePipeTest, TheEncoderGetsItsArgumentsAndTheAudioBitForBit)
{
    const Mp3Tags tags = {"Say \"Hi\" \\o/", "AC\\DC\\", "  spaced  ", 12, nullptr};
    LCountedPtr<LMP3EncodePipe> sink = LMP3EncodePipe::OpenMp3Sink(Cbr128(), output.c_str(), 2, 44100, &tags);
    ASSERT_FALSE(sink->bError);
    // Samples at and beyond both ends of the 16-bit range.
    std::vector<int32_t> frames;
    for (int i = 0; i < 2 * 2000; ++i)
        frames.push_back((i * 7919 % 1048576) - 524288 + (i % 3 == 0 ? 600000 : 0));
    for (size_t done = 0; done < frames.size(); done += 2 * 1000)
        sink->Write(frames.data() + done, 1000);
    sink->Finish();
    EXPECT_FALSE(sink->bError);

    std::vector<BYTE> expected;
    for (int32_t v : frames)
    {
        const int16_t s = SampleTo16(v);
        expected.push_back(static_cast<BYTE>(s));
        expected.push_back(static_cast<BYTE>(static_cast<uint16_t>(s) >> 8));
    }
    EXPECT_TRUE(FileBytes(output) == expected) << "the piped audio is not the sink's, as 16-bit little-endian";

    std::ifstream argsFile(output + ".args");
    std::vector<std::string> args;
    for (std::string line; std::getline(argsFile, line);)
        args.push_back(line);
    const std::vector<std::string> expectedArgs = {
        "-m", "j", "-b", "128", "-r", "-x", "-s", "44.100", "-S", "-", output,
        "--tt", "Say \"Hi\" \\o/", "--ta", "AC\\DC\\", "--tl", "  spaced  ", "--tn", "12"};
    EXPECT_EQ(expectedArgs, args);
}

TEST_F(MP3EncodePipeTest, AnEncoderThatFailsFailsTheSink)
{
    const struct
    {
        const char* name;
        const char* mode;       // FAKE_ENCODER
        const char* path;       // the registered encoder; null: the stand-in
        bool bFailsAtOpen;
    } cases[] = {
        {"not registered", nullptr, "", true},
        {"a missing encoder file", nullptr, "C:\\no-such-folder\\mp3enc.exe", true},
        {"exits with 1 at once", "exit1", nullptr, false},
        {"dies half-way", "die-after=200000", nullptr, false},
    };
    const std::vector<int32_t> block(2 * 8192, 1000);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        if (c.path)
            SetValue(MP3_ENCODER_KEY, "Path", c.path);
        else
            SetValue(MP3_ENCODER_KEY, "Path", (ProgramFolder() + "\\fake_encoder.exe").c_str());
        SetEnvironmentVariableA("FAKE_ENCODER", c.mode);
        LCountedPtr<LMP3EncodePipe> sink = LMP3EncodePipe::OpenMp3Sink(Cbr128(), output.c_str(), 2, 44100);
        EXPECT_EQ(c.bFailsAtOpen, static_cast<bool>(sink->bError));
        for (int i = 0; i < 40; ++i)  // more than the encoder takes before it goes
            sink->Write(block.data(), 8192);
        TestJobControl job;
        sink->Finish(job);
        EXPECT_TRUE(sink->bError);
        sink = nullptr;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(output.c_str()));
    }
    EXPECT_EQ(0, RunningFakeEncoders());
}

TEST_F(MP3EncodePipeTest, AStoppedWaitLeavesTheEncoderToAbortWhichEndsIt)
{
    SetEnvironmentVariableA("FAKE_ENCODER", "hang");
    LCountedPtr<LMP3EncodePipe> sink = LMP3EncodePipe::OpenMp3Sink(Cbr128(), output.c_str(), 2, 44100);
    ASSERT_FALSE(sink->bError);
    TestJobControl job;
    job.Stop();
    EXPECT_EQ(Stopped, sink->Finish(job));
    EXPECT_EQ(1, RunningFakeEncoders());
    sink->Abort();
    EXPECT_TRUE(sink->bError);
    EXPECT_EQ(0, RunningFakeEncoders());
}

DWORD WINAPI StopAfterHalfASecond(void* job)
{
    Sleep(500);
    static_cast<TestJobControl*>(job)->Stop();
    return 0;
}

// An encoder that never reads: once the pipe is full, a write waits for it
// through the job, and the job's stop ends the wait, never a write that
// blocks for good. Abort then ends the encoder.
TEST_F(MP3EncodePipeTest, AWriteToAnEncoderThatStopsReadingEndsWithTheJob)
{
    SetEnvironmentVariableA("FAKE_ENCODER", "hang");
    LCountedPtr<LMP3EncodePipe> sink = LMP3EncodePipe::OpenMp3Sink(Cbr128(), output.c_str(), 2, 44100);
    ASSERT_FALSE(sink->bError);
    TestJobControl job;
    sink->SetJob(&job);
    // The user's Cancel, from another thread, while the writes wait.
    HANDLE canceller = CreateThread(nullptr, 0, StopAfterHalfASecond, &job, 0, nullptr);
    ASSERT_NE(nullptr, canceller);
    const std::vector<int32_t> block(2 * 8192, 1000);
    // The pipe holds about 6 s of audio; 60 s of it cannot all go in.
    for (int i = 0; i < 330 && !sink->bError; ++i)
        sink->Write(block.data(), 8192);
    EXPECT_TRUE(sink->bError) << "every write went through to an encoder that reads nothing";
    EXPECT_TRUE(job.IsStopped()) << "the writes ended before the job was stopped";
    WaitForSingleObject(canceller, INFINITE);
    CloseHandle(canceller);
    sink->SetJob(nullptr);
    EXPECT_EQ(1, RunningFakeEncoders());
    sink->Abort();
    EXPECT_EQ(0, RunningFakeEncoders());
}

} // namespace
