#include "app/MainDialog.h"

#include <commctrl.h>
#include <dbt.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <initializer_list>
#include <memory>

#include "app/ComboHistory.h"
#include "app/LSettingsDlg.h"
#include "app/RipNames.h"
#include "cddb/CDDBLookup.h"
#include "cdrom/CDCommands.h"
#include "cdrom/LCDROMRipSectors.h"
#include "cdrom/LCDROMSecureRip.h"
#include "cdrom/LDeviceIo.h"
#include "files/LFile.h"
#include "jobs/LProgressDialog.h"
#include "resources/AppInstance.h"
#include "resources/resource.h"
#include "settings/ProgramFolders.h"
#include "settings/RegistryKeys.h"
#include "settings/SettingsStore.h"
#include "ui/LToolBar.h"
#include "ui/WindowPlacement.h"
#include "ui/WebPage.h"

namespace {

const char* const PRODUCT_CAPTION = "Corvane";
const UINT STATUS_TIMER = 1;
// Takes up a disc change that arrived while a job ran.
const UINT WM_PENDING_DEVICE_CHANGE = WM_APP + 1;
const UINT FIRST_STATUS_MS = 500;
const UINT STATUS_MS = 8000;
const int REMEMBERED_CHECKS = 100;
const DWORD LIST_EXTENDED_STYLES = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_REGIONAL;

const LKeyCommand KEY_TABLE[] = {
    {KEY_CTRL | 'R', CM_RIP},        {KEY_CTRL | 'E', CM_EJECT},   {KEY_CTRL | 'L', CM_LOAD},
    {VK_F8, CM_EDIT},                {VK_F2, CM_RENAME},           {KEY_CTRL | 'T', CM_RESET},
    {VK_F9, CM_PLAY},                {VK_F10, CM_STOP},            {KEY_CTRL | 'S', CM_SETTINGS},
    {KEY_CTRL | 'A', CM_SELECT_ALL}, {KEY_CTRL | 'C', CM_SELECT_NONE}, {0, 0},
};

const LToolButton TOOLBAR[] = {
    {CM_RIP, -IDB_TOOL_RIP, "Rip", "Rip Selected CD Tracks (Ctrl+R)", 0},
    {CM_EJECT, -IDB_TOOL_EJECT, "Eject", "Eject CD (Ctrl+E)", 0},
    {CM_LOAD, -IDB_TOOL_LOAD, "Load", "Load CD (Ctrl+L)", 0},
    {0, 0, nullptr, nullptr, 1},
    {CM_PLAY, -IDB_TOOL_PLAY, "Play", "Play the Selected Track (F9)", 0},
    {CM_STOP, -IDB_TOOL_STOP, "Stop", "Stop the Playing Track (F10)", 0},
    {0, 0, nullptr, nullptr, 1},
    {CM_SETTINGS, -IDB_TOOL_SETTINGS, "Settings", "Configure Settings (Ctrl+S)", 0},
};

const LToolText CONTROL_TIPS[] = {
    {IDC_DRIVES, "List of CD-ROM Drives in this machine"},
    {IDC_TRACKS, "Tracks on loaded Audio CD"},
    {IDC_OUTPUT_FOLDER, "Folder to save audio tracks"},
    {IDC_BROWSE, "Browse for a new output folder"},
    {IDC_ARTIST, "Artist details"},
    {IDC_ALBUM, "Album details"},
};

const LToolText MENU_HELP[] = {
    {CM_RIP, "Rip the selected tracks to the specified output folder."},
    {CM_EJECT, "Eject CD in selected drive."},
    {CM_LOAD, "Load CD in selected drive."},
    {CM_SETTINGS, "Configure the program settings."},
    {CM_EDIT, "Edit the selected track in Tessaro."},
    {CM_RENAME, "Rename the selected track."},
    {CM_RESET, "Reset all track, artist and album names back to original values."},
    {CM_PLAY, "Play the currently selected track."},
    {CM_STOP, "Stop the currently playing track."},
    {CM_EXIT, "Quit Corvane."},
    {CM_SELECT_ALL, "Select all tracks."},
    {CM_SELECT_NONE, "Clear the selections from all tracks."},
    {CM_HELP_CONTENTS, "Displays the help documentation."},
    {CM_ABOUT, "Displays program information including version number"},
};

// The status bar's rotation: the product line every fourth entry, notices
// between, and an empty end marker.
const char* const PRODUCT_LINE = "Corvane v 1.32 - the free audio CD ripper from Talmarin";
const char* const STATUS_TEXTS[] = {
    PRODUCT_LINE,
    "Visit www.talmarin.com for updates to Corvane.",
    "Tessaro Sound Editor: edit your ripped tracks (F8).",
    "Brennar CD Recorder: write your own audio CDs.",
    PRODUCT_LINE,
    "Morvex Audio File Converter: change files between audio formats.",
    "Quillet Tag Editor: name and sort your music files.",
    "Sondrel Sound Recorder: record from any input of your sound card.",
    PRODUCT_LINE,
    "Velmora Noise Remover: clean up old recordings.",
    "Pavrin Audio Player: plays every file Corvane writes.",
    "Ostrel Tone Generator: test tones and sweeps for your equipment.",
    PRODUCT_LINE,
    "Kelvane Disc Label Maker: print covers and labels for your CDs.",
    "Technical support is at www.talmarin.com/corvane/support.",
    "Help > Internet Resources lists more audio software.",
    PRODUCT_LINE,
    "Right-click a track for its commands.",
    "Press F2 to rename the selected track.",
    "",
};

// The pages of the Internet Resources items 6001-6013.
const char* const WEB_PAGES[] = {
    "corvane/index", "corvane/support/index", "tessaro/index", "brennar/index", "morvex/index",
    "quillet/index", "sondrel/index",         "velmora/index", "pavrin/index",  "ostrel/index",
    "kelvane/index", "software/index",        "index",
};
static_assert(sizeof(WEB_PAGES) / sizeof(WEB_PAGES[0]) == CM_WEB_LAST - CM_WEB_FIRST + 1, "one page per item");

const char* MenuHelpText(int id)
{
    for (const LToolText& entry : MENU_HELP)
        if (entry.nId == id)
            return entry.szText;
    return nullptr;
}

// A disc arrived in or left a CD drive: a volume event with the media flag
// for a drive letter of a CD-ROM drive, not a memory stick or a network drive.
bool IsCDMediaChange(LPARAM data)
{
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (!header || header->dbch_devicetype != DBT_DEVTYP_VOLUME)
        return false;
    const auto* volume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(data);
    if (!(volume->dbcv_flags & DBTF_MEDIA))
        return false;
    for (int letter = 0; letter < 26; ++letter)
    {
        const char root[] = {static_cast<char>('A' + letter), ':', '\\', '\0'};
        if ((volume->dbcv_unitmask & (1u << letter)) && DeviceIo().DriveType(root) == DRIVE_CDROM)
            return true;
    }
    return false;
}

int ControlHeight(HWND control)
{
    RECT rect;
    GetWindowRect(control, &rect);
    return rect.bottom - rect.top;
}

} // namespace

