// The real corvane.exe, started under Wine as a user starts it, with the
// virtual drive's manager beside it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "cdrom/VirtualDiscFiles.h"
#include "RegistryValues.h"
#include "WaitFor.h"

namespace {

const int TRACK_LIST_ID = 102;

std::string ProgramPath() { return ProgramFolder() + "\\..\\src\\corvane.exe"; }

BOOL CALLBACK CollectMainWindow(HWND window, LPARAM found)
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
std::vector<HWND> MainWindows()
{
    std::vector<HWND> windows;
    EnumWindows(CollectMainWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// Starts `path` with `arguments` as a shell would; the process handle.
HANDLE Start(const std::string& path, const std::string& arguments)
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

DWORD ExitCodeAfter(HANDLE process, DWORD timeoutMs = 30000)
{
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    return code;
}

class StartUpTest : public ::testing::Test
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
        // The disc database is a port where nobody answers.
        SetValue("Software\\Talmarin\\Corvane\\Settings", "CDDBServer", "127.0.0.1:1");
    }
    void TearDown() override
    {
        for (HWND window : MainWindows())
            PostMessageA(window, WM_CLOSE, 0, 0);
        WaitFor([] { return MainWindows().empty(); }, 30000);
    }
    static std::string config;
};
std::string StartUpTest::config;

bool ShowsTracks(HWND window)
{
    return IsWindowEnabled(window) && SendMessageA(GetDlgItem(window, TRACK_LIST_ID), LVM_GETITEMCOUNT, 0, 0) == 3;
}

TEST_F(StartUpTest, ASecondStartBringsTheFirstWindowBack)
{
    // Arguments change nothing: the program has no command line.
    HANDLE first = Start(ProgramPath(), "/uninstall --rip C:\\nowhere");
    ASSERT_NE(nullptr, first);
    ASSERT_TRUE(WaitFor([] { return MainWindows().size() == 1 && ShowsTracks(MainWindows()[0]); }, 30000));
    HWND window = MainWindows()[0];
    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(WaitFor([&] { return IsIconic(window) != 0; }, 30000));

    HANDLE second = Start(ProgramPath(), "");
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(0u, ExitCodeAfter(second));
    EXPECT_EQ(std::vector<HWND>({window}), MainWindows()) << "a second main window was created";
    EXPECT_TRUE(WaitFor([&] { return !IsIconic(window); }, 30000)) << "the first window was not restored";
    CloseHandle(second);

    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, ExitCodeAfter(first));
    CloseHandle(first);
}

TEST_F(StartUpTest, ASetupNamedCopyWithoutItsTrailerReportsACorruptFile)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    const std::string copy = std::string(temp) + "Corvane-Setup.exe";
    ASSERT_TRUE(CopyFileA(ProgramPath().c_str(), copy.c_str(), FALSE));
    // Whatever the image ends with, these four bytes are no trailer.
    FILE* file = fopen(copy.c_str(), "ab");
    ASSERT_NE(nullptr, file);
    fwrite("\0\0\0\0", 1, 4, file);
    fclose(file);

    HANDLE process = Start(copy, "");
    ASSERT_NE(nullptr, process);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = FindWindowA("#32770", "Install Error")) != nullptr; }, 30000));
    char text[512] = "";
    GetWindowTextA(GetDlgItem(box, 0xFFFF), text, sizeof(text));
    EXPECT_STREQ("Installation file corrupt.\n\nA checksum error was detected in your install file, please "
                 "redownload file and install again.",
                 text);
    EXPECT_TRUE(MainWindows().empty());
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(0u, ExitCodeAfter(process));
    EXPECT_TRUE(MainWindows().empty());
    CloseHandle(process);
    DeleteFileA(copy.c_str());
}

} // namespace
