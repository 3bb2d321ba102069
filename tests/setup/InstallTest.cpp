// The built setup file installs, and the installed uninstaller removes, in a
// Wine prefix of each test's own (see fresh_prefix_tests.py): the wizard is
// driven from this process with window messages, as a user's clicks arrive.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "RegistryValues.h"
#include "cdrom/VirtualDiscFiles.h"
#include "components/LocalFtpServer.h"
#include "WaitFor.h"
#include "setup/SetupFiles.h"
#include "remote/ShortcutTarget.h"
#include "resources/resource.h"

namespace {

const DWORD WINDOW_WAIT_MS = 60000;
const int WIZARD_BACK = 0x3023;
const int WIZARD_NEXT = 0x3024;
const int WIZARD_FINISH = 0x3025;
const char* const CURRENT_VERSION = "Software\\Microsoft\\Windows\\CurrentVersion";
const char* const UNINSTALL_ENTRY = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvane";
const char* const SHELL_FOLDERS = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

struct Process
{
    HANDLE hProcess = nullptr;
    DWORD nId = 0;
};

Process Start(const std::string& path, const std::string& arguments = "")
{
    std::string commandLine = "\"" + path + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    Process process;
    if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    {
        CloseHandle(info.hThread);
        process = {info.hProcess, info.dwProcessId};
    }
    return process;
}

DWORD ExitCodeAfter(const Process& process, DWORD timeoutMs = WINDOW_WAIT_MS)
{
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    return code;
}

struct WindowSearch
{
    std::string caption;
    bool bWizard;
    HWND hFound;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    char className[16] = "";
    char caption[64] = "";
    GetClassNameA(window, className, sizeof(className));
    GetWindowTextA(window, caption, sizeof(caption));
    if (lstrcmpA(className, "#32770") || !IsWindowVisible(window))
        return TRUE;
    if (search->bWizard ? PropSheet_GetCurrentPageHwnd(window) != nullptr : search->caption == caption)
    {
        search->hFound = window;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level dialog of any process: the wizard sheet, or the dialog
// (a message box, the main window) with that caption.
HWND FindDialog(const char* caption)
{
    WindowSearch search = {caption, false, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

HWND FindWizard()
{
    WindowSearch search = {"", true, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

HWND WaitForDialog(const char* caption)
{
    HWND found = nullptr;
    WaitFor([&] { return (found = FindDialog(caption)) != nullptr; }, WINDOW_WAIT_MS);
    return found;
}

std::string Text(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

bool ButtonEnabled(HWND sheet, int id)
{
    HWND button = GetDlgItem(sheet, id);
    return button && IsWindowVisible(button) && IsWindowEnabled(button);
}

void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// The wizard as a user goes through it: "I agree", Next, the related
// programs `ticks` ticked (their check boxes' ids), Install.
void WalkWizard(HWND sheet, std::initializer_list<int> ticks)
{
    HWND licence = PropSheet_GetCurrentPageHwnd(sheet);
    ASSERT_TRUE(WaitFor([&] { return GetDlgItem(licence, IDC_LICENCE_AGREE) != nullptr; }));
    Click(licence, IDC_LICENCE_AGREE);
    ASSERT_TRUE(WaitFor([&] { return ButtonEnabled(sheet, WIZARD_NEXT); }));
    PropSheet_PressButton(sheet, PSBTN_NEXT);
    HWND products = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        products = PropSheet_GetCurrentPageHwnd(sheet);
        return products != licence && GetDlgItem(products, IDC_RELATED_FIRST + 4) != nullptr;
    }));
    for (int id : ticks)
        Click(products, id);
    ASSERT_TRUE(WaitFor([&] { return ButtonEnabled(sheet, WIZARD_FINISH); }));
    PropSheet_PressButton(sheet, PSBTN_FINISH);
}

std::string ProgramFilesFolder()
{
    char folder[TEXT_BUFFER_SIZE] = "C:\\Program Files";
    std::string value = GetValue(CURRENT_VERSION, "ProgramFilesDir");
    return value.empty() ? folder : value;
}
std::string MakerFolder() { return ProgramFilesFolder() + "\\Talmarin"; }
std::string InstallFolder() { return MakerFolder() + "\\Corvane"; }
std::string ComponentFile() { return MakerFolder() + "\\Components\\mp3el\\mp3enc.exe"; }

std::string ShellFolder(HKEY root, const char* name)
{
    char text[TEXT_BUFFER_SIZE] = "";
    DWORD size = sizeof(text);
    HKEY hKey;
    if (RegOpenKeyExA(root, SHELL_FOLDERS, 0, KEY_READ, &hKey) == ERROR_SUCCESS)
    {
        RegQueryValueExA(hKey, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(hKey);
    }
    return text;
}
std::string StartMenuGroup() { return ShellFolder(HKEY_LOCAL_MACHINE, "Common Programs") + "\\Corvane"; }
std::string DesktopShortcut() { return ShellFolder(HKEY_LOCAL_MACHINE, "Common Desktop") + "\\Corvane.lnk"; }

// Compares paths as Windows does, letters in any case.
::testing::AssertionResult SamePath(const std::string& expected, const std::string& actual)
{
    if (lstrcmpiA(expected.c_str(), actual.c_str()) == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected " << expected << ", got " << actual;
}

BOOL CALLBACK CollectMainWindow(HWND window, LPARAM found)
{
    char className[16] = "";
    char caption[32] = "";
    GetClassNameA(window, className, sizeof(className));
    GetWindowTextA(window, caption, sizeof(caption));
    if (!lstrcmpA(className, "#32770") && !lstrcmpA(caption, "Corvane") && IsWindowVisible(window))
        *reinterpret_cast<HWND*>(found) = window;
    return TRUE;
}

HWND MainWindow()
{
    HWND window = nullptr;
    EnumWindows(CollectMainWindow, reinterpret_cast<LPARAM>(&window));
    return window;
}

// Waits for the installed program's main window. A prefix of its own has no
// CD drive, which the program reports first; that box is answered.
::testing::AssertionResult InstalledProgramShowsItsWindow()
{
    std::string otherBox;
    const bool bShown = WaitFor(
        [&] {
            if (HWND box = FindDialog("Error"))
            {
                const std::string text = Text(GetDlgItem(box, 0xFFFF));
                if (text.rfind("No CD-ROM drives have been detected.", 0) != 0)
                    otherBox = text;
                Click(box, IDOK);
            }
            return otherBox.empty() && MainWindow() != nullptr && IsWindowEnabled(MainWindow());
        },
        WINDOW_WAIT_MS);
    if (!otherBox.empty())
        return ::testing::AssertionFailure() << "the installed program reported: " << otherBox;
    if (!bShown)
        return ::testing::AssertionFailure() << "the installed program did not show its main window";
    return ::testing::AssertionSuccess();
}

class InstallTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        if (HWND window = MainWindow())
            PostMessageA(window, WM_CLOSE, 0, 0);
        WaitFor([] { return MainWindow() == nullptr; }, WINDOW_WAIT_MS);
    }

    // Runs the setup file through the wizard as a user does: agree, Next,
    // tick nothing, Install; then waits for the installed program's window
    // and, unless told otherwise, closes it.
    void InstallThroughWizard(bool bCloseProgram = true)
    {
        Process setup = Start(BuiltSetupFile());
        ASSERT_NE(nullptr, setup.hProcess);
        HWND sheet = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (sheet = FindWizard()) != nullptr; }, WINDOW_WAIT_MS));
        ASSERT_NO_FATAL_FAILURE(WalkWizard(sheet, {}));
        ASSERT_EQ(0u, ExitCodeAfter(setup));
        CloseHandle(setup.hProcess);
        ASSERT_TRUE(InstalledProgramShowsItsWindow());
        if (!bCloseProgram)
            return;
        PostMessageA(MainWindow(), WM_CLOSE, 0, 0);
        ASSERT_TRUE(WaitFor([] { return MainWindow() == nullptr; }, WINDOW_WAIT_MS));
    }

    // Runs the installed uninstaller without an argument, as the system's
    // list of programs does, and answers its question with `answer`. The
    // question comes from the copy in the temporary folder.
    void Uninstall(int answer)
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        const std::string copy = std::string(temp) + "uninst.exe";
        DeleteFileA(copy.c_str());
        Process first = Start(InstallFolder() + "\\uninst.exe");
        ASSERT_NE(nullptr, first.hProcess);
        ASSERT_EQ(0u, ExitCodeAfter(first)) << "the first stage does not end by itself";
        CloseHandle(first.hProcess);
        EXPECT_EQ(FileBytes(InstallFolder() + "\\uninst.exe"), FileBytes(copy));

        HWND question = WaitForDialog("Uninstall Corvane");
        ASSERT_NE(nullptr, question);
        EXPECT_EQ("Are you sure you want to remove Corvane from this computer?", Text(GetDlgItem(question, 0xFFFF)));
        // The copy shows it: the installed uninstaller has ended.
        DWORD asking = 0;
        GetWindowThreadProcessId(question, &asking);
        HANDLE second = OpenProcess(SYNCHRONIZE, FALSE, asking);
        ASSERT_NE(nullptr, second);
        Click(question, answer);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second, WINDOW_WAIT_MS));
        CloseHandle(second);
    }
};

