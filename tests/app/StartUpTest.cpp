// The real corvane.exe, started under Wine as a user starts it, with the
// virtual drive's manager beside it.
#include "app/RealProgram.h"

#include <cstdio>
#include <string>
#include <vector>

#include "FileBytes.h"

namespace {

using StartUpTest = RealProgramTest;

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

struct CaptionSearch
{
    const char* caption;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectCaptioned(HWND window, LPARAM p)
{
    auto& search = *reinterpret_cast<CaptionSearch*>(p);
    char text[64] = "";
    GetWindowTextA(window, text, sizeof(text));
    if (IsWindowVisible(window) && !lstrcmpA(text, search.caption))
        search.found.push_back(window);
    return TRUE;
}

// The visible top-level windows captioned `caption` (the tests run one program at a time).
std::vector<HWND> WindowsCaptioned(const char* caption)
{
    CaptionSearch search = {caption, {}};
    EnumWindows(CollectCaptioned, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Without a drive the start-up message shows over the main window; however
// the window is closed then, the process ends (the system menu's Close is not
// among the ways: a window disabled by its box takes no system command) (a process left behind holds
// corvane.exe, which no install or uninstall can then replace).
TEST_F(StartUpTest, ClosingTheWindowOverTheNoDriveMessageEndsTheProgram)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    const std::string noDrive = std::string(temp) + "corvane-startup-no-drive.txt";
    FILE* file = fopen(noDrive.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    fclose(file);
    const struct
    {
        const char* name;
        UINT message;
        WPARAM wParam;
    } cases[] = {
        {"the window's close", WM_CLOSE, 0},
        {"Exit", WM_COMMAND, 1011},  // CM_EXIT
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        SetEnvironmentVariableA("VDRIVE_CONFIG", noDrive.c_str());
        HANDLE program = Start(ProgramPath(), "");
        SetEnvironmentVariableA("VDRIVE_CONFIG", config.c_str());
        ASSERT_NE(nullptr, program);
        ASSERT_TRUE(WaitFor([&] { return !WindowsCaptioned("Error").empty() && !MainWindows().empty(); }, 30000));
        PostMessageA(MainWindows()[0], c.message, c.wParam, 0);
        EXPECT_NE(STILL_ACTIVE, ExitCodeAfter(program));
        TerminateProcess(program, 1);
        CloseHandle(program);
    }
    DeleteFileA(noDrive.c_str());
}

// A setup file cut short, as a broken download leaves it, and a copy of the
// program named like a setup file: neither has the install trailer at its end.
TEST_F(StartUpTest, ASetupNamedFileWithoutTheInstallTrailerReportsACorruptFile)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    std::vector<unsigned char> truncated = FileBytes(ProgramFolder() + "\\..\\Corvane-Setup.exe");
    ASSERT_GT(truncated.size(), 4u);
    truncated.resize(truncated.size() - 4);
    std::vector<unsigned char> program = FileBytes(ProgramPath());
    program.insert(program.end(), 4, 0);  // whatever the image ends with, these are no trailer
    const struct
    {
        const char* name;
        const std::vector<unsigned char>& bytes;
    } files[] = {{"corvane_setup.exe", truncated}, {"Corvane-Setup.exe", program}};

    for (const auto& file : files)
    {
        const std::string copy = std::string(temp) + file.name;
        FILE* out = fopen(copy.c_str(), "wb");
        ASSERT_NE(nullptr, out);
        fwrite(file.bytes.data(), 1, file.bytes.size(), out);
        fclose(out);

        HANDLE process = Start(copy, "");
        ASSERT_NE(nullptr, process);
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (box = FindWindowA("#32770", "Install Error")) != nullptr; }, 30000));
        char text[512] = "";
        GetWindowTextA(GetDlgItem(box, 0xFFFF), text, sizeof(text));
        EXPECT_STREQ("Installation file corrupt.\n\nA checksum error was detected in your install file, please "
                     "redownload file and install again.",
                     text)
            << file.name;
        EXPECT_TRUE(MainWindows().empty());
        EXPECT_EQ(nullptr, FindWindowA("#32770", "Installing Corvane v 1.32")) << file.name;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(0u, ExitCodeAfter(process));
        EXPECT_TRUE(MainWindows().empty());
        EXPECT_EQ(nullptr, FindWindowA("#32770", "Installing Corvane v 1.32")) << file.name;
        CloseHandle(process);
        DeleteFileA(copy.c_str());
    }
}

} // namespace
