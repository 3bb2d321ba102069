// The wave format the rip writes: "WavCodec.wff" in the program folder, the
// system's format chooser driven as a user's clicks drive it, and the test of
// a record against the installed codecs.
#include <gtest/gtest.h>

#include <windows.h>
#include <msacmdlg.h>

#include <fstream>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "files/LFile.h"
#include "settings/ProgramFolders.h"
#include "soundfile/CodecRecords.h"
#include "soundfile/WaveFormatFile.h"
#include "ui/MessageBoxCapture.h"

namespace {

std::string FormatFile()
{
    // The folder start-up creates; these tests bring no start-up of their own.
    char path[TEXT_BUFFER_SIZE];
    CreateInstallFolder(path);
    LFile::FilePathCat(path, "WavCodec.wff");
    return path;
}

// The user's saved format, its folder made.
std::string UserFormatFile()
{
    char path[TEXT_BUFFER_SIZE];
    CreateUserDataFolder(path);
    LFile::FilePathCat(path, "WavCodec.wff");
    return path;
}

// Every test starts and ends without a saved format, the user's or the
// install folder's.
class WaveFormatFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DeleteFileA(FormatFile().c_str());
        DeleteFileA(UserFormatFile().c_str());
    }
    void TearDown() override
    {
        RemoveDirectoryA(FormatFile().c_str());
        DeleteFileA(FormatFile().c_str());
        RemoveDirectoryA(UserFormatFile().c_str());
        DeleteFileA(UserFormatFile().c_str());
    }
};

LWaveFormatRecord DefaultRecord()
{
    LWaveFormatRecord record = {};
    record.Format = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    return record;
}

TEST_F(WaveFormatFileTest, WithoutAFileTheFormatIsCdAudio)
{
    LWaveFormatRecord record;
    memset(&record, 0xAA, sizeof(record));
    LoadWaveFormat(record);
    const LWaveFormatRecord expected = DefaultRecord();
    EXPECT_EQ(0, memcmp(expected.bytes, record.bytes, sizeof(record.bytes)));
}

TEST_F(WaveFormatFileTest, AShortFileReplacesOnlyItsBytesOfTheDefault)
{
    const LWaveFormatRecord ima = ListedRecord(WAVE_FORMAT_IMA_ADPCM, 2, 22050);
    for (size_t length : {size_t(10), size_t(20), size_t(500)})
    {
        SCOPED_TRACE(length);
        {
            std::ofstream file(FormatFile(), std::ios::binary);
            file.write(reinterpret_cast<const char*>(ima.bytes), static_cast<std::streamsize>(length));
        }
        LWaveFormatRecord expected = DefaultRecord();
        memcpy(expected.bytes, ima.bytes, length);
        LWaveFormatRecord record;
        LoadWaveFormat(record);
        EXPECT_EQ(0, memcmp(expected.bytes, record.bytes, sizeof(record.bytes)));
    }
}

TEST_F(WaveFormatFileTest, SavingWritesAllOfTheRecordAndLoadingReadsItBack)
{
    LWaveFormatRecord record = ListedRecord(WAVE_FORMAT_GSM610, 1, 8000);
    record.bytes[1000] = 0x5A;  // past the record, where a chooser may have written
    {
        std::ofstream longer(UserFormatFile(), std::ios::binary);
        longer << std::string(3000, 'x');
    }
    ASSERT_TRUE(SaveWaveFormat(record));
    const std::vector<BYTE> bytes = FileBytes(UserFormatFile());
    ASSERT_EQ(1024u, bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), record.bytes));
    LWaveFormatRecord loaded;
    LoadWaveFormat(loaded);
    EXPECT_EQ(0, memcmp(record.bytes, loaded.bytes, sizeof(record.bytes)));
}

TEST_F(WaveFormatFileTest, ASavedFormatIsTheUsersAndAnInstalledOneIsReadUntilThen)
{
    // An earlier install's choice, in the install folder users may not write.
    LWaveFormatRecord installed = DefaultRecord();
    installed.Format.nChannels = 1;
    installed.Format.nAvgBytesPerSec = 88200;
    installed.Format.nBlockAlign = 2;
    {
        std::ofstream file(FormatFile(), std::ios::binary);
        file.write(reinterpret_cast<const char*>(installed.bytes), sizeof(installed.bytes));
    }
    ASSERT_NE("", UserFormatFile());
    EXPECT_NE(FormatFile(), UserFormatFile());
    LWaveFormatRecord record;
    LoadWaveFormat(record);
    EXPECT_EQ(0, memcmp(installed.bytes, record.bytes, sizeof(record.bytes)));

    // The user's own choice goes to the user's folder and wins from then on.
    const LWaveFormatRecord chosen = DefaultRecord();
    ASSERT_TRUE(SaveWaveFormat(chosen));
    EXPECT_EQ(std::vector<BYTE>(chosen.bytes, chosen.bytes + sizeof(chosen.bytes)), FileBytes(UserFormatFile()));
    EXPECT_EQ(std::vector<BYTE>(installed.bytes, installed.bytes + sizeof(installed.bytes)), FileBytes(FormatFile()));
    LoadWaveFormat(record);
    EXPECT_EQ(0, memcmp(chosen.bytes, record.bytes, sizeof(record.bytes)));
}

