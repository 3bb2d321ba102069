// The real corvane.exe, started under Wine as a user starts it, with the
// virtual drive's manager beside it and a disc in its drive.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cdrom/VirtualDiscFiles.h"
#include "RegistryValues.h"
#include "WaitFor.h"

inline std::string ProgramPath() { return ProgramFolder() + "\\..\\src\\corvane.exe"; }

inline BOOL CALLBACK CollectMainWindow(HWND window, LPARAM found)
{
    char className[16] = "";
    char caption[32] = "";
    GetClassNameA(window, className, sizeof(className));
    GetWindowTextA(window, caption, sizeof(caption));
    if (!lstrcmpA(className, "#32770") && !lstrcmpA(caption, "Corvane"))
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

// The top-level main windows of every running Corvane.
inline std::vector<HWND> MainWindows()
{
    std::vector<HWND> windows;
    EnumWindows(CollectMainWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// Starts `path` with `arguments` as a shell would; the process handle.
inline HANDLE Start(const std::string& path, const std::string& arguments)
{
    std::string commandLine = "\"" + path + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    char folder[TEXT_BUFFER_SIZE];
    LFile::_GetFolderFromPath(folder, path.c_str());
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

inline DWORD ExitCodeAfter(HANDLE process, DWORD timeoutMs = 30000)
{
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    return code;
}

const int TRACK_LIST_ID = 102;

// The main window, enabled, with the three tracks of the test's disc listed.
inline bool ShowsTracks(HWND window)
{
    return IsWindowEnabled(window) && SendMessageA(GetDlgItem(window, TRACK_LIST_ID), LVM_GETITEMCOUNT, 0, 0) == 3;
}

// Puts the disc "three-tracks" into the virtual drive of every program the
// tests start, and points the disc database at a port where nobody answers;
// closes the main windows the test left.
class RealProgramTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        config = std::string(temp) + "corvane-startup-vdrive.txt";
        FILE* file = fopen(config.c_str(), "wb");
        ASSERT_NE(nullptr, file);
        fprintf(file, "0 0 0 %s\n", DiscCue("three-tracks").c_str());
        fclose(file);
        SetEnvironmentVariableA("VDRIVE_CONFIG", config.c_str());
        SetValue("Software\\Talmarin\\Corvane\\Settings", "CDDBServer", "127.0.0.1:1");
    }
    void TearDown() override
    {
        for (HWND window : MainWindows())
            PostMessageA(window, WM_CLOSE, 0, 0);
        WaitFor([] { return MainWindows().empty(); }, 30000);
    }
    static inline std::string config;
};
