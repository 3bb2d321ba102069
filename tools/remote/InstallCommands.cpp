// The setup file's and the uninstaller's commands, and the listing of what
// the installer made.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "Commands.h"
#include "MessageBoxes.h"
#include "ShortcutTarget.h"
#include "resources/resource.h"

namespace {

// The wizard's own buttons.
const int WIZARD_NEXT = 0x3024;
const int WIZARD_FINISH = 0x3025;

BOOL CALLBACK FindWizardSheet(HWND window, LPARAM found)
{
    if (IsDialog(window) && IsWindowVisible(window) && PropSheet_GetCurrentPageHwnd(window))
    {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND WizardSheet()
{
    HWND found = nullptr;
    EnumWindows(FindWizardSheet, reinterpret_cast<LPARAM>(&found));
    return found;
}

bool ButtonEnabled(HWND sheet, int id)
{
    HWND button = GetDlgItem(sheet, id);
    return button && IsWindowVisible(button) && IsWindowEnabled(button);
}

std::string ControlText(HWND dialog, int id)
{
    char text[256] = "";
    GetWindowTextA(GetDlgItem(dialog, id), text, sizeof(text));
    return text;
}

} // namespace

// What a user does with the install wizard: agree, Next, tick nothing, Install.
bool Install(int seconds)
{
    HWND sheet = nullptr;
    if (!WaitUntil(seconds, "no install wizard", [&] { return (sheet = WizardSheet()) != nullptr; }))
        return false;
    HWND licence = PropSheet_GetCurrentPageHwnd(sheet);
    if (!WaitUntil(seconds, "no licence page", [&] { return GetDlgItem(licence, IDC_LICENCE_AGREE) != nullptr; }))
        return false;
    printf("corvane-remote: the install wizard shows its licence; choosing \"%s\"\n",
           ControlText(licence, IDC_LICENCE_AGREE).c_str());
    SendMessageA(GetDlgItem(licence, IDC_LICENCE_AGREE), BM_CLICK, 0, 0);
    if (!WaitUntil(seconds, "Next stays disabled", [&] { return ButtonEnabled(sheet, WIZARD_NEXT); }))
        return false;
    PropSheet_PressButton(sheet, PSBTN_NEXT);
    HWND products = nullptr;
    if (!WaitUntil(seconds, "no page of related programs", [&] {
            products = PropSheet_GetCurrentPageHwnd(sheet);
            return products != licence && GetDlgItem(products, IDC_RELATED_FIRST + 4) && ButtonEnabled(sheet, WIZARD_FINISH);
        }))
        return false;
    for (int id = IDC_RELATED_FIRST; id <= IDC_RELATED_FIRST + 4; id += 2)
        printf("corvane-remote: related program \"%s\" (%s), left unticked\n", ControlText(products, id).c_str(),
               IsWindowEnabled(GetDlgItem(products, id)) ? "offered" : "installed already");
    printf("corvane-remote: pressing \"%s\"\n", ControlText(sheet, WIZARD_FINISH).c_str());
    PropSheet_PressButton(sheet, PSBTN_FINISH);
    return WaitUntil(seconds, "the install wizard did not close", [&] { return !IsWindow(sheet); });
}

// Answers the uninstaller's question by the rules and waits for both of its
// stages to end.
bool Uninstall(int seconds)
{
    bool bAsked = false;
    return WaitUntil(seconds, "the uninstaller did not ask or did not end", [&] {
        bAsked |= FindWindowA("#32770", "Uninstall Corvane") != nullptr;
        return bAsked && !FindProgramProcess(0, "uninst.exe");
    });
}

namespace {

std::string RegistryText(HKEY root, const char* key, const char* name)
{
    char text[1024] = "";
    DWORD size = sizeof(text) - 1;
    HKEY hKey;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return "";
    const bool bRead = RegQueryValueExA(hKey, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size)
                       == ERROR_SUCCESS;
    RegCloseKey(hKey);
    return bRead ? text : "";
}

void ListFiles(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
    {
        const std::string path = folder + "\\" + found.cFileName;
        if (found.cFileName[0] == '.')
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        {
            printf("  %s\\\n", path.c_str());
            ListFiles(path);
        }
        else
            printf("  %s  %lu bytes\n", path.c_str(), static_cast<unsigned long>(found.nFileSizeLow));
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void ListShortcut(const std::string& linkPath)
{
    if (GetFileAttributesA(linkPath.c_str()) == INVALID_FILE_ATTRIBUTES)
        printf("  %s  (none)\n", linkPath.c_str());
    else
        printf("  %s -> %s\n", linkPath.c_str(), ShortcutTarget(linkPath).c_str());
}

// The machine's shell folder `common`, else the user's `own`.
std::string ShellFolder(const char* common, const char* own)
{
    const char* const key = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    std::string folder = RegistryText(HKEY_LOCAL_MACHINE, key, common);
    return folder.empty() ? RegistryText(HKEY_CURRENT_USER, key, own) : folder;
}

} // namespace

// What the installer makes, as it stands now.
bool ListInstall()
{
    std::string programFiles =
        RegistryText(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
    if (programFiles.empty())
        programFiles = "C:\\Program Files";
    const std::string maker = programFiles + "\\Talmarin";
    printf("Files below %s:\n", maker.c_str());
    ListFiles(maker);

    printf("Shortcuts:\n");
    CoInitialize(nullptr);
    const std::string group = ShellFolder("Common Programs", "Programs") + "\\Corvane";
    ListShortcut(group + "\\Corvane.lnk");
    ListShortcut(group + "\\Corvane Help.lnk");
    ListShortcut(ShellFolder("Common Desktop", "Desktop") + "\\Corvane.lnk");
    CoUninitialize();

    printf("Registry values (HKEY_LOCAL_MACHINE):\n");
    const struct
    {
        const char* key;
        const char* name;
    } values[] = {
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvane", "DisplayName"},
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvane", "UninstallString"},
        {"Software\\Talmarin\\Components\\mp3el", "Path"},
        {"Software\\Talmarin\\Corvane\\Settings", "ExtractCD"},
        {"Software\\Talmarin\\Corvane\\Folders", "ProgramFiles"},
        {"Software\\Talmarin\\Corvane\\Folders", "DataFiles"},
        {"Software\\Talmarin\\Corvane\\Folders", "Output"},
    };
    for (const auto& value : values)
    {
        const std::string text = RegistryText(HKEY_LOCAL_MACHINE, value.key, value.name);
        printf("  %s\\%s = %s\n", value.key, value.name, text.empty() ? "(not set)" : text.c_str());
    }
    return true;
}