TEST_F(InstallTest, TheWizardInstallsTheProgramWithItsShortcutsAndRegistryValues)
{
    // Brennar is installed already: its probe value is there.
    SetValue("Software\\Talmarin\\Brennar\\Settings", "CopyCD", "\"C:\\brennar.exe\" \"%s\"");

    Process setup = Start(BuiltSetupFile());
    ASSERT_NE(nullptr, setup.hProcess);
    HWND sheet = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (sheet = FindWizard()) != nullptr; }, WINDOW_WAIT_MS));
    HWND licence = PropSheet_GetCurrentPageHwnd(sheet);
    ASSERT_TRUE(WaitFor([&] { return GetDlgItem(licence, 101) != nullptr; }));
    EXPECT_EQ("I &agree with these terms", Text(GetDlgItem(licence, 101)));
    // The sheet's buttons follow the page's choice by a posted message.
    EXPECT_TRUE(WaitFor([&] { return !ButtonEnabled(sheet, WIZARD_NEXT); }));
    Click(licence, 101);
    EXPECT_TRUE(WaitFor([&] { return ButtonEnabled(sheet, WIZARD_NEXT); }));
    EXPECT_FALSE(ButtonEnabled(sheet, WIZARD_BACK));
    Click(licence, 102);
    EXPECT_TRUE(WaitFor([&] { return !ButtonEnabled(sheet, WIZARD_NEXT); }));
    Click(licence, 101);
    ASSERT_TRUE(WaitFor([&] { return ButtonEnabled(sheet, WIZARD_NEXT); }));

    // Cancel asks; keeping on leaves the wizard where it was.
    PropSheet_PressButton(sheet, PSBTN_CANCEL);
    HWND question = WaitForDialog("Exit Setup");
    ASSERT_NE(nullptr, question);
    EXPECT_EQ("Setup is not complete. If you quit now, the program will not be installed.\r\n\r\nYou may run the "
              "setup program again at another time to complete the installation.\r\n\r\nExit Setup?",
              Text(GetDlgItem(question, 0xFFFF)));
    Click(question, IDCANCEL);
    ASSERT_TRUE(WaitFor([] { return FindDialog("Exit Setup") == nullptr; }));
    EXPECT_EQ(sheet, FindWizard());

    PropSheet_PressButton(sheet, PSBTN_NEXT);
    HWND products = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        products = PropSheet_GetCurrentPageHwnd(sheet);
        return products != licence && GetDlgItem(products, 105) != nullptr;
    }));
    ASSERT_TRUE(WaitFor([&] { return Text(GetDlgItem(sheet, WIZARD_FINISH)) == "Install"; }));
    const struct
    {
        int nCheck;
        const char* text;
        bool bOffered;
    } offers[] = {
        {101, "Tessaro Sound Editor", true},
        {103, "Brennar CD Recorder", false},
        {105, "Morvex Audio File Converter", true},
    };
    for (const auto& offer : offers)
    {
        HWND box = GetDlgItem(products, offer.nCheck);
        EXPECT_EQ(offer.text, Text(box));
        EXPECT_EQ(offer.bOffered, IsWindowEnabled(box) != 0) << offer.text;
        EXPECT_EQ(offer.bOffered, IsWindowEnabled(GetDlgItem(products, offer.nCheck + 1)) != 0) << offer.text;
        EXPECT_EQ(BST_UNCHECKED, SendMessageA(box, BM_GETCHECK, 0, 0)) << offer.text;
    }
    PropSheet_PressButton(sheet, PSBTN_FINISH);
    ASSERT_EQ(0u, ExitCodeAfter(setup));
    CloseHandle(setup.hProcess);
    ASSERT_TRUE(InstalledProgramShowsItsWindow());

    // The files, byte for byte.
    const std::string folder = InstallFolder();
    std::vector<unsigned char> program = FileBytes(BuiltProgram());
    ASSERT_FALSE(program.empty());
    std::vector<unsigned char> expected = program;
    expected.insert(expected.end(), {0, 0, 0, 0});
    EXPECT_EQ(expected, FileBytes(folder + "\\corvane.exe"));
    expected = program;
    expected.insert(expected.end(), {0x0F, 0x0F, 0xF0, 0xF0});
    EXPECT_EQ(expected, FileBytes(folder + "\\uninst.exe"));
    const std::vector<unsigned char> help = PayloadFiles(FileBytes(BuiltSetupFile())).at(1);
    EXPECT_EQ(!help.empty(), FileExists(folder + "\\corvane.hlp"));
    EXPECT_EQ(help, FileBytes(folder + "\\corvane.hlp"));
    EXPECT_EQ(FileBytes(BuiltEncoder()), FileBytes(ComponentFile()));
    EXPECT_FALSE(FileExists(folder + "\\mp3enc.exe")) << "the encoder stays in the install folder";
    EXPECT_TRUE(FileExists(folder + "\\Output"));

    // The shortcuts, read back through the shell's link object.
    EXPECT_TRUE(SamePath(folder + "\\corvane.exe", ShortcutTarget(StartMenuGroup() + "\\Corvane.lnk")));
    EXPECT_TRUE(SamePath(folder + "\\corvane.hlp", ShortcutTarget(StartMenuGroup() + "\\Corvane Help.lnk")));
    EXPECT_TRUE(SamePath(folder + "\\corvane.exe", ShortcutTarget(DesktopShortcut())));

    // The registry.
    EXPECT_EQ("Corvane Uninstall", GetValue(UNINSTALL_ENTRY, "DisplayName"));
    EXPECT_EQ(folder + "\\uninst.exe", GetValue(UNINSTALL_ENTRY, "UninstallString"));
    EXPECT_EQ(ComponentFile(), GetValue("Software\\Talmarin\\Components\\mp3el", "Path"));
    EXPECT_EQ("\"" + folder + "\\corvane.exe\" \"%s\"", GetValue("Software\\Talmarin\\Corvane\\Settings", "ExtractCD"));
    EXPECT_EQ(folder, GetValue("Software\\Talmarin\\Corvane\\Folders", "ProgramFiles"));
    EXPECT_EQ(folder, GetValue("Software\\Talmarin\\Corvane\\Folders", "DataFiles"));
    EXPECT_EQ(folder + "\\Output", GetValue("Software\\Talmarin\\Corvane\\Folders", "Output"));
}