MainDialog::MainDialog() : Drives(), Splash(), CDDBInfo()
{
    std::fill(std::begin(nC2Bytes), std::end(nC2Bytes), C2_NOT_PROBED);
}

MainDialog::~MainDialog()
{
    // The window is gone: playback ends without telling it.
    SoundPlayer.SetNotifyTarget(nullptr, 0);
    SoundPlayer.Stop();
    if (Splash.hWnd && IsWindow(Splash.hWnd))
        DestroyWindow(Splash.hWnd);
    if (hToolTip && IsWindow(hToolTip))
        DestroyWindow(hToolTip);
}

void MainDialog::InitDialog()
{
    SetWindowTextA(hWnd, PRODUCT_CAPTION);
    const int iconSizes[2] = {32, 16};
    const WPARAM iconKinds[2] = {ICON_BIG, ICON_SMALL};
    for (int i = 0; i < 2; ++i)
    {
        HANDLE icon = LoadImageA(hAppInstance, MAKEINTRESOURCEA(IDI_CORVANE), IMAGE_ICON, iconSizes[i], iconSizes[i], 0);
        HICON previous = reinterpret_cast<HICON>(SendMessageA(hWnd, WM_SETICON, iconKinds[i], reinterpret_cast<LPARAM>(icon)));
        if (previous)
            DestroyIcon(previous);
    }
    LSplashScreen::Display(Splash, hWnd);
    LToolBar::SetToolBar(hToolBar, TOOLBAR, hWnd, sizeof(TOOLBAR) / sizeof(TOOLBAR[0]));
    AddTools(hToolTip, CONTROL_TIPS, sizeof(CONTROL_TIPS) / sizeof(CONTROL_TIPS[0]));

    HWND folderBox = GetDlgItem(hWnd, IDC_OUTPUT_FOLDER);
    LoadComboHistory(folderBox, OUTPUT_FOLDER_LIST);
    if (GetWindowTextLengthA(folderBox) == 0)
    {
        char defaultFolder[TEXT_BUFFER_SIZE];
        char folder[TEXT_BUFFER_SIZE];
        GetDataFolder("Output", defaultFolder);
        ReadSettingString(SETTINGS_SECTION, defaultFolder, "OutputFolder", folder);
        SetWindowTextA(folderBox, folder);
    }

    Tracks.Attach(GetDlgItem(hWnd, IDC_TRACKS));
    WindowSizeSettingsRestore();
    UpdateDrive();
    // Closed while the start-up message was shown: nothing is left to set up,
    // and the program ends.
    if (!hWnd)
        return;
    const LListColumn columns[] = {{"Track", 200, LVCFMT_LEFT}, {"Duration", 60, LVCFMT_CENTER},
                                   {"Status", 80, LVCFMT_LEFT}, {nullptr, 0, 0}};
    InsertListColumns(IDC_TRACKS, columns);
    SendDlgItemMessageA(hWnd, IDC_TRACKS, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LIST_EXTENDED_STYLES);
    CDDriveChanged(true);
    LayoutControls();
    EnableMenuItem(CM_RIP, false);
    SoundPlayer.SetNotifyTarget(this, 0);
    SetTimer(hWnd, STATUS_TIMER, FIRST_STATUS_MS, nullptr);
}