TEST_F(WaveFormatFileTest, AFormatFileThatCannotBeWrittenGivesFalse)
{
    // A folder stands where the file would go.
    ASSERT_TRUE(CreateDirectoryA(UserFormatFile().c_str(), nullptr));
    EXPECT_FALSE(SaveWaveFormat(ListedRecord(WAVE_FORMAT_MULAW, 2, 44100)));
    EXPECT_TRUE(RemoveDirectoryA(UserFormatFile().c_str())) << "the folder is still a folder";
}

TEST_F(WaveFormatFileTest, ARecordIsSupportedWhenACodecWritesItFromPcm)
{
    LWaveFormatRecord oversized = ListedRecord(WAVE_FORMAT_IMA_ADPCM, 2, 44100);
    oversized.Format.cbSize = 1007;
    LWaveFormatRecord unknown = {};
    unknown.Format = {0x2222, 2, 44100, 44100, 4, 8, 0};
    const struct
    {
        const char* name;
        LWaveFormatRecord record;
        bool bSupported;
    } cases[] = {
        {"PCM", DefaultRecord(), true},
        {"IMA ADPCM", ListedRecord(WAVE_FORMAT_IMA_ADPCM, 2, 44100), true},
        {"mu-law", ListedRecord(WAVE_FORMAT_MULAW, 1, 8000), true},
        {"A-law", ListedRecord(WAVE_FORMAT_ALAW, 2, 22050), true},
#ifndef _WIN64
        // Wine's 64-bit compression manager converts no PCM to GSM 6.10.
        {"GSM 6.10", ListedRecord(WAVE_FORMAT_GSM610, 1, 44100), true},
#endif
        // Wine's Microsoft ADPCM codec decodes only.
        {"Microsoft ADPCM", ListedRecord(WAVE_FORMAT_ADPCM, 2, 44100), false},
        {"a tag no codec knows", unknown, false},
        {"more codec bytes than the record holds", oversized, false},
        {"IMA ADPCM with a block alignment of 1", CraftedImaAdpcmRecord(), false},
        {"mu-law stereo with a block alignment of 1", CraftedMuLawRecord(), false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_NE(0, c.record.Format.wFormatTag) << "not listed";
        EXPECT_EQ(c.bSupported, LWaveFileFormat::TestSupportedRecord(c.record));
    }
}

// What the user does in each chooser that appears, in turn: picks a format
// tag and a format and presses OK, or presses Cancel (tag null).
struct ChooserStep
{
    const char* tag;
    const char* format;
};
std::vector<ChooserStep> chooserSteps;
size_t nextStep = 0;
// The format tag and format each chooser showed when it appeared.
std::vector<std::string> shownTags;
std::vector<std::string> shownFormats;

BOOL CALLBACK KeepChooser(HWND window, LPARAM found)
{
    if (IsWindowVisible(window) && GetDlgItem(window, IDD_ACMFORMATCHOOSE_CMB_FORMATTAG))
    {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

std::string Selected(HWND combo)
{
    char text[TEXT_BUFFER_SIZE] = "";
    const LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (index != CB_ERR && SendMessageA(combo, CB_GETLBTEXTLEN, index, 0) < LRESULT(sizeof(text)))
        SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

void CALLBACK DriveChooser(HWND, UINT, UINT_PTR, DWORD)
{
    HWND chooser = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), KeepChooser, reinterpret_cast<LPARAM>(&chooser));
    if (!chooser || nextStep >= chooserSteps.size())
        return;
    const ChooserStep step = chooserSteps[nextStep++];
    HWND tags = GetDlgItem(chooser, IDD_ACMFORMATCHOOSE_CMB_FORMATTAG);
    HWND formats = GetDlgItem(chooser, IDD_ACMFORMATCHOOSE_CMB_FORMAT);
    shownTags.push_back(Selected(tags));
    shownFormats.push_back(Selected(formats));
    if (!step.tag)
    {
        SendMessageA(GetDlgItem(chooser, IDCANCEL), BM_CLICK, 0, 0);
        return;
    }
    SendMessageA(tags, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(step.tag));
    SendMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDD_ACMFORMATCHOOSE_CMB_FORMATTAG, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(tags));
    SendMessageA(formats, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(step.format));
    SendMessageA(GetDlgItem(chooser, IDOK), BM_CLICK, 0, 0);
}

// Shows the chooser from the saved format, taking the steps in it.
bool RunChooser(const std::vector<ChooserStep>& steps, LWaveFormatRecord& record)
{
    chooserSteps = steps;
    nextStep = 0;
    shownTags.clear();
    shownFormats.clear();
    LoadWaveFormat(record);
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, DriveChooser);
    const bool bChosen = LWaveFileFormat::ChooseFormat(nullptr, record, 0, "Select Wave File Format");
    KillTimer(nullptr, timer);
    return bChosen;
}

