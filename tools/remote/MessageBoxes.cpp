#include "MessageBoxes.h"

#include "resources/resource.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// How a careful user answers each message box of the program. The first rule
// whose caption is the box's and whose text starts the box's text applies;
// an empty text start matches any text.
struct BoxRule
{
    const char* szCaption;
    const char* szTextStart;
    int nButton;
    bool bFails;
};

const BoxRule BOX_RULES[] = {
    // The disc is not in the database: its tracks keep their plain names.
    {"Corvane", "No CDDB match found", IDOK, false},
    // "The folder ... does not exist. Do you want to create it now?"
    {"Corvane", "The folder \"", IDYES, false},
    // Secure mode could not prove every sector of some tracks.
    {"Corvane", "Some tracks could not be copied exactly", IDOK, true},
    // Tracks read cleanly that the AccurateRip database says are wrong.
    {"Corvane", "Some tracks do not match the AccurateRip database", IDOK, true},
    // Detect Read Offset found a correction: it is saved for the drive.
    {"Detect Read Offset", "The read offset correction of", IDYES, false},
    // Not in the database, not reached, no correction matches.
    {"Detect Read Offset", "", IDOK, true},
    {"No Tracks Selected", "", IDOK, true},
    {"Component error", "", IDOK, true},
    {"Error", "", IDOK, true},
    {"Install Error", "", IDOK, true},
    // The uninstaller's question: the run command removes the installation.
    {"Uninstall Corvane", "Are you sure you want to remove Corvane", IDYES, false},
    // "Cannot open the sound device for playback. ..."
    {"Corvane", "Cannot open the sound device", IDOK, true},
};

struct Button
{
    int nId;
    const char* szName;
};

// A box no rule knows gets the first of these it has: the answer that
// changes the least.
const Button CAUTIOUS_BUTTONS[] = {
    {IDCANCEL, "Cancel"}, {IDNO, "No"}, {IDABORT, "Abort"}, {IDOK, "OK"},
    {IDIGNORE, "Ignore"}, {IDRETRY, "Retry"}, {IDYES, "Yes"},
};

const char* ButtonName(int id)
{
    for (const Button& button : CAUTIOUS_BUTTONS)
        if (button.nId == id)
            return button.szName;
    return "?";
}

} // namespace

bool IsDialog(HWND window)
{
    char className[16] = "";
    GetClassNameA(window, className, sizeof(className));
    return !lstrcmpA(className, "#32770");
}

bool IsMessageBox(HWND window)
{
    return IsDialog(window) && GetDlgItem(window, MESSAGE_TEXT_ID);
}

bool IsMatchChoice(HWND window)
{
    char caption[32] = "";
    GetWindowTextA(window, caption, sizeof(caption));
    return IsDialog(window) && !lstrcmpA(caption, "Choose CDDB Match") && GetDlgItem(window, IDC_MATCHES);
}

namespace {

// The program's files: the program, its setup file and its uninstaller.
const char* const PROGRAM_FILES[] = {"corvane.exe", "Corvane-Setup.exe", "uninst.exe"};

} // namespace

bool FindProgramProcess(DWORD processId, const char* name)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    bool bFound = false;
    for (BOOL more = Process32First(snapshot, &entry); more && !bFound; more = Process32Next(snapshot, &entry))
    {
        if (processId && entry.th32ProcessID != processId)
            continue;
        for (const char* file : PROGRAM_FILES)
            bFound |= !lstrcmpiA(entry.szExeFile, file) && (!name || !lstrcmpiA(name, file));
    }
    CloseHandle(snapshot);
    return bFound;
}

namespace {

// The program's message boxes are told by their process, since some have no
// owner (the disc lookup's among them).
bool IsProgramProcess(DWORD processId) { return FindProgramProcess(processId, nullptr); }

BOOL CALLBACK CollectMessageBox(HWND window, LPARAM boxes)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (IsWindowVisible(window) && (IsMessageBox(window) || IsMatchChoice(window)) && IsProgramProcess(processId))
        reinterpret_cast<std::vector<HWND>*>(boxes)->push_back(window);
    return TRUE;
}

// The disc lookup's question when the database lists several discs: the
// first is taken, as the database lists its best guess first.
void ChooseFirstMatch(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_MATCHES);
    // Asked as wide text: the row crosses from the program's process, and
    // Wine hands an ANSI request the wide characters.
    wchar_t wide[1024] = L"";
    char first[1024] = "";
    if (SendMessageW(list, LB_GETTEXTLEN, 0, 0) < static_cast<LRESULT>(sizeof(wide) / sizeof(wide[0])))
        SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(wide));
    WideCharToMultiByte(CP_ACP, 0, wide, -1, first, sizeof(first), nullptr, nullptr);
    printf("corvane-remote: the database lists %d discs; chose the first, \"%s\"\n",
           static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)), first);
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

// Boxes answered and not yet gone: an answered box lingers a moment.
std::vector<HWND> answeredBoxes;

} // namespace

Answers AnswerMessageBoxes()
{
    answeredBoxes.erase(std::remove_if(answeredBoxes.begin(), answeredBoxes.end(),
                                       [](HWND box) { return !IsWindow(box); }),
                        answeredBoxes.end());
    std::vector<HWND> boxes;
    EnumWindows(CollectMessageBox, reinterpret_cast<LPARAM>(&boxes));
    Answers answers = {0, false};
    for (HWND box : boxes)
    {
        if (std::find(answeredBoxes.begin(), answeredBoxes.end(), box) != answeredBoxes.end())
            continue;
        if (IsMatchChoice(box))
        {
            ChooseFirstMatch(box);
            answeredBoxes.push_back(box);
            ++answers.nAnswered;
            continue;
        }
        char caption[256] = "";
        char text[2048] = "";
        GetWindowTextA(box, caption, sizeof(caption));
        GetWindowTextA(GetDlgItem(box, MESSAGE_TEXT_ID), text, sizeof(text));
        printf("corvane-remote: the program says \"%s\": %s\n", caption, text);

        const BoxRule* rule = nullptr;
        for (const BoxRule& r : BOX_RULES)
            if (!rule && !lstrcmpA(caption, r.szCaption) && !strncmp(text, r.szTextStart, strlen(r.szTextStart)))
                rule = &r;
        int button = 0;
        if (rule)
            button = rule->nButton;
        else
            for (const Button& b : CAUTIOUS_BUTTONS)
                if (!button && GetDlgItem(box, b.nId))
                    button = b.nId;

        if (button)
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
        else
            PostMessageA(box, WM_CLOSE, 0, 0);
        const char* answer = button ? ButtonName(button) : "closed";
        if (!rule)
            fprintf(stderr, "corvane-remote: no rule for this message; answered %s, and the command fails\n", answer);
        else if (rule->bFails)
            fprintf(stderr, "corvane-remote: answered %s; the program reports a failure\n", answer);
        else
            printf("corvane-remote: answered %s\n", answer);
        answeredBoxes.push_back(box);
        ++answers.nAnswered;
        answers.bFailure |= !rule || rule->bFails;
    }
    return answers;
}
