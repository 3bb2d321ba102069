// The main window built against virtual drives behind the pass-through seam,
// driven with the messages a user's actions send. Message boxes are captured
// and answered, so no test waits on one.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <dbt.h>

#include <memory>
#include <string>
#include <vector>

#include "app/MainDialogFixture.h"
#include "cdrom/CDCommands.h"
#include "cdrom/VirtualDrives.h"
#include "jobs/LProgressDialog.h"
#include "TestJobs.h"
#include "resources/resource.h"
#include "Screenshots.h"
#include "shot/WindowShot.h"
#include "ui/MessageBoxCapture.h"

namespace {

TEST_F(MainDialogTest, ListsTheDrivesAndTheTracksWithTheirDurations)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("long-tracks"));
    io->AddDrive('E', DRIVE_CDROM, Disc("three-tracks"));
    MessageBoxCapture boxes;
    Open();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(std::vector<std::string>({"CD-ROM 1", "CD-ROM 2"}), DriveItems());
    EXPECT_EQ(0, SendMessageA(Control(IDC_DRIVES), CB_GETCURSEL, 0, 0));
    ASSERT_EQ(3, dialog.Tracks.RowCount());
    const char* const names[] = {"Track 01", "Track 02", "Track 03"};
    const char* const durations[] = {"1:06", "0:10", "0:00"};  // 5000, 750 and 40 sectors
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(names[i], Cell(i, 0));
        EXPECT_EQ(durations[i], Cell(i, 1));
    }
    EXPECT_EQ(std::vector<bool>({true, true, true}), Checks());
    EXPECT_EQ(0, dialog.Tracks.SelectedRow());
    EXPECT_EQ("Corvane", [&] {
        char caption[TEXT_BUFFER_SIZE] = "";
        GetWindowTextA(dialog.hWnd, caption, sizeof(caption));
        return std::string(caption);
    }());
}

TEST_F(MainDialogTest, CheckMarksFollowRowsAcrossDriveChangesAndDeviceEvents)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    io->AddDrive('E', DRIVE_CDROM, Disc("long-tracks"));
    Open();
    dialog.Tracks.SetRowChecked(1, false);
    ChooseDrive(1);
    EXPECT_EQ(std::vector<bool>({true, false, true}), Checks()) << "kept by row number";

    // A memory stick or a card coming or going leaves the disc as the user has it.
    io->AddDrive('F', DRIVE_REMOVABLE);
    SetDlgItemTextA(dialog.hWnd, IDC_ARTIST, "someone");
    SendVolumeEvent(DBT_DEVICEARRIVAL, 'F', 0);
    SendVolumeEvent(DBT_DEVICEREMOVECOMPLETE, 'F', 0);
    SendVolumeEvent(DBT_DEVICEARRIVAL, 'F');
    SendMessageA(dialog.hWnd, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
    Pump();
    EXPECT_EQ("someone", Text(IDC_ARTIST));
    EXPECT_EQ(std::vector<bool>({true, false, true}), Checks());

    SendVolumeEvent(DBT_DEVICEARRIVAL, 'E');
    Pump();
    EXPECT_EQ(std::vector<bool>({true, true, true}), Checks()) << "a new disc comes all checked";

    SetDlgItemTextA(dialog.hWnd, IDC_ARTIST, "someone");
    SetDlgItemTextA(dialog.hWnd, IDC_ALBUM, "something");
    SendVolumeEvent(DBT_DEVICEREMOVECOMPLETE, 'E');
    Pump();
    EXPECT_EQ(0, dialog.Tracks.RowCount());
    EXPECT_EQ("", Text(IDC_ARTIST));
    EXPECT_EQ("", Text(IDC_ALBUM));
    EXPECT_EQ(2u, DriveItems().size()) << "the drive list stays";
}