TEST_F(InstallTest, ExitSetupLeavesWithoutInstalling)
{
    Process setup = Start(BuiltSetupFile());
    ASSERT_NE(nullptr, setup.hProcess);
    HWND sheet = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (sheet = FindWizard()) != nullptr; }, WINDOW_WAIT_MS));
    PropSheet_PressButton(sheet, PSBTN_CANCEL);
    HWND question = WaitForDialog("Exit Setup");
    ASSERT_NE(nullptr, question);
    Click(question, IDOK);
    EXPECT_EQ(0u, ExitCodeAfter(setup));
    CloseHandle(setup.hProcess);
    EXPECT_FALSE(FileExists(InstallFolder() + "\\corvane.exe"));
    EXPECT_FALSE(FileExists(InstallFolder() + "\\Output"));
    EXPECT_EQ("", GetValue(UNINSTALL_ENTRY, "DisplayName"));
    EXPECT_EQ(nullptr, MainWindow());
    // Nothing of an install that never happened: not its folders, not where
    // it would have put them.
    EXPECT_FALSE(FileExists(InstallFolder()));
    EXPECT_FALSE(FileExists(MakerFolder()));
    for (const char* name : {"ProgramFiles", "DataFiles", "Output"})
        EXPECT_EQ("", GetValue("Software\\Talmarin\\Corvane\\Folders", name)) << name;
}

