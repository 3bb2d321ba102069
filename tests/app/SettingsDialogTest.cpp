// The Settings dialog and the MP3 encoder's dialog, run as the main window
// runs them, with a user's clicks played by a script; what they show and what
// they leave in the registry.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "RegistryValues.h"
#include "app/DialogScript.h"
#include "app/LSettingsDlg.h"
#include "app/MainDialogFixture.h"
#include "cddb/LocalCDDBServer.h"
#include "files/LFile.h"
#include "resources/resource.h"
#include "ui/MessageBoxCapture.h"

namespace {

const char* const MP3_KEY = "Software\\Talmarin\\Corvane\\MP3Encoder";
const char* const SETTINGS_VALUES[] = {"OutputFormat", "UseCDDB", "FileNameNoAlbum", "FileNameIncludeAlbum", "FlacLevel"};
const char* const MP3_VALUES[] = {"ConstantBitRate", "CBRBitRate",   "HighQuality",     "VBRMinBitRate",
                                  "VBRMaxBitRate",   "VBRQuality",   "ErrorProtection", "ChannelMode"};

class SettingsDialogTest : public ::testing::Test
{
protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear()
    {
        for (const char* name : SETTINGS_VALUES)
            DeleteValue(SETTINGS_KEY, name);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, MP3_KEY);
    }
    static std::string Values()
    {
        std::string all;
        for (const char* name : SETTINGS_VALUES)
            all += std::string(name) + "=" + GetValue(SETTINGS_KEY, name) + ";";
        for (const char* name : MP3_VALUES)
            all += std::string(name) + "=" + GetValue(MP3_KEY, name) + ";";
        return all;
    }
    static INT_PTR Run()
    {
        LSettingsDlg settings;
        return settings.DoModal(MAKEINTRESOURCEA(IDD_SETTINGS), nullptr);
    }
};

using Script = DialogScript;

