// The real corvane.exe, started under Wine as a user starts it, with the
// virtual drive's manager beside it.
#include "app/RealProgram.h"

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