TEST_F(InstallTest, ASecondInstallKeepsTheFirstUninstallEntry)
{
    SetValue(UNINSTALL_ENTRY, "DisplayName", "Corvane (first install)");
    SetValue(UNINSTALL_ENTRY, "UninstallString", "C:\\first\\uninst.exe");
    InstallThroughWizard();
    EXPECT_EQ("Corvane (first install)", GetValue(UNINSTALL_ENTRY, "DisplayName"));
    EXPECT_EQ("C:\\first\\uninst.exe", GetValue(UNINSTALL_ENTRY, "UninstallString"));
    EXPECT_TRUE(FileExists(InstallFolder() + "\\corvane.exe"));
}

TEST_F(InstallTest, WithoutAProgramsFolderOnlyTheDesktopShortcutIsMade)
{
    const std::string group = StartMenuGroup();
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, SHELL_FOLDERS, 0, KEY_SET_VALUE, &hKey));
    RegDeleteValueA(hKey, "Common Programs");
    RegCloseKey(hKey);
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SHELL_FOLDERS, 0, KEY_SET_VALUE, &hKey) == ERROR_SUCCESS)
    {
        RegDeleteValueA(hKey, "Programs");
        RegCloseKey(hKey);
    }
    InstallThroughWizard();
    EXPECT_FALSE(FileExists(group));
    EXPECT_TRUE(SamePath(InstallFolder() + "\\corvane.exe", ShortcutTarget(DesktopShortcut())));
}