// The settings dialog's use: the choice is saved when one was made.
bool ChooseAndSave(const std::vector<ChooserStep>& steps, LWaveFormatRecord& record)
{
    return RunChooser(steps, record) && SaveWaveFormat(record);
}

TEST_F(WaveFormatFileTest, AFormatPickedInTheChooserIsSavedWhole)
{
    MessageBoxCapture boxes;
    LWaveFormatRecord record;
    ASSERT_TRUE(ChooseAndSave({{"IMA ADPCM", "22050 Hz; 4 bits; Stereo"}}, record));
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(1u, shownTags.size());
    EXPECT_EQ("PCM", shownTags[0]) << "the chooser starts from the saved format, CD audio by default";
    EXPECT_EQ(0u, shownFormats[0].find("44100 Hz; 16 bits; Stereo"));

    EXPECT_EQ(WAVE_FORMAT_IMA_ADPCM, record.Format.wFormatTag);
    EXPECT_EQ(2, record.Format.nChannels);
    EXPECT_EQ(22050u, record.Format.nSamplesPerSec);
    EXPECT_EQ(1024, record.Format.nBlockAlign);
    EXPECT_EQ(4, record.Format.wBitsPerSample);
    EXPECT_EQ(2, record.Format.cbSize);
    const std::vector<BYTE> bytes = FileBytes(UserFormatFile());
    ASSERT_EQ(1024u, bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), record.bytes));
    EXPECT_EQ(0, memcmp(ListedRecord(WAVE_FORMAT_IMA_ADPCM, 2, 22050).bytes, bytes.data(), 20))
        << "the record the codec lists for that format";
}

TEST_F(WaveFormatFileTest, AFormatNoCodecWritesIsReportedAndTheChooserShownAgain)
{
    MessageBoxCapture boxes;
    LWaveFormatRecord record;
    // Wine's Microsoft ADPCM codec decodes only.
    ASSERT_TRUE(ChooseAndSave({{"Microsoft ADPCM", "44100 Hz; 4 bits; Stereo"}, {"U-Law", "8000 Hz; 8 bits; Mono"}},
                              record));
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ("Format Not Available", boxes.boxes[0].caption);
    EXPECT_EQ("The requested format is not available because the required CODEC is not installed on this computer.",
              boxes.boxes[0].text);
    EXPECT_EQ(IDI_ERROR, boxes.boxes[0].icon);
    ASSERT_EQ(2u, shownTags.size());
    EXPECT_EQ("Microsoft ADPCM", shownTags[1]) << "shown again from the refused choice";
    EXPECT_EQ(0u, shownFormats[1].find("44100 Hz; 4 bits; Stereo"));
    EXPECT_EQ(WAVE_FORMAT_MULAW, record.Format.wFormatTag);
    EXPECT_EQ(1, record.Format.nChannels);
    EXPECT_EQ(8000u, record.Format.nSamplesPerSec);
    EXPECT_EQ(1024u, FileBytes(UserFormatFile()).size());
}

TEST_F(WaveFormatFileTest, CancelWritesNothing)
{
    const LWaveFormatRecord saved = ListedRecord(WAVE_FORMAT_ALAW, 2, 44100);
    ASSERT_TRUE(SaveWaveFormat(saved));
    MessageBoxCapture boxes;
    const std::vector<ChooserStep> cancelled[] = {
        {{nullptr, nullptr}},
        {{"Microsoft ADPCM", "8000 Hz; 4 bits; Mono"}, {nullptr, nullptr}},  // after a refused format
    };
    for (const std::vector<ChooserStep>& steps : cancelled)
    {
        SCOPED_TRACE(steps.size());
        LWaveFormatRecord record;
        EXPECT_FALSE(ChooseAndSave(steps, record));
        ASSERT_EQ(steps.size(), shownTags.size());
        EXPECT_EQ("A-Law", shownTags[0]) << "the chooser starts from the saved format";
        const std::vector<BYTE> bytes = FileBytes(UserFormatFile());
        EXPECT_TRUE(bytes.size() == 1024 && std::equal(bytes.begin(), bytes.end(), saved.bytes));
    }
}

} // namespace