TEST_F(MainDialogTest, RenamingKeepsOnlyWhatAFileNameMayHold)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    Open();
    const struct
    {
        const char* typed;
        const char* stored;
    } cases[] = {{"a/b:c", "abc"}, {"...", ""}, {"Intro (live)", "Intro (live)"}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.typed);
        SendMessageA(dialog.hWnd, WM_COMMAND, CM_RENAME, 0);
        HWND edit = reinterpret_cast<HWND>(SendMessageA(Control(IDC_TRACKS), LVM_GETEDITCONTROL, 0, 0));
        ASSERT_NE(nullptr, edit);
        SetWindowTextA(edit, c.typed);
        PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
        Pump();
        EXPECT_EQ(nullptr, reinterpret_cast<HWND>(SendMessageA(Control(IDC_TRACKS), LVM_GETEDITCONTROL, 0, 0)));
        EXPECT_EQ(c.stored, Cell(0, 0));
        EXPECT_NE(nullptr, dialog.hWnd) << "Enter in the edit closed the window";
    }
    EXPECT_STREQ("Track 01", dialog.CDDBInfo.Tracks[0].szName) << "the disc record keeps its name";
    SendMessageA(dialog.hWnd, WM_COMMAND, CM_RESET, 0);
    Pump();
    EXPECT_EQ("Track 01", Cell(0, 0));
}

TEST_F(MainDialogTest, TheKeyTableSeesKeysBeforeTheControls)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    Open();
    HWND list = Control(IDC_TRACKS);
    HWND artist = Control(IDC_ARTIST);

    SendMessageA(dialog.hWnd, WM_COMMAND, CM_SELECT_NONE, 0);
    PressKey('A', true, true, list);
    EXPECT_EQ(std::vector<bool>({false, false, false}), Checks()) << "Ctrl+Shift+A is not Ctrl+A";
    PressKey('A', true, false, list, true);
    EXPECT_EQ(std::vector<bool>({false, false, false}), Checks()) << "an auto-repeat is ignored";
    PressKey('A', true, false, list);
    EXPECT_EQ(std::vector<bool>({true, true, true}), Checks());

    // Ctrl+C in the artist field unchecks the rows and copies nothing.
    SetWindowTextA(artist, "Artist Name");
    SendMessageA(artist, EM_SETSEL, 0, -1);
    if (OpenClipboard(dialog.hWnd))
    {
        EmptyClipboard();
        CloseClipboard();
    }
    PressKey('C', true, false, artist);
    EXPECT_EQ(std::vector<bool>({false, false, false}), Checks());
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
}

TEST_F(MainDialogTest, EnterAndEscapeLeaveTheWindowOpen)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    Open();
    for (WORD key : {VK_RETURN, VK_ESCAPE})
    {
        PressKey(key, false, false, Control(IDC_TRACKS));
        EXPECT_TRUE(dialog.hWnd && IsWindow(dialog.hWnd));
    }
    SendMessageA(dialog.hWnd, WM_COMMAND, IDOK, 0);
    SendMessageA(dialog.hWnd, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(dialog.hWnd && IsWindow(dialog.hWnd));
    SendMessageA(dialog.hWnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(nullptr, dialog.hWnd);
}

TEST_F(MainDialogTest, ControlsFollowTheSelectionTheChecksAndTheSetting)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    Open();
    EXPECT_TRUE(MenuEnabled(CM_RIP));
    EXPECT_TRUE(ToolEnabled(CM_RIP));
    EXPECT_TRUE(MenuEnabled(CM_RENAME));
    EXPECT_TRUE(ToolEnabled(CM_PLAY));
    EXPECT_FALSE(MenuEnabled(CM_STOP)) << "nothing plays";
    EXPECT_TRUE(IsWindowEnabled(Control(IDC_ARTIST)));

    SendMessageA(dialog.hWnd, WM_COMMAND, CM_SELECT_NONE, 0);
    Pump();
    EXPECT_FALSE(MenuEnabled(CM_RIP));
    EXPECT_FALSE(ToolEnabled(CM_RIP));
    dialog.Tracks.SetRowChecked(2, true);
    Pump();
    EXPECT_TRUE(MenuEnabled(CM_RIP));

    dialog.SelectOneRow(IDC_TRACKS, -1);
    Pump();
    for (int id : {CM_EDIT, CM_RENAME, CM_PLAY})
        EXPECT_FALSE(MenuEnabled(id)) << id;
    EXPECT_FALSE(ToolEnabled(CM_PLAY));

    SetValue(SETTINGS_KEY, "UseCDDB", "0");
    SendMessageA(dialog.hWnd, WM_COMMAND, CM_SELECT_ALL, 0);
    for (int id : {IDC_LABEL_ARTIST, IDC_LABEL_ALBUM, IDC_ARTIST, IDC_ALBUM})
        EXPECT_FALSE(IsWindowEnabled(Control(id))) << id;

    SendVolumeEvent(DBT_DEVICEREMOVECOMPLETE, 'D');
    Pump();
    EXPECT_FALSE(MenuEnabled(CM_SELECT_ALL));
    EXPECT_FALSE(MenuEnabled(CM_SELECT_NONE));
}