// The WAV files in `folder`, by name, each with its bytes.
std::vector<std::pair<std::string, std::vector<unsigned char>>> WavFiles(const std::string& folder)
{
    std::vector<std::pair<std::string, std::vector<unsigned char>>> files;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*.wav").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do
        files.emplace_back(found.cFileName, FileBytes(folder + "\\" + found.cFileName));
    while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(files.begin(), files.end());
    return files;
}

// The bytes of a WAV file's data chunk; empty when it has none.
std::vector<unsigned char> WavData(const std::vector<unsigned char>& wav)
{
    for (size_t at = 12; at + 8 <= wav.size();)
    {
        const size_t size = wav[at + 4] | wav[at + 5] << 8 | wav[at + 6] << 16 | static_cast<size_t>(wav[at + 7]) << 24;
        if (std::equal(wav.begin() + at, wav.begin() + at + 4, "data") && at + 8 + size <= wav.size())
            return std::vector<unsigned char>(wav.begin() + at + 8, wav.begin() + at + 8 + size);
        at += 8 + size + (size & 1);
    }
    return {};
}

// The installed program reads the disc "three-tracks" from the virtual drive,
// as on Windows 98 with the drive's ASPI manager in the system folder, and
// asks a disc database where nobody answers.
void PutDiscIntoTheInstalledProgramsDrive()
{
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof(system));
    ASSERT_TRUE(CopyFileA((TestProgramFolder() + "\\WNASPI32.dll").c_str(),
                          (std::string(system) + "\\wnaspi32.dll").c_str(), FALSE));
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\corvane.exe", 0, nullptr,
                                             0, KEY_WRITE, nullptr, &hKey, nullptr));
    RegSetValueExA(hKey, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6);
    RegCloseKey(hKey);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\corvane.exe\\DllOverrides",
                                             0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr));
    RegSetValueExA(hKey, "wnaspi32", 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7);
    RegCloseKey(hKey);

    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    const std::string config = std::string(temp) + "corvane-install-vdrive.txt";
    const std::string line = "0 0 0 " + DiscCue("three-tracks") + "\n";
    ASSERT_TRUE(WriteBytes(config, std::vector<unsigned char>(line.begin(), line.end())));
    SetEnvironmentVariableA("VDRIVE_CONFIG", config.c_str());
    SetValue("Software\\Talmarin\\Corvane\\Settings", "CDDBServer", "127.0.0.1:1");
}