void MainDialog::CmHelp()
{
    DisplayHelpContents(hWnd, HELP_CONTENTS, 0);
}

void MainDialog::EnableControls()
{
    const bool bUseCDDB = ReadSettingBool(SETTINGS_SECTION, "UseCDDB", true);
    for (int id : {IDC_LABEL_ARTIST, IDC_LABEL_ALBUM, IDC_ARTIST, IDC_ALBUM})
        EnableControl(id, bUseCDDB);

    LCommandState states[STATEFUL_COMMANDS];
    CommandStates(states);
    for (const LCommandState& state : states)
    {
        EnableMenuItem(state.nId, state.bEnabled);
        // Commands without a button are not in the toolbar, which ignores them.
        SendMessageA(hToolBar, TB_ENABLEBUTTON, state.nId, state.bEnabled);
    }
}

void MainDialog::CommandStates(LCommandState (&states)[STATEFUL_COMMANDS]) const
{
    const bool bRowSelected = Tracks.SelectedRow() >= 0;
    const int nRows = Tracks.RowCount();
    const LCommandState all[STATEFUL_COMMANDS] = {
        {CM_RIP, Tracks.IsAnyRowChecked()},
        {CM_EDIT, bRowSelected},
        {CM_RENAME, bRowSelected},
        {CM_PLAY, bRowSelected},
        {CM_STOP, SoundPlayer.IsPlaying()},
        {CM_SELECT_ALL, nRows > 0},
        {CM_SELECT_NONE, nRows > 0},
    };
    for (int i = 0; i < STATEFUL_COMMANDS; ++i)
        states[i] = all[i];
}

