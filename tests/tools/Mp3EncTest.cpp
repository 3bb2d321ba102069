// mp3enc.exe run as the ripper runs it: raw PCM through a pipe on its
// standard input, its path and the output path quoted on the command line.
// The tone files are left in mp3-files/ beside this program, each with the
// samples it was meant to hold, for an independent decoder
// (tests/tools/mp3_read_back.py) to measure.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "Mp3Encoder.h"
#include "WaitFor.h"
#include "cdrom/VirtualDiscFiles.h"
#include "files/LFile.h"
#include "TestFiles.h"

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The size of a file, also of one another process holds open for itself.
// The names in `folder`, without "." and "..".
std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
    {
        const std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string TextOf(const std::string& path)
{
    const std::vector<unsigned char> bytes = FileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// `seconds` of one sine tone a channel at half of full scale, faded in and
// out over 10 ms so that the encoder meets no clicks; 16-bit samples,
// little-endian, or big-endian when `bigEndian`.
std::vector<unsigned char> Tone(int rate, const std::vector<double>& frequencies, double seconds,
                                bool bigEndian = false)
{
    const double pi = 3.14159265358979323846;
    const int frames = static_cast<int>(rate * seconds);
    const int fade = rate / 100;
    std::vector<unsigned char> bytes;
    bytes.reserve(static_cast<size_t>(frames) * frequencies.size() * 2);
    for (int i = 0; i < frames; ++i)
    {
        const int edge = std::min(i, frames - 1 - i);
        const double gain = edge >= fade ? 1.0 : 0.5 - 0.5 * std::cos(pi * edge / fade);
        for (double frequency : frequencies)
        {
            const auto value = static_cast<uint16_t>(
                static_cast<int16_t>(std::lround(16384.0 * gain * std::sin(2 * pi * frequency * i / rate))));
            const auto low = static_cast<unsigned char>(value & 0xFF);
            const auto high = static_cast<unsigned char>(value >> 8);
            bytes.push_back(bigEndian ? high : low);
            bytes.push_back(bigEndian ? low : high);
        }
    }
    return bytes;
}

// The encoder as a running process, its standard input a pipe this side
// writes; standard output and error go to files.
class EncoderProcess
{
public:
    explicit EncoderProcess(const std::string& arguments)
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        // Files of its own, so that no encoder's lines are taken for another's.
        static int nStarted = 0;
        const std::string stem = std::string(temp) + "corvane-mp3enc-" + std::to_string(GetCurrentProcessId()) +
                                 "-" + std::to_string(++nStarted);
        outputFile = stem + ".out";
        errorFile = stem + ".err";
        SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
        HANDLE output = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        HANDLE errors = CreateFileA(errorFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        HANDLE pipeRead = nullptr;
        if (output != INVALID_HANDLE_VALUE && errors != INVALID_HANDLE_VALUE &&
            CreatePipe(&pipeRead, &input, &inherited, 0))
        {
            SetHandleInformation(input, HANDLE_FLAG_INHERIT, 0);
            STARTUPINFOA startup = {};
            startup.cb = sizeof(startup);
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdInput = pipeRead;
            startup.hStdOutput = output;
            startup.hStdError = errors;
            std::string commandLine = Quoted(Mp3EncoderPath()) + " " + arguments;
            PROCESS_INFORMATION started = {};
            // No console: the standard handles are all given, and Wine's
            // console host would hold them open past the encoder's end.
            if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr,
                               &startup, &started))
            {
                CloseHandle(started.hThread);
                process = started.hProcess;
            }
            CloseHandle(pipeRead);
        }
        for (HANDLE file : {output, errors})
            if (file != INVALID_HANDLE_VALUE)
                CloseHandle(file);
    }
    ~EncoderProcess()
    {
        CloseInput();
        if (process)
        {
            TerminateProcess(process, 255);
            WaitForSingleObject(process, 30000);
            CloseHandle(process);
        }
        DeleteFileA(outputFile.c_str());
        DeleteFileA(errorFile.c_str());
    }
    EncoderProcess(const EncoderProcess&) = delete;
    EncoderProcess& operator=(const EncoderProcess&) = delete;

    bool Started() const { return process != nullptr; }

    // Writes what the encoder takes of `bytes`; one that has stopped takes nothing more.
    void Write(const std::vector<unsigned char>& bytes)
    {
        for (size_t at = 0; at < bytes.size();)
        {
            DWORD written = 0;
            const DWORD count = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 65536));
            if (!WriteFile(input, bytes.data() + at, count, &written, nullptr) || written == 0)
                return;
            at += written;
        }
    }

    void CloseInput()
    {
        if (input)
            CloseHandle(input);
        input = nullptr;
    }

    // Waits for the end; its exit code, or STILL_ACTIVE if it never ends.
    DWORD ExitCode()
    {
        CloseInput();
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(process, 120000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process, &code);
        return code;
    }

    // What it wrote to standard output and error: read after it has ended.
    std::string Output() const { return TextOf(outputFile); }
    std::string Errors() const { return TextOf(errorFile); }

    HANDLE process = nullptr;