// The box of the uninstaller's copy with `text`, once it shows.
HWND WaitForUninstallBox(const std::string& text)
{
    HWND found = nullptr;
    WaitFor(
        [&] {
            found = FindDialog("Uninstall Corvane");
            return found && Text(GetDlgItem(found, 0xFFFF)) == text;
        },
        WINDOW_WAIT_MS);
    return found && Text(GetDlgItem(found, 0xFFFF)) == text ? found : nullptr;
}

TEST_F(InstallTest, UninstallingWhileTheProgramRunsClosesItWhenIdleAndOtherwiseAsksToCloseIt)
{
    InstallThroughWizard(false);
    ASSERT_TRUE(InstalledProgramShowsItsWindow());
    HWND window = MainWindow();
    struct Case
    {
        const char* name;
        bool bBusy;  // a box of the program's is open, which the window waits on
    };
    for (const Case& c : {Case{"busy", true}, Case{"idle", false}})
    {
        SCOPED_TRACE(c.name);
        if (c.bBusy)
        {
            PostMessageA(window, WM_COMMAND, 6015, 0);  // CM_ABOUT
            ASSERT_TRUE(WaitFor([&] { return !IsWindowEnabled(window); }, WINDOW_WAIT_MS));
        }
        Process first = Start(InstallFolder() + "\\uninst.exe");
        ASSERT_NE(nullptr, first.hProcess);
        ASSERT_EQ(0u, ExitCodeAfter(first));
        CloseHandle(first.hProcess);
        HWND question = WaitForUninstallBox("Are you sure you want to remove Corvane from this computer?");
        ASSERT_NE(nullptr, question);
        DWORD asking = 0;
        GetWindowThreadProcessId(question, &asking);
        HANDLE second = OpenProcess(SYNCHRONIZE, FALSE, asking);
        Click(question, IDYES);
        if (c.bBusy)
        {
            HWND running = WaitForUninstallBox("Corvane is running. Please close Corvane and try again.");
            ASSERT_NE(nullptr, running);
            Click(running, IDOK);
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second, WINDOW_WAIT_MS));
            // Nothing is removed while the program runs.
            for (const char* name : {"corvane.exe", "uninst.exe"})
                EXPECT_TRUE(FileExists(InstallFolder() + "\\" + name)) << name;
            EXPECT_TRUE(FileExists(DesktopShortcut()));
            EXPECT_EQ("Corvane Uninstall", GetValue(UNINSTALL_ENTRY, "DisplayName"));
            EXPECT_TRUE(IsWindow(window));
            // The user closes the program's box; the window is idle again.
            HWND about = nullptr;
            ASSERT_TRUE(WaitFor([&] { return (about = GetLastActivePopup(window)) != window; }, WINDOW_WAIT_MS));
            PostMessageA(about, WM_CLOSE, 0, 0);
            ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(window) != 0; }, WINDOW_WAIT_MS));
        }
        else
        {
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second, WINDOW_WAIT_MS));
            EXPECT_FALSE(IsWindow(window)) << "the idle program did not close itself";
            for (const char* name : {"corvane.exe", "uninst.exe", "corvane.hlp"})
                EXPECT_FALSE(FileExists(InstallFolder() + "\\" + name)) << name;
            HKEY hKey;
            EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_ENTRY, 0, KEY_READ, &hKey));
        }
        if (second)
            CloseHandle(second);
    }
}

