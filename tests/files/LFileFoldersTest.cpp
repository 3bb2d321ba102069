#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "files/LFile.h"
#include "files/TextBuffer.h"
#include "TestFiles.h"

namespace {

std::string MakeTempFolder(const char* name)
{
    char temp[TEXT_BUFFER_SIZE];
    GetTempPathA(sizeof(temp), temp);
    std::string folder = std::string(temp) + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void CreateSampleFile(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD written;
    WriteFile(h, "RIFF", 4, &written, nullptr);
    CloseHandle(h);
}

TEST(LFileFolders, DeletesAFolderWithItsFiles)
{
    const std::string folder = MakeTempFolder("corvane-delete-flat");
    CreateSampleFile(folder + "\\Track 01.wav");
    CreateSampleFile(folder + "\\Track 02.wav");
    EXPECT_TRUE(LFile::DeleteFolderAndFiles(folder.c_str()));
    EXPECT_FALSE(Exists(folder));
    EXPECT_FALSE(LFile::DeleteFolderAndFiles(folder.c_str()));  // already gone
}

TEST(LFileFolders, AFolderWithASubFolderLosesItsFilesButStays)
{
    const std::string folder = MakeTempFolder("corvane-delete-nested");
    CreateSampleFile(folder + "\\Track 01.wav");
    CreateDirectoryA((folder + "\\Sub").c_str(), nullptr);
    CreateSampleFile(folder + "\\Sub\\inner.wav");

    EXPECT_FALSE(LFile::DeleteFolderAndFiles(folder.c_str()));
    EXPECT_FALSE(Exists(folder + "\\Track 01.wav"));
    EXPECT_TRUE(Exists(folder + "\\Sub\\inner.wav"));
    EXPECT_TRUE(Exists(folder));

    EXPECT_TRUE(LFile::DeleteFolderAndFiles((folder + "\\Sub").c_str()));
    EXPECT_TRUE(LFile::DeleteFolderAndFiles(folder.c_str()));
}

TEST(LFileFolders, AFileInUseKeepsTheFolder)
{
    const std::string folder = MakeTempFolder("corvane-delete-busy");
    const std::string file = folder + "\\busy.wav";
    CreateSampleFile(file);
    HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_FALSE(LFile::DeleteFolderAndFiles(folder.c_str()));
    EXPECT_TRUE(Exists(file));
    CloseHandle(h);
    EXPECT_TRUE(LFile::DeleteFolderAndFiles(folder.c_str()));
}

// Finds the folder picker that BrowseForFolder shows on this thread and answers
// it as a user would, from a timer.
struct PickerAnswer
{
    const char* title;
    int button;  // IDOK or IDCANCEL
    bool answered;
};
PickerAnswer* pendingAnswer;

BOOL CALLBACK FindPicker(HWND hWnd, LPARAM found)
{
    char className[16];
    GetClassNameA(hWnd, className, sizeof(className));
    if (strcmp(className, "#32770") == 0 && IsWindowVisible(hWnd))
    {
        *reinterpret_cast<HWND*>(found) = hWnd;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK AnswerPicker(HWND, UINT, UINT_PTR, DWORD)
{
    HWND picker = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindPicker, reinterpret_cast<LPARAM>(&picker));
    if (!picker || pendingAnswer->answered)
        return;
    pendingAnswer->answered = true;
    PostMessageA(picker, WM_COMMAND, pendingAnswer->button, 0);
}

bool RunPicker(int button, char (&path)[TEXT_BUFFER_SIZE])
{
    PickerAnswer answer = {"Choose the output folder", button, false};
    pendingAnswer = &answer;
    UINT_PTR timer = SetTimer(nullptr, 0, 100, AnswerPicker);
    bool chosen = BrowseForFolder(path, answer.title);
    KillTimer(nullptr, timer);
    EXPECT_TRUE(answer.answered);
    return chosen;
}

TEST(LFileFolders, BrowseForFolderReportsTheUsersAnswer)
{
    char path[TEXT_BUFFER_SIZE] = "unchanged";
    EXPECT_FALSE(RunPicker(IDCANCEL, path));
    EXPECT_STREQ("unchanged", path);

    // The picker opens on the desktop; OK takes that folder's path.
    char desktop[TEXT_BUFFER_SIZE];
    ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop));
    EXPECT_TRUE(RunPicker(IDOK, path));
    EXPECT_STREQ(desktop, path);
}

} // namespace