private:
    HANDLE input = nullptr;
    std::string outputFile;
    std::string errorFile;
};

// The encoder with `arguments` and all of `input`; its exit code.
DWORD Encode(const std::string& arguments, const std::vector<unsigned char>& input, std::string* errors = nullptr)
{
    EncoderProcess encoder(arguments);
    EXPECT_TRUE(encoder.Started()) << Mp3EncoderPath();
    encoder.Write(input);
    const DWORD code = encoder.ExitCode();
    EXPECT_EQ("", encoder.Output());
    if (errors)
        *errors = encoder.Errors();
    return code;
}

const char kCbr[] = "-m j -b 128 -r -x -s 44.100 -S - ";

class Mp3EncoderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        folder = std::string(temp) + "corvane-mp3enc";
        LFile::DeleteFolderAndFiles(folder.c_str());
        CreateDirectoryA(folder.c_str(), nullptr);
        track = folder + "\\Track 01.mp3";
    }
    void TearDown() override { LFile::DeleteFolderAndFiles(folder.c_str()); }

    std::string folder;
    std::string track;
};

// A command line the encoder refuses.
struct BadUsage
{
    const char* what;
    const char* arguments;  // "OUT" stands for the quoted output path
};

const BadUsage kBadUsages[] = {
    {"an unknown option", "-m j -b 128 -q 2 -r -x -s 44.100 -S - OUT"},
    {"a bit rate outside the tables", "-m j -b 100 -r -x -s 44.100 -S - OUT"},
    {"no output path", "-m j -b 128 -r -x -s 44.100 -S -"},
    {"an MPEG-1 rate at 22050 Hz", "-m m -b 320 -r -x -s 22.050 -S - OUT"},
    {"an MPEG-2 rate at 44100 Hz", "-m j -b 144 -r -x -s 44.100 -S - OUT"},
    {"a maximum below the minimum", "-m j -v -b 128 -B 64 -V 4 -r -x -s 44.100 -S - OUT"},
    {"a VBR quality of 10", "-m j -v -b 32 -B 128 -V 10 -r -x -s 44.100 -S - OUT"},
    {"a rate MPEG audio lacks", "-m j -b 128 -r -x -s 44.000 -S - OUT"},
    {"an unknown channel mode", "-m x -b 128 -r -x -s 44.100 -S - OUT"},
    {"no -x", "-m j -b 128 -r -s 44.100 -S - OUT"},
    {"a track number of 0", "-m j -b 128 -r -x -s 44.100 -S --tn 0 - OUT"},
};

TEST_F(Mp3EncoderTest, BadUsageExitsWithOneWritesOneLineOfUsageAndNoFile)
{
    const std::vector<unsigned char> tone = Tone(44100, {440, 660}, 0.5);
    for (const BadUsage& usage : kBadUsages)
    {
        std::string arguments = usage.arguments;
        const size_t out = arguments.find("OUT");
        if (out != std::string::npos)
            arguments.replace(out, 3, Quoted(track));
        std::string errors;
        EXPECT_EQ(1u, Encode(arguments, tone, &errors)) << usage.what;
        EXPECT_EQ(errors.size() - 1, errors.find('\n')) << usage.what << ": " << errors;
        EXPECT_NE(std::string::npos, errors.find("usage: mp3enc -m s|j|f|m")) << usage.what << ": " << errors;
        EXPECT_TRUE(FilesIn(folder).empty()) << usage.what;
    }
}