TEST_F(InstallTest, TheUninstallerAsksThenRemovesWhatTheInstallerPutThere)
{
    PutDiscIntoTheInstalledProgramsDrive();
    InstallThroughWizard(false);
    // The user rips the disc into the output folder with the installed
    // program, driven as the run command drives it.
    const std::string output = InstallFolder() + "\\Output";
    Process remote = Start(TestProgramFolder() + "\\..\\tools\\remote\\corvane-remote.exe",
                           "wait-ready 60 rip \"" + output + "\" close");
    ASSERT_NE(nullptr, remote.hProcess);
    ASSERT_EQ(0u, ExitCodeAfter(remote, 120000));
    CloseHandle(remote.hProcess);
    const auto ripped = WavFiles(output);
    ASSERT_EQ(3u, ripped.size());
    // Each file's data chunk holds its track, bit for bit.
    long sector = 0;
    for (const auto& [name, bytes] : ripped)
    {
        const std::vector<unsigned char> data = WavData(bytes);
        const int nSectors = static_cast<int>(data.size() / 2352);
        EXPECT_GT(nSectors, 0) << name;
        EXPECT_EQ(ImageSectors("three-tracks", sector, nSectors), data) << name;
        sector += nSectors;
    }
    // And a file of the program's own there.
    ASSERT_TRUE(WriteBytes(InstallFolder() + "\\WavCodec.wff", std::vector<unsigned char>(1024, 1)));
    const std::string group = StartMenuGroup();

    Uninstall(IDNO);
    EXPECT_TRUE(FileExists(InstallFolder() + "\\corvane.exe"));
    EXPECT_TRUE(FileExists(InstallFolder() + "\\uninst.exe"));
    EXPECT_TRUE(FileExists(DesktopShortcut()));
    EXPECT_TRUE(FileExists(group + "\\Corvane.lnk"));
    EXPECT_EQ("Corvane Uninstall", GetValue(UNINSTALL_ENTRY, "DisplayName"));
    EXPECT_NE("", GetValue("Software\\Talmarin\\Corvane\\Settings", "ExtractCD"));

    Uninstall(IDYES);
    for (const char* name : {"corvane.exe", "uninst.exe", "corvane.hlp", "WavCodec.wff"})
        EXPECT_FALSE(FileExists(InstallFolder() + "\\" + name)) << name;
    EXPECT_FALSE(FileExists(DesktopShortcut()));
    EXPECT_FALSE(FileExists(group + "\\Corvane.lnk"));
    EXPECT_FALSE(FileExists(group + "\\Corvane Help.lnk"));
    EXPECT_FALSE(FileExists(group));
    HKEY hKey;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_ENTRY, 0, KEY_READ, &hKey));
    EXPECT_EQ("", GetValue("Software\\Talmarin\\Corvane\\Settings", "ExtractCD"));
    // What stays: the user's files, the folders that hold them, the "Folders"
    // values and the encoder component.
    EXPECT_EQ(ripped, WavFiles(output));
    EXPECT_EQ(InstallFolder(), GetValue("Software\\Talmarin\\Corvane\\Folders", "ProgramFiles"));
    EXPECT_EQ(InstallFolder(), GetValue("Software\\Talmarin\\Corvane\\Folders", "DataFiles"));
    EXPECT_EQ(InstallFolder() + "\\Output", GetValue("Software\\Talmarin\\Corvane\\Folders", "Output"));
    EXPECT_EQ(FileBytes(BuiltEncoder()), FileBytes(ComponentFile()));
    EXPECT_EQ(ComponentFile(), GetValue("Software\\Talmarin\\Components\\mp3el", "Path"));
}

TEST_F(InstallTest, TheUninstallerLeavesAFolderOutsideTheMakersFolder)
{
    InstallThroughWizard();
    // A damaged "Folders" value naming a folder of someone else's.
    const std::string elsewhere = "C:\\Elsewhere";
    ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(elsewhere + "\\corvane.exe", {1, 2, 3}));
    SetValue("Software\\Talmarin\\Corvane\\Folders", "Output", elsewhere.c_str());
    Uninstall(IDYES);
    EXPECT_EQ(std::vector<unsigned char>({1, 2, 3}), FileBytes(elsewhere + "\\corvane.exe"));
    EXPECT_FALSE(FileExists(InstallFolder() + "\\corvane.exe"));
}

