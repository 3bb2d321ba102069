// The Edit command of the main window against a virtual drive, with the
// stand-in editor (fake_tessaro) registered as the sound editor.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "FakeTessaro.h"
#include "FileBytes.h"
#include "app/MainDialogFixture.h"
#include "cdrom/VirtualDiscFiles.h"
#include "soundfile/WaveFormatFile.h"
#include "components/SoundEditor.h"
#include "files/LFile.h"
#include "settings/ProgramFolders.h"
#include "ui/MessageBoxCapture.h"
#include "WaitFor.h"
#include "TestFiles.h"

namespace {

class EditCommandTest : public MainDialogTest
{
protected:
    void SetUp() override
    {
        MainDialogTest::SetUp();
        SetValue(TESSARO_SETTINGS_KEY, "RunEdit", ("\"" + FakeTessaroPath() + "\" \"%s\"").c_str());
        DeleteFileA(FakeTessaroRecord("edited.txt").c_str());
        DeleteFileA(FakeTessaroRecord("edited.wav").c_str());
        // The rip writes the default CD audio format.
        char formatFile[TEXT_BUFFER_SIZE];
        GetInstallProgramFilesPath(formatFile);
        LFile::FilePathCat(formatFile, "WavCodec.wff");
        DeleteFileA(formatFile);
        WaveFormatFilePath(formatFile);
        DeleteFileA(formatFile);
    }
    void TearDown() override
    {
        while (HWND editor = FindWindowA(FAKE_TESSARO_CLASS, nullptr))
            SendMessageA(editor, WM_CLOSE, 0, 0);
        MainDialogTest::TearDown();
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, TESSARO_SETTINGS_KEY);
    }

    void Edit(int row)
    {
        dialog.SelectOneRow(IDC_TRACKS, row);
        SendMessageA(dialog.hWnd, WM_COMMAND, CM_EDIT, 0);
        Pump();
    }
};

TEST_F(EditCommandTest, TheEditorGetsTheTracksAudioAndTheFileIsGoneAfterwards)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("five-tracks"));
    Open();
    // A file of the same kind that the program did not write stays.
    const std::string foreign = TempPath("Track 03.wav");
    std::ofstream(foreign) << "not the program's";

    // The user closes the editor after looking at the file.
    bool bEditorShown = false;
    std::thread user([&] {
        HWND editor = nullptr;
        WaitFor([&] { return (editor = FindWindowA(FAKE_TESSARO_CLASS, nullptr)) != nullptr; }, 20000);
        bEditorShown = editor != nullptr;
        WaitFor([] { return Exists(FakeTessaroRecord("edited.txt")); });
        PostMessageA(editor, WM_CLOSE, 0, 0);
    });
    MessageBoxCapture boxes;
    Edit(1);
    user.join();

    EXPECT_TRUE(bEditorShown);
    EXPECT_TRUE(boxes.boxes.empty());
    const std::string temporary = TempPath("Track 02.wav");
    const std::vector<std::string> record = Lines(FakeTessaroRecord("edited.txt"));
    ASSERT_EQ(record.size(), 2u);
    EXPECT_EQ(record[1], temporary);
    // five-tracks: the second track is sectors 60 to 104.
    const std::vector<BYTE> bytes = FileBytes(FakeTessaroRecord("edited.wav"));
    ASSERT_EQ(bytes.size(), 46u + 45 * 2352);
    EXPECT_EQ(0, memcmp(bytes.data(), "RIFF", 4));
    EXPECT_TRUE(std::vector<BYTE>(bytes.begin() + 46, bytes.end()) == ImageSectors("five-tracks", 60, 45))
        << "the audio is not the disc's, bit for bit";
    EXPECT_FALSE(Exists(temporary));

    DestroyWindow(dialog.hWnd);
    EXPECT_TRUE(Exists(foreign));
    DeleteFileA(foreign.c_str());
}

TEST_F(EditCommandTest, CancelWhileTheEditorIsOpenKeepsItsFileUntilTheWindowCloses)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("five-tracks"));
    Open();
    // The user stops waiting, and leaves the editor open.
    bool bCancelled = false;
    std::thread user([&] {
        WaitFor([] { return FindWindowA(FAKE_TESSARO_CLASS, nullptr) != nullptr; }, 20000);
        WaitFor([] { return Exists(FakeTessaroRecord("edited.txt")); });
        HWND waiting = FindWindowA("#32770", "Run Tessaro");
        bCancelled = waiting != nullptr;
        PostMessageA(GetDlgItem(waiting, IDCANCEL), BM_CLICK, 0, 0);
    });
    Edit(1);
    user.join();
    ASSERT_TRUE(bCancelled);
    const std::string temporary = TempPath("Track 02.wav");
    EXPECT_TRUE(Exists(temporary)) << "the file was deleted under the open editor";
    EXPECT_NE(nullptr, FindWindowA(FAKE_TESSARO_CLASS, nullptr));

    SendMessageA(FindWindowA(FAKE_TESSARO_CLASS, nullptr), WM_CLOSE, 0, 0);
    DestroyWindow(dialog.hWnd);
    EXPECT_FALSE(Exists(temporary));
}

TEST_F(EditCommandTest, AFailedReadDeletesTheTemporaryFileAndStartsNoEditor)
{
    DriveConfig failing = Disc("five-tracks");
    failing.failLba = 80;  // inside track 2
    io->AddDrive('D', DRIVE_CDROM, failing);
    Open();
    MessageBoxCapture boxes;
    Edit(1);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "Error");
    EXPECT_EQ(boxes.boxes[0].text, "Track \"Track 02\" could not be read from the CD.");
    EXPECT_FALSE(Exists(TempPath("Track 02.wav")));
    EXPECT_FALSE(Exists(FakeTessaroRecord("edited.txt")));
    EXPECT_EQ(FindWindowA(FAKE_TESSARO_CLASS, nullptr), nullptr);
}

} // namespace
