// The main window with the disc named by the local CDDB server: what the list
// and the fields show, and the files a rip names from them.
#include <gtest/gtest.h>

#include <memory>

#include "app/MainDialogFixture.h"
#include "cddb/LocalCDDBServer.h"
#include "files/LFile.h"
#include "settings/SettingsStore.h"
#include "ui/MessageBoxCapture.h"

namespace {

class MainDialogCDDBTest : public MainDialogTest
{
protected:
    void SetUp() override
    {
        MainDialogTest::SetUp();
        CreateDirectoryA(WindowsPath(CDDB_TEST_FOLDER).c_str(), nullptr);
        entries = std::string(CDDB_TEST_FOLDER) + "/window-entries";
        output = ProgramFolder() + "\\cddb-window-rip";
        LFile::DeleteFolderAndFiles(WindowsPath(entries + "/rock").c_str());
        LFile::DeleteFolderAndFiles(output.c_str());
        CreateDirectoryA(WindowsPath(entries).c_str(), nullptr);
        CreateDirectoryA(WindowsPath(entries + "/rock").c_str(), nullptr);
        CreateDirectoryA(output.c_str(), nullptr);
    }
    void TearDown() override
    {
        MainDialogTest::TearDown();
        server.reset();
        DeleteValue(SETTINGS_KEY, "CDDBServer");
        LFile::DeleteFolderAndFiles(output.c_str());
    }

    // Every query is answered with this one entry, whatever the disc.
    void Serve(const char* title, const std::vector<std::string>& tracks)
    {
        FILE* file = fopen(WindowsPath(entries + "/rock/00000001").c_str(), "wb");
        ASSERT_NE(nullptr, file);
        fprintf(file, "# xmcd\r\nDISCID=00000001\r\nDTITLE=%s\r\n", title);
        for (size_t i = 0; i < tracks.size(); ++i)
            fprintf(file, "TTITLE%d=%s\r\n", static_cast<int>(i), tracks[i].c_str());
        fclose(file);
        server = std::make_unique<LocalCDDBServer>(entries, "--match-all 00000001");
        ASSERT_NE(0, server->port);
        WriteSettingString("Settings", "CDDBServer", server->Server().c_str());
    }

    std::string entries;  // a Unix path, as the server takes it
    std::string output;
    std::unique_ptr<LocalCDDBServer> server;
};

TEST_F(MainDialogCDDBTest, TheDatabaseNamesFillTheWindowAndNameTheFiles)
{
    Serve("Some Artist / Some Album", {"Opening", "Middle", "Close"});
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    MessageBoxCapture boxes;
    Open();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ("Opening", Cell(0, 0));
    EXPECT_EQ("Middle", Cell(1, 0));
    EXPECT_EQ("Close", Cell(2, 0));
    EXPECT_EQ("Some Artist", Text(IDC_ARTIST));
    EXPECT_EQ("Some Album", Text(IDC_ALBUM));

    SetDlgItemTextA(dialog.hWnd, IDC_OUTPUT_FOLDER, output.c_str());
    dialog.Tracks.SetRowChecked(1, false);
    SendMessageA(dialog.hWnd, WM_COMMAND, CM_RIP, 0);
    Pump();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((output + "\\Some Artist - Opening.wav").c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((output + "\\Some Artist - Close.wav").c_str()));
}

TEST_F(MainDialogCDDBTest, NamesFromTheDatabaseCannotLeaveTheOutputFolder)
{
    Serve("..\\..\\x / ..\\Best: Of", {"..\\..\\evil", "b", "c"});
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    Open();
    EXPECT_EQ("x", Text(IDC_ARTIST));
    EXPECT_EQ("Best Of", Text(IDC_ALBUM));
    EXPECT_EQ("evil", Cell(0, 0));

    SetDlgItemTextA(dialog.hWnd, IDC_OUTPUT_FOLDER, output.c_str());
    SendMessageA(dialog.hWnd, WM_COMMAND, CM_RIP, 0);
    Pump();
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((output + "\\x - evil.wav").c_str()));
}

} // namespace