TEST_F(MainDialogTest, NoDrivesIsReported)
{
    io->AddDrive('C', DRIVE_FIXED);
    MessageBoxCapture boxes;
    Open();
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ("Error", boxes.boxes[0].caption);
    EXPECT_EQ(IDI_ERROR, boxes.boxes[0].icon);
    EXPECT_EQ(0u, boxes.boxes[0].text.find("No CD-ROM drives have been detected."));
    EXPECT_TRUE(DriveItems().empty());
    EXPECT_EQ(0, dialog.Tracks.RowCount());
    EXPECT_TRUE(IsWindow(dialog.hWnd));
}

TEST_F(MainDialogTest, EjectAndLoadReachTheDrive)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    Open();
    auto tracksOnDisc = [] {
        LSCSI scsi;
        CDTableOfContents toc;
        TestJobControl job;
        return scsi.OpenCDROMDrive(0) && ProcessSCSICDGetTOC(job, scsi, toc) == Done ? toc.nTracks : -1;
    };
    SendMessageA(dialog.hWnd, WM_COMMAND, CM_EJECT, 0);
    EXPECT_EQ(-1, tracksOnDisc());
    SendMessageA(dialog.hWnd, WM_COMMAND, CM_LOAD, 0);
    EXPECT_EQ(3, tracksOnDisc());
}

struct PlacementCase
{
    const char* name;
    const char* x;
    const char* y;
    const char* width;
    const char* height;
    const char* maximized;
};

class Placement : public MainDialogTest, public ::testing::WithParamInterface<PlacementCase>
{
};