void MainDialog::CmCommand(WORD id, WORD notifyCode)
{
    if (id >= CM_WEB_FIRST && id <= CM_WEB_LAST)
    {
        OpenWebPage(WEB_PAGES[id - CM_WEB_FIRST]);
        return;
    }
    switch (id)
    {
    case IDC_DRIVES:
        if (notifyCode == CBN_SELCHANGE)
        {
            // The track that plays is on the drive that was chosen before.
            SoundPlayer.Stop();
            CDDriveChanged(false);
        }
        break;
    case IDC_BROWSE:
        CmBrowseOutput();
        break;
    case CM_RIP:
        CmRipCD();
        break;
    case CM_SETTINGS:
        CmSettings();
        break;
    case CM_EJECT:
    case CM_LOAD:
        if (SelectedDrive() >= 0)
        {
            // A tray that opens ends the reading of the track that plays.
            SoundPlayer.Stop();
            if (id == CM_EJECT)
                LCDEject(static_cast<BYTE>(SelectedDrive()));
            else
                LCDLoad(static_cast<BYTE>(SelectedDrive()));
        }
        break;
    case CM_EDIT:
        CmEdit();
        break;
    case CM_RENAME:
        CmRename();
        break;
    case CM_RESET:
        CDDriveChanged(false);
        break;
    case CM_PLAY:
        CmPlay();
        break;
    case CM_STOP:
        SoundPlayer.Stop();
        break;
    case CM_EXIT:
        Close(IDCANCEL);
        break;
    case CM_SELECT_ALL:
        Tracks.CheckAll(true);
        break;
    case CM_SELECT_NONE:
        Tracks.CheckAll(false);
        break;
    case CM_HELP_CONTENTS:
        CmHelp();
        break;
    case CM_ABOUT:
        CmHelpAbout();
        break;
    case CM_INSTALLER_STARTS:
        // An installer or uninstaller is about to replace this program: it
        // closes when idle. A job or a box disables the window, and then the
        // uninstaller asks the user to close it.
        if (IsWindowEnabled(hWnd))
            Close(IDCANCEL);
        break;
    default:
        break;
    }
}

void MainDialog::DestroyDialog()
{
    // No rip thread, device or bridge outlives the window.
    SoundPlayer.Stop();
    CmDeleteTmpWavFiles();
    WindowSizeSettingsStore();
}

INT_PTR MainDialog::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    bool bHandled = false;
    switch (msg)
    {
    case WM_NOTIFY:
        bHandled = OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
        break;
    case WM_SIZE:
        bHandled = OnSize();
        break;
    case WM_CLOSE:
        bHandled = OnClose();
        break;
    case WM_COMMAND:
        bHandled = OnLabelEditKey(LOWORD(wParam));
        break;
    case WM_TIMER:
        bHandled = OnTimer(wParam);
        break;
    case WM_MENUSELECT:
        bHandled = OnMenuSelect(LOWORD(wParam));
        break;
    case WM_DEVICECHANGE:
        bHandled = OnDeviceChange(wParam, lParam);
        break;
    case WM_ENABLE:
        bHandled = OnEnable(wParam != 0);
        break;
    case WM_PENDING_DEVICE_CHANGE:
        bHandled = OnPendingDeviceChange();
        break;
    case WM_CONTEXTMENU:
        bHandled = OnContextMenu(reinterpret_cast<HWND>(wParam));
        break;
    default:
        break;
    }
    return bHandled ? 1 : LDialog::DialogProc(msg, wParam, lParam);
}

bool MainDialog::OnNotify(const NMHDR& header)
{
    if (header.idFrom == IDC_TRACKS)
    {
        if (header.code == LVN_ITEMCHANGED && !bFillingList)
            EnableControls();
        else if (header.code == LVN_ENDLABELEDITA)
            EndLabelEdit(reinterpret_cast<const NMLVDISPINFOA&>(header));
        else if (header.code == NM_DBLCLK)
            CmCommand(CM_PLAY, 0);
    }
    else if (header.idFrom == IDC_STATUS && header.code == NM_CLICK)
        InternetResourcesMenu();
    return false;
}