TEST_F(SettingsDialogTest, OkWritesWhatItShowsAndCancelWritesNothing)
{
    SetValue(SETTINGS_KEY, "OutputFormat", "mp3");
    Script script;
    script.On("Settings", [](HWND d) {
        EXPECT_EQ("MP3", Script::Text(d, IDC_OUTPUT_FORMAT)) << "found by its prefix, in any case";
        EXPECT_TRUE(Script::Checked(d, IDC_USE_CDDB));
        EXPECT_TRUE(Script::Checked(d, IDC_NAME_ARTIST_TRACK));
        EXPECT_FALSE(Script::Checked(d, IDC_NAME_ALBUM_ARTIST_TRACK));
        // Unchecking the database greys the file-name options and their label.
        Script::Click(d, IDC_USE_CDDB);
        for (int id : {IDC_NAME_ARTIST_TRACK, IDC_NAME_ALBUM_ARTIST_TRACK, IDC_NAME_FORMAT_LABEL})
            EXPECT_FALSE(Script::Enabled(d, id)) << id;
        Script::Click(d, IDC_USE_CDDB);
        for (int id : {IDC_NAME_ARTIST_TRACK, IDC_NAME_ALBUM_ARTIST_TRACK, IDC_NAME_FORMAT_LABEL})
            EXPECT_TRUE(Script::Enabled(d, id)) << id;
        Script::Click(d, IDC_NAME_ALBUM_ARTIST_TRACK);
        Script::Click(d, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, Run());
    EXPECT_TRUE(script.AllDone());
    EXPECT_EQ("mp3", GetValue(SETTINGS_KEY, "OutputFormat"));
    EXPECT_EQ("", GetValue(SETTINGS_KEY, "UseCDDB")) << "Cancel wrote a value";

    Script again;
    again.On("Settings", [](HWND d) {
        Script::Click(d, IDC_NAME_ALBUM_ARTIST_TRACK);
        Script::Click(d, IDOK);
    });
    EXPECT_EQ(IDOK, Run());
    EXPECT_EQ("MP3", GetValue(SETTINGS_KEY, "OutputFormat"));
    EXPECT_EQ("1", GetValue(SETTINGS_KEY, "UseCDDB"));
    EXPECT_EQ("0", GetValue(SETTINGS_KEY, "FileNameNoAlbum"));
    EXPECT_EQ("1", GetValue(SETTINGS_KEY, "FileNameIncludeAlbum"));
}

// FLAC's level sits beside the format list, usable only while FLAC is chosen;
// a stored level beyond 0 to 8 shows as the nearest end.
TEST_F(SettingsDialogTest, FlacIsOfferedWithItsLevelBesideIt)
{
    SetValue(SETTINGS_KEY, "FlacLevel", "12");
    Script script;
    script.On("Settings", [](HWND d) {
        EXPECT_EQ("WAV", Script::Text(d, IDC_OUTPUT_FORMAT));
        EXPECT_EQ("8 (Smallest)", Script::Text(d, IDC_FLAC_LEVEL));
        EXPECT_FALSE(Script::Enabled(d, IDC_FLAC_LEVEL));
        EXPECT_TRUE(Script::Enabled(d, IDC_FORMAT_SETTINGS));
        Script::Select(d, IDC_OUTPUT_FORMAT, 2);
        EXPECT_EQ("FLAC", Script::Text(d, IDC_OUTPUT_FORMAT));
        EXPECT_TRUE(Script::Enabled(d, IDC_FLAC_LEVEL));
        EXPECT_TRUE(Script::Enabled(d, IDC_FLAC_LEVEL_LABEL));
        EXPECT_FALSE(Script::Enabled(d, IDC_FORMAT_SETTINGS)) << "FLAC has no dialog of its own";
        Script::Select(d, IDC_FLAC_LEVEL, 0);
        Script::Click(d, IDOK);
    });
    EXPECT_EQ(IDOK, Run());
    EXPECT_TRUE(script.AllDone());
    EXPECT_EQ("FLAC", GetValue(SETTINGS_KEY, "OutputFormat"));
    EXPECT_EQ("0", GetValue(SETTINGS_KEY, "FlacLevel"));
}

TEST_F(SettingsDialogTest, TheMp3DialogShowsTheStoredOptionsAndSavesOnItsOwnOk)
{
    SetValue(MP3_KEY, "VBRMinBitRate", "8");
    SetValue(MP3_KEY, "VBRMaxBitRate", "320");
    const std::string before = Values();
    Script script;
    script.On("Settings", [](HWND d) {
        Script::Select(d, IDC_OUTPUT_FORMAT, 1);
        Script::Click(d, IDC_FORMAT_SETTINGS);  // the MP3 dialog's steps run inside
        Script::Click(d, IDC_FORMAT_SETTINGS);
        Script::Click(d, IDCANCEL);
    });
    script.On("MP3 Encoder Settings", [](HWND d) {
        EXPECT_EQ("8", Script::Text(d, IDC_MP3_VBR_MIN)) << "shown as stored; the encoder gets 32";
        EXPECT_EQ("320", Script::Text(d, IDC_MP3_VBR_MAX));
        EXPECT_TRUE(Script::Checked(d, IDC_MP3_VBR));
        EXPECT_FALSE(Script::Enabled(d, IDC_MP3_CBR_BITRATE));
        EXPECT_TRUE(Script::Enabled(d, IDC_MP3_VBR_QUALITY));
        Script::Click(d, IDC_MP3_RESTORE_DEFAULTS);
        EXPECT_EQ("32", Script::Text(d, IDC_MP3_VBR_MIN));
        EXPECT_EQ("128", Script::Text(d, IDC_MP3_VBR_MAX));
        EXPECT_EQ("128", Script::Text(d, IDC_MP3_CBR_BITRATE));
        EXPECT_EQ("4", Script::Text(d, IDC_MP3_VBR_QUALITY));
        EXPECT_EQ("Joint", Script::Text(d, IDC_MP3_CHANNEL_MODE));
        Script::Click(d, IDCANCEL);
    });
    script.On("MP3 Encoder Settings", [](HWND d) {
        Script::Click(d, IDC_MP3_CBR);
        EXPECT_TRUE(Script::Enabled(d, IDC_MP3_CBR_BITRATE));
        EXPECT_FALSE(Script::Enabled(d, IDC_MP3_VBR_MIN));
        Script::Select(d, IDC_MP3_CBR_BITRATE, 14);  // 192
        Script::Click(d, IDC_MP3_CRC);
        Script::Select(d, IDC_MP3_CHANNEL_MODE, 3);
        Script::Click(d, IDOK);
    });
    EXPECT_EQ(IDCANCEL, Run());
    EXPECT_TRUE(script.AllDone());
    EXPECT_EQ("", GetValue(SETTINGS_KEY, "OutputFormat")) << "the Settings dialog was cancelled";
    EXPECT_NE(before, Values());
    const char* const expected[][2] = {{"ConstantBitRate", "1"}, {"CBRBitRate", "192"}, {"HighQuality", "0"},
                                       {"VBRMinBitRate", "8"},   {"VBRMaxBitRate", "320"}, {"VBRQuality", "4"},
                                       {"ErrorProtection", "1"}, {"ChannelMode", "3"}};
    for (const auto& value : expected)
        EXPECT_EQ(value[1], GetValue(MP3_KEY, value[0])) << value[0];
}

// The main window's Settings command, with a database that names every disc.
class SettingsCommandTest : public MainDialogTest
{
protected:
    void TearDown() override
    {
        MainDialogTest::TearDown();
        server.reset();
        for (const char* name : SETTINGS_VALUES)
            DeleteValue(SETTINGS_KEY, name);
        SetValue(SETTINGS_KEY, "CDDBServer", "127.0.0.1:1");
    }
    std::unique_ptr<LocalCDDBServer> server;
};

TEST_F(SettingsCommandTest, TurningTheDatabaseOnOrOffLoadsTheDiscAgain)
{
    const std::string entries = std::string(CDDB_TEST_FOLDER) + "/settings-entries";
    CreateDirectoryA(WindowsPath(CDDB_TEST_FOLDER).c_str(), nullptr);
    CreateDirectoryA(WindowsPath(entries).c_str(), nullptr);
    CreateDirectoryA(WindowsPath(entries + "/rock").c_str(), nullptr);
    FILE* file = fopen(WindowsPath(entries + "/rock/00000001").c_str(), "wb");
    ASSERT_NE(nullptr, file);
    fprintf(file, "# xmcd\r\nDISCID=00000001\r\nDTITLE=Artist / Album\r\nTTITLE0=One\r\nTTITLE1=Two\r\n"
                  "TTITLE2=Three\r\n");
    fclose(file);
    server = std::make_unique<LocalCDDBServer>(entries, "--match-all 00000001");
    ASSERT_NE(0, server->port);
    SetValue(SETTINGS_KEY, "CDDBServer", server->Server().c_str());
    SetValue(SETTINGS_KEY, "UseCDDB", "0");
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    Open();
    EXPECT_EQ("Track 01", Cell(0, 0));

    for (const char* name : {"One", "Track 01"})
    {
        SCOPED_TRACE(name);
        Script script;
        script.On("Settings", [](HWND d) {
            Script::Click(d, IDC_USE_CDDB);
            Script::Click(d, IDOK);
        });
        MessageBoxCapture boxes;
        SendMessageA(dialog.hWnd, WM_COMMAND, CM_SETTINGS, 0);
        Pump();
        EXPECT_TRUE(script.AllDone());
        EXPECT_EQ(name, Cell(0, 0));
    }
    LFile::DeleteFolderAndFiles(WindowsPath(entries + "/rock").c_str());
}

} // namespace