TEST_P(Placement, IsRestoredInsideTheDesktop)
{
    const PlacementCase& c = GetParam();
    SetValue(PLACEMENT_KEY, "X", c.x);
    SetValue(PLACEMENT_KEY, "Y", c.y);
    SetValue(PLACEMENT_KEY, "Width", c.width);
    SetValue(PLACEMENT_KEY, "Height", c.height);
    SetValue(PLACEMENT_KEY, "Maximized", c.maximized);
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    Open();
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    GetWindowPlacement(dialog.hWnd, &placement);
    RECT window;
    GetWindowRect(dialog.hWnd, &window);
    const int x = atoi(c.x), y = atoi(c.y), width = atoi(c.width), height = atoi(c.height);
    if (c.maximized[0] == '1')
    {
        EXPECT_TRUE(IsZoomed(dialog.hWnd));
        EXPECT_EQ(x, placement.rcNormalPosition.left);
        EXPECT_EQ(y, placement.rcNormalPosition.top);
        EXPECT_EQ(x + width, placement.rcNormalPosition.right);
        EXPECT_EQ(y + height, placement.rcNormalPosition.bottom);
        // Closed while maximised: only the flag is written.
        SendMessageA(dialog.hWnd, WM_CLOSE, 0, 0);
        EXPECT_EQ("1", GetValue(PLACEMENT_KEY, "Maximized"));
        EXPECT_EQ(c.x, GetValue(PLACEMENT_KEY, "X"));
        return;
    }
    EXPECT_FALSE(IsZoomed(dialog.hWnd));
    const int expectedWidth = std::min(width, static_cast<int>(desktop.right - desktop.left));
    const int expectedHeight = std::min(height, static_cast<int>(desktop.bottom - desktop.top));
    EXPECT_EQ(expectedWidth, window.right - window.left);
    EXPECT_EQ(expectedHeight, window.bottom - window.top);
    EXPECT_GE(window.left, desktop.left);
    EXPECT_GE(window.top, desktop.top);
    EXPECT_LE(window.right, desktop.right);
    EXPECT_LE(window.bottom, desktop.bottom);
    if (x >= 0 && x + width <= desktop.right)
    {
        EXPECT_EQ(x, window.left);
    }

    // Closing stores where the window is.
    MoveWindow(dialog.hWnd, 30, 40, 500, 400, TRUE);
    SendMessageA(dialog.hWnd, WM_CLOSE, 0, 0);
    EXPECT_EQ("0", GetValue(PLACEMENT_KEY, "Maximized"));
    EXPECT_EQ("30", GetValue(PLACEMENT_KEY, "X"));
    EXPECT_EQ("40", GetValue(PLACEMENT_KEY, "Y"));
    EXPECT_EQ("500", GetValue(PLACEMENT_KEY, "Width"));
    EXPECT_EQ("400", GetValue(PLACEMENT_KEY, "Height"));
}

INSTANTIATE_TEST_SUITE_P(MainDialog, Placement,
                         ::testing::Values(PlacementCase{"stored", "50", "60", "600", "420", "0"},
                                           PlacementCase{"larger_than_desktop", "-100", "-50", "5000", "4000", "0"},
                                           PlacementCase{"off_the_right", "900", "700", "400", "300", "0"},
                                           PlacementCase{"maximized", "70", "80", "500", "350", "1"}),
                         [](const ::testing::TestParamInfo<PlacementCase>& info) { return info.param.name; });

} // namespace

namespace {

// Lets the windows paint and Wine put what they painted on the screen, which
// is where the picture is copied from.
void Settle()
{
    for (int i = 0; i < 5; ++i)
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(40);
    }
}

void CALLBACK ShootAboutBox(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    HWND about = FindWindowA("#32770", "About Corvane");
    Settle();
    EXPECT_TRUE(SaveWindowPng(about, ScreenshotPath("about-box.png").c_str()));
    PostMessageA(about, WM_COMMAND, IDOK, 0);
}

TEST_F(MainDialogTest, ScreenshotsOfTheMainWindowTheAboutBoxAndAJob)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("long-tracks"));
    Open();
    SendMessageA(dialog.Splash.hWnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageA(dialog.hWnd, WM_TIMER, 1, 0);  // the first status text
    SetWindowPos(dialog.hWnd, HWND_TOP, 20, 20, 600, 420, SWP_SHOWWINDOW);
    Pump();
    Settle();
    EXPECT_TRUE(SaveWindowPng(dialog.hWnd, ScreenshotPath("main-window.png").c_str()));

    SetTimer(nullptr, 0, 200, ShootAboutBox);
    SendMessageA(dialog.hWnd, WM_COMMAND, CM_ABOUT, 0);

    WindowJob job(
        [](WindowJob& self) {
            self.SetText(0, "Loading Track 01");
            self.SetText(1, "Ripping Digital Audio...");
            self.SetProgress(0.42);
            Settle();
            EXPECT_TRUE(SaveWindowPng(self.hWnd, ScreenshotPath("progress-window.png").c_str()));
            return true;
        },
        "Extract CD Track(s)");
    EXPECT_TRUE(job.Run(dialog.hWnd));
}

} // namespace
