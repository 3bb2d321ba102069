// The main window built against virtual drives behind the pass-through seam,
// driven with the messages a user's actions send.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <dbt.h>

#include <string>
#include <vector>

#include "app/MainDialog.h"
#include "RegistryValues.h"
#include "cdrom/VirtualDrives.h"
#include "resources/resource.h"

constexpr const char* SETTINGS_KEY = "Software\\Talmarin\\Corvane\\Settings";
constexpr const char* PLACEMENT_KEY = "Software\\Talmarin\\Corvane\\MainDialog";
// The recent output folders, which the rips of the tests would otherwise leave
// at the head of the list.
constexpr const char* RECENT_FOLDERS_KEY = "Software\\Talmarin\\Corvane\\OutputFolder";

class MainDialogTest : public VirtualDrivesTest
{
protected:
    void SetUp() override
    {
        // The window's own settings start from their defaults in every test,
        // the disc database is a port where nobody answers, and the
        // AccurateRip database is asked only by the tests about it.
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, PLACEMENT_KEY);
        RegDeleteKeyA(HKEY_CURRENT_USER, RECENT_FOLDERS_KEY);
        SetValue(SETTINGS_KEY, "UseCDDB", "1");
        SetValue(SETTINGS_KEY, "CDDBServer", "127.0.0.1:1");
        SetValue(SETTINGS_KEY, "UseAccurateRip", "0");
        SetValue(SETTINGS_KEY, "AccurateRipServer", "127.0.0.1:1");
        VirtualDrivesTest::SetUp();
    }
    void TearDown() override
    {
        if (dialog.hWnd)
            DestroyWindow(dialog.hWnd);
        Pump();
        VirtualDrivesTest::TearDown();
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, PLACEMENT_KEY);
        RegDeleteKeyA(HKEY_CURRENT_USER, RECENT_FOLDERS_KEY);
        SetValue(SETTINGS_KEY, "UseCDDB", "1");
        DeleteValue(SETTINGS_KEY, "UseAccurateRip");
        DeleteValue(SETTINGS_KEY, "AccurateRipServer");
    }

    void Open()
    {
        ASSERT_TRUE(dialog.Create(MAKEINTRESOURCEA(IDD_MAIN), nullptr));
        Pump();
    }

    // Handles what is queued as the window's own loop does.
    void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            dialog.ProcessLoopMessage(msg);
    }

    HWND Control(int id) const { return GetDlgItem(dialog.hWnd, id); }

    std::string Text(int id) const
    {
        char text[TEXT_BUFFER_SIZE] = "";
        GetWindowTextA(Control(id), text, sizeof(text));
        return text;
    }

    std::string Cell(int row, int column) const
    {
        char text[TEXT_BUFFER_SIZE] = "";
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof(text);
        SendMessageA(Control(IDC_TRACKS), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        return text;
    }

    std::vector<std::string> DriveItems() const
    {
        std::vector<std::string> items;
        const int n = static_cast<int>(SendMessageA(Control(IDC_DRIVES), CB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i)
        {
            char text[TEXT_BUFFER_SIZE] = "";
            SendMessageA(Control(IDC_DRIVES), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            items.push_back(text);
        }
        return items;
    }

    std::vector<bool> Checks() const
    {
        std::vector<bool> checks;
        for (int i = 0; i < dialog.Tracks.RowCount(); ++i)
            checks.push_back(dialog.Tracks.IsRowChecked(i));
        return checks;
    }

    void ChooseDrive(int index)
    {
        SendMessageA(Control(IDC_DRIVES), CB_SETCURSEL, index, 0);
        SendMessageA(dialog.hWnd, WM_COMMAND, MAKEWPARAM(IDC_DRIVES, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Control(IDC_DRIVES)));
        Pump();
    }

    // A key pressed with modifiers held, into the control with the focus.
    void PressKey(WORD key, bool bCtrl, bool bShift, HWND target, bool bRepeat = false)
    {
        BYTE state[256] = {};
        GetKeyboardState(state);
        state[VK_CONTROL] = bCtrl ? 0x80 : 0;
        state[VK_SHIFT] = bShift ? 0x80 : 0;
        state[VK_MENU] = 0;
        SetKeyboardState(state);
        SetFocus(target);
        PostMessageA(target, WM_KEYDOWN, key, bRepeat ? 0x40000001 : 1);
        PostMessageA(target, WM_KEYUP, key, 0xC0000001);
        Pump();
        state[VK_CONTROL] = state[VK_SHIFT] = 0;
        SetKeyboardState(state);
    }

    // What the system sends when a disc arrives in or leaves drive `letter`
    // (with DBTF_MEDIA), or when a memory stick comes or goes (flags 0).
    void SendVolumeEvent(WPARAM event, char letter, WORD flags = DBTF_MEDIA)
    {
        DEV_BROADCAST_VOLUME volume = {};
        volume.dbcv_size = sizeof(volume);
        volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
        volume.dbcv_unitmask = 1u << (letter - 'A');
        volume.dbcv_flags = flags;
        SendMessageA(dialog.hWnd, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&volume));
    }

    bool MenuEnabled(int id) const
    {
        return !(GetMenuState(GetMenu(dialog.hWnd), id, MF_BYCOMMAND) & MF_GRAYED);
    }
    bool ToolEnabled(int id) const
    {
        return SendMessageA(dialog.hToolBar, TB_ISBUTTONENABLED, id, 0) != 0;
    }

    MainDialog dialog;
};