bool MainDialog::OnSize()
{
    LayoutControls();
    SendMessageA(hToolBar, TB_AUTOSIZE, 0, 0);
    InvalidateRect(hWnd, nullptr, TRUE);
    return true;
}

bool MainDialog::OnClose()
{
    Close(IDCANCEL);
    return false;
}

bool MainDialog::OnLabelEditKey(WORD id) const
{
    // Enter and Escape in a row's label edit only end the edit.
    return (id == IDOK || id == IDCANCEL) && SendDlgItemMessageA(hWnd, IDC_TRACKS, LVM_GETEDITCONTROL, 0, 0);
}

bool MainDialog::OnTimer(UINT_PTR id)
{
    KillTimer(hWnd, id);
    if (id == STATUS_TIMER)
        NextStatusText();
    return true;
}

bool MainDialog::OnMenuSelect(WORD id)
{
    if (const char* text = MenuHelpText(id))
    {
        ShowStatusText(text);
        SetTimer(hWnd, STATUS_TIMER, STATUS_MS, nullptr);
    }
    return true;
}

bool MainDialog::OnDeviceChange(WPARAM event, LPARAM data)
{
    if ((event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) || !IsCDMediaChange(data))
        return true;
    // A job's message pump hands the event to this window while the job has
    // it disabled: the rip or load that runs finishes with the disc it began
    // with, and the change is taken up when the window is enabled again.
    if (!IsWindowEnabled(hWnd))
    {
        iPendingDeviceEvent = event;
        return true;
    }
    DiscChanged(event);
    return true;
}

bool MainDialog::OnEnable(bool bEnabled)
{
    // Posted, so that it runs once whoever enabled the window has finished.
    if (bEnabled && iPendingDeviceEvent)
        PostMessageA(hWnd, WM_PENDING_DEVICE_CHANGE, 0, 0);
    return false;
}

bool MainDialog::OnPendingDeviceChange()
{
    // Another job may have started meanwhile; the next enabling brings it back.
    if (!iPendingDeviceEvent || !IsWindowEnabled(hWnd))
        return true;
    const WPARAM event = iPendingDeviceEvent;
    iPendingDeviceEvent = 0;
    DiscChanged(event);
    return true;
}

void MainDialog::DiscChanged(WPARAM event)
{
    if (event == DBT_DEVICEARRIVAL)
    {
        CDDriveChanged(true);
        return;
    }
    Tracks.Clear();
    CDDBInfo.nTracks = 0;
    EmptyDiscFields();
}

bool MainDialog::OnContextMenu(HWND control)
{
    if (control == GetDlgItem(hWnd, IDC_STATUS))
        InternetResourcesMenu();
    else if (control == GetDlgItem(hWnd, IDC_TRACKS))
        TrackMessageMenu();
    return false;
}

bool MainDialog::KeyDown(uint32_t key)
{
    return DispatchKeyTable(KEY_TABLE, sizeof(KEY_TABLE) / sizeof(KEY_TABLE[0]), key);
}