TEST_F(Mp3EncoderTest, AnOutputFileInAMissingFolderExitsWithTwo)
{
    std::string errors;
    EXPECT_EQ(2u, Encode(kCbr + Quoted(folder + "\\missing\\Track 01.mp3"), Tone(44100, {440, 660}, 0.5), &errors));
    EXPECT_EQ(errors.size() - 1, errors.find('\n')) << errors;
    EXPECT_TRUE(FilesIn(folder).empty());
}

TEST_F(Mp3EncoderTest, AKilledEncoderLeavesNoFileUnderTheFinalName)
{
    EncoderProcess encoder(kCbr + Quoted(track));
    ASSERT_TRUE(encoder.Started());
    // Three seconds with the pipe left open: the encoder, which reads in
    // shorter blocks, writes frames and then waits for more input.
    encoder.Write(Tone(44100, {440, 660}, 3.0));
    const std::string part = track + ".part";
    EXPECT_TRUE(WaitFor([&] { return FileSize(part) > 0; }, 60000));
    ASSERT_TRUE(TerminateProcess(encoder.process, 9));
    EXPECT_EQ(9u, encoder.ExitCode());
    EXPECT_FALSE(Exists(track));
    EXPECT_EQ(std::vector<std::string>{"Track 01.mp3.part"}, FilesIn(folder));
}

TEST_F(Mp3EncoderTest, AFinishedFileReplacesAnOlderOne)
{
    FILE* older = fopen(track.c_str(), "wb");
    ASSERT_NE(nullptr, older);
    fputs("an older file", older);
    fclose(older);
    EXPECT_EQ(0u, Encode(kCbr + Quoted(track), Tone(44100, {440, 660}, 0.5)));
    const std::vector<unsigned char> bytes = FileBytes(track);
    ASSERT_GT(bytes.size(), 4000u);
    // An MPEG-1 Layer III frame header, with no ID3 tag asked for.
    EXPECT_EQ(0xFF, bytes[0]);
    EXPECT_EQ(0xFA, bytes[1] & 0xFE);
    EXPECT_EQ(std::vector<std::string>{"Track 01.mp3"}, FilesIn(folder));
}

TEST_F(Mp3EncoderTest, InputEndingInsideASampleFrameExitsWithThreeAndKeepsTheOlderFile)
{
    FILE* older = fopen(track.c_str(), "wb");
    ASSERT_NE(nullptr, older);
    fputs("an older file", older);
    fclose(older);
    std::vector<unsigned char> cut = Tone(44100, {440, 660}, 2.0);
    cut.resize(cut.size() - 1);
    std::string errors;
    EXPECT_EQ(3u, Encode(kCbr + Quoted(track), cut, &errors));
    EXPECT_EQ("mp3enc: standard input ends inside a sample frame\r\n", errors);
    EXPECT_EQ("an older file", TextOf(track));
    EXPECT_EQ(std::vector<std::string>{"Track 01.mp3"}, FilesIn(folder));

    DeleteFileA(track.c_str());
    EXPECT_EQ(3u, Encode("-m m -b 64 -r -x -s 22.050 -S - " + Quoted(track), {0x01, 0x02, 0x03}));
    EXPECT_TRUE(FilesIn(folder).empty());
}