TEST_F(InstallTest, WithoutUserFilesTheUninstallLeavesOnlyTheComponent)
{
    InstallThroughWizard();
    Uninstall(IDYES);
    EXPECT_FALSE(FileExists(InstallFolder()));
    EXPECT_TRUE(FileExists(ComponentFile()));
    // The copy in the temporary folder is removed at the next restart.
    char pending[4096] = "";
    DWORD size = sizeof(pending) - 2;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                                           0, KEY_READ, &key));
    RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(pending), &size);
    RegCloseKey(key);
    std::string names;  // the list's strings, one a line
    for (DWORD i = 0; i < size; ++i)
        names += pending[i] ? static_cast<char>(tolower(static_cast<unsigned char>(pending[i]))) : '\n';
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    std::string copy = std::string(temp) + "uninst.exe";
    for (char& c : copy)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    EXPECT_NE(std::string::npos, names.find(copy + "\n")) << names;
}

} // namespace

namespace {

TEST_F(InstallTest, TickedRelatedProgramsAreFetchedAndSetUpAndAFailingOneIsReported)
{
    // The server holds Tessaro's setup, which registers Tessaro's probe value,
    // and no setup of Morvex.
    LocalFtpServer server("related-programs", {{"tssetup.exe", FakeTessaroPath()}});
    ASSERT_NE(0, server.port);
    SetValue("Software\\Talmarin\\Corvane\\Settings", "ComponentServers", server.Server().c_str());

    Process setup = Start(BuiltSetupFile());
    ASSERT_NE(nullptr, setup.hProcess);
    HWND sheet = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (sheet = FindWizard()) != nullptr; }, WINDOW_WAIT_MS));
    // Tessaro and Morvex.
    ASSERT_NO_FATAL_FAILURE(WalkWizard(sheet, {IDC_RELATED_FIRST, IDC_RELATED_FIRST + 4}));

    HWND failure = WaitForDialog("Error");
    ASSERT_NE(nullptr, failure);
    EXPECT_EQ("Cannot download and install Morvex Audio File Converter", Text(GetDlgItem(failure, 0xFFFF)));
    EXPECT_EQ(nullptr, GetWindow(failure, GW_OWNER));
    EXPECT_NE("", GetValue("Software\\Talmarin\\Tessaro\\Settings", "RunEdit")) << "Tessaro was not set up";
    Click(failure, IDOK);

    // The install goes on.
    ASSERT_EQ(0u, ExitCodeAfter(setup));
    CloseHandle(setup.hProcess);
    ASSERT_TRUE(InstalledProgramShowsItsWindow());
    EXPECT_TRUE(FileExists(InstallFolder() + "\\corvane.exe"));
    const std::vector<std::string> log = server.Log();
    EXPECT_NE(log.end(), std::find(log.begin(), log.end(), "RETR tssetup.exe"));
}

} // namespace

namespace {

TEST_F(InstallTest, WithoutAnInstallFolderTheSetupAsksForTheAdministrator)
{
    // A program-files folder on a drive the machine does not have: start-up
    // cannot make the install folder, as without the rights to.
    SetValue(CURRENT_VERSION, "ProgramFilesDir", "Q:\\Program Files");
    Process setup = Start(BuiltSetupFile());
    ASSERT_NE(nullptr, setup.hProcess);
    HWND box = WaitForDialog("Install Error");
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("To install software you must be logged on as this computer's Administrator. If you are not able to do "
              "this, ask your computer Administrator to log in and run the setup file again.",
              Text(GetDlgItem(box, 0xFFFF)));
    EXPECT_EQ(nullptr, FindWizard());
    Click(box, IDOK);
    EXPECT_EQ(0u, ExitCodeAfter(setup));
    CloseHandle(setup.hProcess);
    EXPECT_EQ(nullptr, FindWizard());
}

} // namespace