void MainDialog::CDDriveChanged(bool bCheckAll)
{
    bool remembered[REMEMBERED_CHECKS];
    for (bool& b : remembered)
        b = true;
    if (!bCheckAll)
        for (int i = 0; i < Tracks.RowCount() && i < REMEMBERED_CHECKS; ++i)
            remembered[i] = Tracks.IsRowChecked(i);

    const int drive = SelectedDrive();
    if (drive < 0)
        return;
    // The disc is loaded beside the one shown: the record and the list change
    // together, and only when the load succeeds, so that a rip can never read
    // one drive's sectors into another disc's names.
    auto loaded = std::make_unique<LCDDBInfo>();
    loaded->iDrive = static_cast<uint8_t>(drive < LCDROMINFO_MAXDRIVES ? drive : LCDROMINFO_MAXDRIVES);
    loaded->bUseCDDB = ReadSettingBool(SETTINGS_SECTION, "UseCDDB", true);
    ReadSettingString(SETTINGS_SECTION, CDDB_DEFAULT_SERVER, "CDDBServer", loaded->szCDDBServer);
    loaded->nCDDBTimeoutMs = CDDB_TIMEOUT_MS;
    // What the database said of the disc before is no word on this one.
    AccurateRip.Prefetch.Drop();
    AccurateRip.bUsed = false;
    LProgressJob<LCDDBInfo> job("Loading CD Information", Process);
    job.pJobData = loaded.get();
    if (!job.Run(hWnd))
    {
        EmptyDiscFields();
        return;
    }
    CDDBInfo = *loaded;
    // The AccurateRip database is asked while the user looks at the tracks,
    // so that a rip need not wait for it.
    AccurateRipDisc disc;
    char server[TEXT_BUFFER_SIZE];
    char path[ACCURATERIP_PATH_SIZE];
    if (ReadSettingBool(SETTINGS_SECTION, "UseAccurateRip", true) && AccurateRipEntry(disc, server, path))
        AccurateRip.Prefetch.Start(server, path);

    bool checked[CD_MAX_TRACKS + 1];
    for (int i = 0; i <= CD_MAX_TRACKS; ++i)
        checked[i] = bCheckAll || i >= REMEMBERED_CHECKS || remembered[i];
    bFillingList = true;
    Tracks.Fill(CDDBInfo, checked);
    EmptyDiscFields();
    char artist[TEXT_BUFFER_SIZE];
    char album[TEXT_BUFFER_SIZE];
    if (SplitDiscTitle(CDDBInfo.szTitle, artist, album))
    {
        SetDlgItemTextA(hWnd, IDC_ARTIST, artist);
        SetDlgItemTextA(hWnd, IDC_ALBUM, album);
    }
    bFillingList = false;
    EnableControls();
}