// The ripper says how many frames it will feed: an input that ends before
// them (the ripper died, closing the pipe) or brings more makes no file.
TEST_F(Mp3EncoderTest, OnlyTheFramesToExpectMakeAFile)
{
    const std::vector<unsigned char> tone = Tone(44100, {440, 660}, 0.5);  // 22050 frames of 4 bytes
    const struct
    {
        const char* frames;
        DWORD exitCode;
    } cases[] = {
        {"22051", 3},
        {"44100", 3},
        {"22049", 3},
        {"22050", 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.frames);
        FILE* older = fopen(track.c_str(), "wb");
        ASSERT_NE(nullptr, older);
        fputs("an older file", older);
        fclose(older);
        std::string errors;
        EXPECT_EQ(c.exitCode, Encode(std::string("-m j -b 128 -r -x -s 44.100 --frames ") + c.frames + " -S - " +
                                         Quoted(track),
                                     tone, &errors));
        EXPECT_EQ(std::vector<std::string>{"Track 01.mp3"}, FilesIn(folder)) << "a .part was left";
        if (c.exitCode == 0)
            EXPECT_GT(FileBytes(track).size(), 4000u);
        else
        {
            EXPECT_EQ("an older file", TextOf(track));
            EXPECT_EQ(std::string("mp3enc: standard input held 22050 sample frames, not ") + c.frames + "\r\n", errors);
        }
    }
}

TEST_F(Mp3EncoderTest, WithoutMinusCapitalSItSaysWhatItWrote)
{
    std::string errors;
    EXPECT_EQ(0u, Encode("-m m -b 64 -r -x -s 22.050 - " + Quoted(track), Tone(22050, {440}, 1.0), &errors));
    EXPECT_EQ("mp3enc: 22050 sample frames at 22050 Hz, 1 channel(s), into \"" + track + "\"\r\n", errors);
    EXPECT_TRUE(Exists(track));
}

// The files mp3_read_back.py measures, with the samples they were meant to
// hold ("<name>.pcm", little-endian).
std::string ReadBackFile(const std::string& name)
{
    const std::string folder = ProgramFolder() + "\\mp3-files";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\" + name;
}

void EncodeForReadBack(const char* name, const std::string& arguments, const std::vector<unsigned char>& meant,
                       const std::vector<unsigned char>& sent)
{
    const std::string mp3 = ReadBackFile(std::string(name) + ".mp3");
    DeleteFileA(mp3.c_str());
    FILE* pcm = fopen(ReadBackFile(std::string(name) + ".pcm").c_str(), "wb");
    ASSERT_NE(nullptr, pcm);
    fwrite(meant.data(), 1, meant.size(), pcm);
    fclose(pcm);
    std::string errors;
    EXPECT_EQ(0u, Encode(arguments + " " + Quoted(mp3), sent, &errors)) << name;
    EXPECT_EQ("", errors) << name;
    EXPECT_TRUE(Exists(mp3)) << name;
}

TEST(Mp3EncoderReadBack, Tones)
{
    const std::vector<unsigned char> stereo = Tone(44100, {440, 660}, 3.0);
    EncodeForReadBack("cbr128-stereo", "-m s -b 128 -r -x -s 44.100 -S -", stereo, stereo);
    EncodeForReadBack("vbr4-joint", "-m j -v -b 32 -B 128 -V 4 -r -x -s 44.100 -S -", stereo, stereo);
    const std::vector<unsigned char> mono = Tone(22050, {440}, 3.0);
    EncodeForReadBack("cbr16-mono-22050", "-m m -b 16 -r -x -s 22.050 -S -", mono, mono);
    // Big-endian samples read as little-endian ones: noise, which the read-back shows.
    EncodeForReadBack("cbr128-fed-big-endian", "-m s -b 128 -r -x -s 44.100 -S -", stereo,
                      Tone(44100, {440, 660}, 3.0, true));
}

TEST(Mp3EncoderReadBack, TagsGivenAnywhereBeforeTheOutputPath)
{
    const std::vector<unsigned char> tone = Tone(44100, {440, 660}, 1.0);
    EncodeForReadBack("tags",
                      "--tn 7 -m f --ta \"The Corvids\" -b 192 -h -p -r -x "
                      "--tl \"Winter Light (Deluxe Edition, Remastered)\" -s 44.100 -S --tt \"Caf\xE9 Kestrel\" "
                      "--tv TSRC=GBAYE6500001 -",
                      tone, tone);
}

} // namespace