void MainDialog::UpdateDrive()
{
    HWND driveList = GetDlgItem(hWnd, IDC_DRIVES);
    SendMessageA(driveList, CB_RESETCONTENT, 0, 0);
    // The drives found now may be others than before.
    std::fill(std::begin(nC2Bytes), std::end(nC2Bytes), C2_NOT_PROBED);
    std::fill(std::begin(bMisplacesReads), std::end(bMisplacesReads), false);
    LProgressJob<LCDROMInfo> job("Load CD Drives", Process);
    job.pJobData = &Drives;
    if (!job.Run(hWnd))
        return;
    if (Drives.nDrives == 0)
    {
        MessageBoxA(hWnd,
                    "No CD-ROM drives have been detected. If you do have a CD-ROM drive installed but see this "
                    "message please read the Help topic relating to Loading CD Tracks.",
                    "Error", MB_OK | MB_ICONERROR);
        return;
    }
    for (int i = 0; i < Drives.nDrives; ++i)
    {
        char name[TEXT_BUFFER_SIZE];
        FormatText(name, sizeof(name), "CD-ROM %d", i + 1);
        SendMessageA(driveList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    SendMessageA(driveList, CB_SETCURSEL, 0, 0);
}

void MainDialog::LayoutControls()
{
    RECT client;
    GetClientRect(hWnd, &client);
    const int w = client.right;
    const int h = client.bottom;
    const int s = ControlHeight(GetDlgItem(hWnd, IDC_STATUS));
    const int t = hToolBar ? ControlHeight(hToolBar) : 0;
    const int c = ControlHeight(GetDlgItem(hWnd, IDC_OUTPUT_FOLDER));
    const int e = ControlHeight(GetDlgItem(hWnd, IDC_ARTIST));
    const int dropHeight = 5 * DialogUnitsToPixels(10);
    auto labelHeight = [&](int id) { return ControlHeight(GetDlgItem(hWnd, id)); };

    MoveControl(IDC_STATUS, 0, h - s, w, s);
    MoveControl(IDC_LINE_ABOVE_TOOLBAR, 0, 0, w, 2);
    MoveControl(IDC_LINE_BELOW_TOOLBAR, 0, t, w, 2);

    const int row1 = t + 6;
    MoveControl(IDC_LABEL_DRIVE, 4, t + 10, 80, labelHeight(IDC_LABEL_DRIVE));
    MoveControl(IDC_DRIVES, 88, row1, 110, dropHeight);
    // The right-hand labels take the gap up to their fields, so "Output Folder"
    // fits in the wider faces that stand in for the dialog font.
    MoveControl(IDC_LABEL_OUTPUT, 210, t + 10, 78, labelHeight(IDC_LABEL_OUTPUT));
    // A combo box's height is its dropped height: the recent folders need room.
    MoveControl(IDC_OUTPUT_FOLDER, 290, row1, w - 338, dropHeight);
    MoveControl(IDC_BROWSE, w - 44, row1, 40, c + 1);

    const int row2 = row1 + c + 6;
    MoveControl(IDC_LABEL_ARTIST, 4, row2 + 2, 70, labelHeight(IDC_LABEL_ARTIST));
    MoveControl(IDC_ARTIST, 88, row2, 110, e);
    MoveControl(IDC_LABEL_ALBUM, 210, row2 + 2, 78, labelHeight(IDC_LABEL_ALBUM));
    MoveControl(IDC_ALBUM, 290, row2, w - 294, e);

    const int listTop = t + 6 + c + e + 12;
    MoveControl(IDC_TRACKS, 0, listTop, w, h - s - listTop);
    StretchColumn(TRACK_COLUMNS, IDC_TRACKS, 100, 0);
}

void MainDialog::WindowSizeSettingsRestore()
{
    const int x = ReadSettingInt(MAIN_DIALOG_SECTION, "X", 160);
    const int y = ReadSettingInt(MAIN_DIALOG_SECTION, "Y", 80);
    const int width = ReadSettingInt(MAIN_DIALOG_SECTION, "Width", 560);
    const int height = ReadSettingInt(MAIN_DIALOG_SECTION, "Height", 500);
    const bool bMaximized = ReadSettingBool(MAIN_DIALOG_SECTION, "Maximized", false);

    // The stored place, kept inside the work area of the monitor nearest to
    // it: a monitor that has gone, or a smaller screen, leaves no window out
    // of reach.
    RECT stored = {x, y, x + width, y + height};
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoA(MonitorFromRect(&stored, MONITOR_DEFAULTTONEAREST), &monitor);
    const PlacementRect area = {monitor.rcWork.left, monitor.rcWork.top, monitor.rcWork.right, monitor.rcWork.bottom};
    const PlacementRect place = FitInArea({x, y, x + width, y + height}, area);

    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    GetWindowPlacement(hWnd, &placement);
    // The placement is in workspace coordinates, which start at the work area.
    const LONG dx = monitor.rcMonitor.left - monitor.rcWork.left;
    const LONG dy = monitor.rcMonitor.top - monitor.rcWork.top;
    placement.rcNormalPosition = {place.left + dx, place.top + dy, place.right + dx, place.bottom + dy};
    placement.flags = bMaximized ? WPF_RESTORETOMAXIMIZED : 0;
    // A window not yet shown is shown by the dialog's start, maximised or not.
    if (bMaximized)
        placement.showCmd = SW_SHOWMAXIMIZED;
    else
        placement.showCmd = IsWindowVisible(hWnd) ? SW_SHOWNORMAL : SW_HIDE;
    SetWindowPlacement(hWnd, &placement);
}

void MainDialog::WindowSizeSettingsStore()
{
    if (IsZoomed(hWnd))
    {
        WriteSettingBool(MAIN_DIALOG_SECTION, "Maximized", true);
        return;
    }
    if (IsIconic(hWnd))
        return;
    WriteSettingBool(MAIN_DIALOG_SECTION, "Maximized", false);
    RECT window;
    RECT desktop;
    GetWindowRect(hWnd, &window);
    GetWindowRect(GetDesktopWindow(), &desktop);
    if (window.right > desktop.right)
        window.right = desktop.right;
    WriteSettingInt(MAIN_DIALOG_SECTION, "X", window.left);
    WriteSettingInt(MAIN_DIALOG_SECTION, "Y", window.top);
    WriteSettingInt(MAIN_DIALOG_SECTION, "Width", window.right - window.left);
    WriteSettingInt(MAIN_DIALOG_SECTION, "Height", window.bottom - window.top);
}

int MainDialog::SelectedDrive() const
{
    const LRESULT selection = SendDlgItemMessageA(hWnd, IDC_DRIVES, CB_GETCURSEL, 0, 0);
    return selection == CB_ERR ? -1 : static_cast<int>(selection);
}

void MainDialog::CmSettings()
{
    const bool bUseCDDB = ReadSettingBool(SETTINGS_SECTION, "UseCDDB", true);
    const int drive = SelectedDrive();
    LSettingsDlg settings(drive >= 0 && drive < Drives.nDrives ? DriveName(drive) : "");
    settings.DetectReadOffset = [this](HWND owner, int32_t& correction) { return DetectReadOffset(owner, correction); };
    settings.DoModal(MAKEINTRESOURCEA(IDD_SETTINGS), hWnd);
    if (ReadSettingBool(SETTINGS_SECTION, "UseCDDB", true) != bUseCDDB)
        CDDriveChanged(false);
}

void MainDialog::CmBrowseOutput()
{
    char folder[TEXT_BUFFER_SIZE];
    if (BrowseForFolder(folder, "Locate output folder..."))
        SetDlgItemTextA(hWnd, IDC_OUTPUT_FOLDER, folder);
}

void MainDialog::CmRename()
{
    const int row = Tracks.SelectedRow();
    if (row < 0)
        return;
    Tracks.EditName(row);
}

void MainDialog::CmHelpAbout()
{
    RegisterSplashAboutClass();
    LAboutBox about;
    about.DoModal("LAbout", hWnd);
}

void MainDialog::ShowStatusText(const char* text) const
{
    SendDlgItemMessageA(hWnd, IDC_STATUS, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

void MainDialog::NextStatusText()
{
    if (!STATUS_TEXTS[iStatusText][0])
        iStatusText = 0;
    ShowStatusText(STATUS_TEXTS[iStatusText]);
    ++iStatusText;
    SetTimer(hWnd, STATUS_TIMER, STATUS_MS, nullptr);
}

void MainDialog::TrackMessageMenu() const
{
    HMENU menu = LoadMenuA(hAppInstance, MAKEINTRESOURCEA(IDM_TRACK_CONTEXT));
    HMENU popup = GetSubMenu(menu, 0);
    LCommandState states[STATEFUL_COMMANDS];
    CommandStates(states);
    // Commands the menu does not hold are ignored.
    for (const LCommandState& state : states)
        ::EnableMenuItem(popup, state.nId, MF_BYCOMMAND | (state.bEnabled ? MF_ENABLED : MF_GRAYED));
    POINT cursor;
    GetCursorPos(&cursor);
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, hWnd, nullptr);
    DestroyMenu(menu);
}

void MainDialog::InternetResourcesMenu() const
{
    HMENU menu = LoadMenuA(hAppInstance, MAKEINTRESOURCEA(IDM_MAIN));
    HMENU resources = GetSubMenu(GetSubMenu(menu, 2), 2);
    POINT cursor;
    GetCursorPos(&cursor);
    TrackPopupMenu(resources, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, hWnd, nullptr);
    DestroyMenu(menu);
}

void MainDialog::EndLabelEdit(const NMLVDISPINFOA& edit) const
{
    if (edit.item.pszText)
        Tracks.SetRowName(edit.item.iItem, edit.item.pszText);
}

void MainDialog::EmptyDiscFields() const
{
    SetDlgItemTextA(hWnd, IDC_ARTIST, "");
    SetDlgItemTextA(hWnd, IDC_ALBUM, "");
}
