// Drives a running Corvane from outside, through window messages (and F1,
// which a program takes only from the keyboard, as a key of the system's
// input), as a user's actions would: for the run command on machines without
// a screen.
//   corvane-remote COMMAND [ARG] [COMMAND [ARG]]...
//     wait-ready SECONDS   wait for the main window, idle, with its tracks listed,
//                          print when it was found (Unix time) and click the
//                          splash away
//     shot FILE.png        save a picture of the main window
//     help FILE.png        press F1 in the main window, wait for the help
//                          viewer, save a picture of it and close it
//     rip FOLDER           set the output folder, check every track, press Rip
//                          and wait until the last track is written
//     edit ROW             select row ROW (from 1), press Edit and wait until
//                          the program asks the user to exit the sound editor
//     play N               select track N (from 1), press Play, check that Stop
//                          is enabled, and wait until it is greyed again
//     close                cancel a running job, close the main window and
//                          wait for it to go
//     install SECONDS      go through the setup file's wizard: agree, Next,
//                          tick nothing, Install; wait for the wizard to go
//     uninstall SECONDS    wait for the uninstaller's question, answer Yes, and
//                          wait for every uninstaller to end
//     list-install         print the files below the maker's folder with their
//                          sizes, the shortcuts with their targets and the
//                          registry values the installer writes
// While a command waits, every message box the program shows is printed and
// answered by the rules of BOX_RULES; one that reports a failure, or one no
// rule knows, fails the command once it is answered.
// Exit code 0 when every command succeeded; the first failure is printed.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shot/HelpViewer.h"
#include "shot/WindowShot.h"

namespace {

const int TRACK_LIST_ID = 102;
const int OUTPUT_FOLDER_ID = 103;
const WPARAM CM_RIP = 1001;
const WPARAM CM_EDIT = 1005;
const WPARAM CM_SELECT_ALL = 2001;
const WPARAM CM_PLAY = 1008;
const WPARAM CM_STOP = 1009;
const int MESSAGE_TEXT_ID = 0xFFFF;
const DWORD CLOSE_MS = 10000;
const char* const HELP_TITLE = "Corvane Help";
const DWORD HELP_MS = 60000;
const DWORD READY_POLL_MS = 20;

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

bool IsDialog(HWND window)
{
    char className[16] = "";
    GetClassNameA(window, className, sizeof(className));
    return !lstrcmpA(className, "#32770");
}

// Only a message box has the text control; the program's other dialogs
// (the main window, job progress windows) have none.
bool IsMessageBox(HWND window)
{
    return IsDialog(window) && GetDlgItem(window, MESSAGE_TEXT_ID);
}

// The program's files: the program, its setup file and its uninstaller.
const char* const PROGRAM_FILES[] = {"corvane.exe", "Corvane-Setup.exe", "uninst.exe"};

// Whether a process runs one of the program's files: `processId`, or any
// process when it is 0, of the file `name` only when one is given.
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

// The program's message boxes are told by their process, since some have no
// owner (the disc lookup's among them).
bool IsProgramProcess(DWORD processId) { return FindProgramProcess(processId, nullptr); }

BOOL CALLBACK CollectMessageBox(HWND window, LPARAM boxes)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (IsWindowVisible(window) && IsMessageBox(window) && IsProgramProcess(processId))
        reinterpret_cast<std::vector<HWND>*>(boxes)->push_back(window);
    return TRUE;
}

// Boxes answered and not yet gone: an answered box lingers a moment.
std::vector<HWND> answeredBoxes;

struct Answers
{
    int nAnswered;
    bool bFailure;
};

// Prints and answers every message box the program shows.
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

BOOL CALLBACK FindMainWindow(HWND window, LPARAM found)
{
    char caption[16] = "";
    GetWindowTextA(window, caption, sizeof(caption));
    if (IsDialog(window) && !lstrcmpA(caption, "Corvane") && GetDlgItem(window, TRACK_LIST_ID))
    {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// The main window; some message boxes share its class and caption.
HWND MainWindow()
{
    HWND found = nullptr;
    EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The system clock in seconds since 1970, as a shell's date gives it.
double UnixSeconds()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const ULONGLONG UNIX_EPOCH_TICKS = 116444736000000000ULL;  // 1970-01-01 in 100 ns units since 1601
    return static_cast<double>(ticks - UNIX_EPOCH_TICKS) / 1e7;
}

// Ready: the window is shown, takes input (no job is running) and lists tracks.
bool IsReady(HWND window)
{
    return window && IsWindowVisible(window) && IsWindowEnabled(window)
           && SendMessageA(GetDlgItem(window, TRACK_LIST_ID), LVM_GETITEMCOUNT, 0, 0) > 0;
}

bool WaitReady(int seconds)
{
    // Tells the benchmark that the waiting has begun: the program it then
    // starts does not share the machine with this one's start.
    printf("corvane-remote: waiting for the main window\n");
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(seconds) * 1000)
    {
        if (AnswerMessageBoxes().bFailure)
            return false;
        HWND window = MainWindow();
        if (IsReady(window))
        {
            const double readyAt = UnixSeconds();
            // A user clicks the start-up splash away to see the window under it.
            while (HWND splash = FindWindowA("LAW", nullptr))
                SendMessageA(splash, WM_LBUTTONDOWN, MK_LBUTTON, 0);
            printf("corvane-remote: the main window lists %d tracks\n",
                   static_cast<int>(SendMessageA(GetDlgItem(window, TRACK_LIST_ID), LVM_GETITEMCOUNT, 0, 0)));
            printf("corvane-remote: ready at %.3f s Unix time\n", readyAt);
            return true;
        }
        // Often enough for the benchmark to time the program's start-up.
        Sleep(READY_POLL_MS);
    }
    fprintf(stderr, "corvane-remote: no main window with tracks after %d s\n", seconds);
    return false;
}

bool Shot(const char* path)
{
    HWND window = MainWindow();
    if (!window || !SaveWindowPng(window, path))
    {
        fprintf(stderr, "corvane-remote: could not save %s\n", path);
        return false;
    }
    printf("corvane-remote: saved %s\n", path);
    return true;
}

// What a user does to read the help: F1 in the main window; the viewer
// shows the help's contents.
bool Help(const char* path)
{
    HWND window = MainWindow();
    if (!window || !PressKey(window, VK_F1))
    {
        fprintf(stderr, "corvane-remote: could not press F1 in the main window\n");
        return false;
    }
    HWND viewer = nullptr;
    for (const DWORD start = GetTickCount(); !viewer && GetTickCount() - start < HELP_MS; Sleep(100))
    {
        if (AnswerMessageBoxes().bFailure)
            return false;
        viewer = FindHelpViewer(HELP_TITLE);
    }
    if (!viewer)
    {
        fprintf(stderr, "corvane-remote: no help viewer showing \"%s\" after F1\n", HELP_TITLE);
        return false;
    }
    const bool bDrawn = WaitHelpViewerDrawn(viewer, HELP_MS);
    // The contents page starts with the help's title.
    const std::vector<std::string> lines = HelpViewerPageLines(viewer);
    const bool bContents = !lines.empty() && lines[0] == HELP_TITLE;
    printf("corvane-remote: the help viewer shows \"%s\"\n", lines.empty() ? "" : lines[0].c_str());
    if (!bContents)
        fprintf(stderr, "corvane-remote: the help viewer does not show the contents\n");
    const bool bSaved = bDrawn && SaveWindowPng(viewer, path);
    if (bSaved)
        printf("corvane-remote: saved %s\n", path);
    else
        fprintf(stderr, "corvane-remote: could not save %s\n", path);
    PostMessageA(viewer, WM_CLOSE, 0, 0);
    for (const DWORD start = GetTickCount(); IsWindow(viewer) && GetTickCount() - start < CLOSE_MS;)
        Sleep(100);
    if (IsWindow(viewer))
    {
        fprintf(stderr, "corvane-remote: the help viewer did not close\n");
        return false;
    }
    return bContents && bSaved;
}

struct OwnedSearch
{
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindJobWindow(HWND window, LPARAM search)
{
    auto* s = reinterpret_cast<OwnedSearch*>(search);
    if (GetWindow(window, GW_OWNER) == s->owner && IsWindowVisible(window) && IsDialog(window)
        && !IsMessageBox(window))
    {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

// The progress window of a job running under the main window, if any.
HWND JobWindow(HWND owner)
{
    OwnedSearch search = {owner, nullptr};
    EnumWindows(FindJobWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct Press
{
    HWND window;
    WPARAM command;
};

DWORD WINAPI PressCommand(void* press)
{
    const auto* p = static_cast<const Press*>(press);
    SendMessageA(p->window, WM_COMMAND, p->command, 0);
    return 0;
}

// The program handles a command to its end (every track, every question)
// before the message returns, and a short rip comes and goes between two
// looks at its windows: a thread of its own sends it and waits, while the
// message boxes are answered here. False when the window went away or a box
// reported a failure.
bool PressAndAnswer(const Press& press)
{
    HANDLE thread = CreateThread(nullptr, 0, PressCommand, const_cast<Press*>(&press), 0, nullptr);
    if (!thread)
    {
        fprintf(stderr, "corvane-remote: could not start the thread that presses the button\n");
        return false;
    }
    bool bOk = true;
    while (bOk && WaitForSingleObject(thread, 50) == WAIT_TIMEOUT)
    {
        if (!IsWindow(press.window))
        {
            fprintf(stderr, "corvane-remote: the main window went away\n");
            bOk = false;
        }
        else if (AnswerMessageBoxes().bFailure)
            bOk = false;
    }
    // A thread still waiting for the program ends with this program; `press`
    // outlives it, as the program's end ends this one.
    CloseHandle(thread);
    return bOk;
}

bool Rip(const char* folder)
{
    HWND window = MainWindow();
    if (!window)
    {
        fprintf(stderr, "corvane-remote: no main window to rip with\n");
        return false;
    }
    // What a user does: type the folder, Select All from the menu, then Rip.
    SendMessageA(GetDlgItem(window, OUTPUT_FOLDER_ID), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder));
    SendMessageA(window, WM_COMMAND, CM_SELECT_ALL, 0);
    const DWORD start = GetTickCount();
    static Press press;
    press = {window, CM_RIP};
    const bool bOk = PressAndAnswer(press);
    if (bOk)
        printf("corvane-remote: the rip took %.2f s\n", (GetTickCount() - start) / 1000.0);
    return bOk;
}

DWORD WINAPI PressEdit(void* window)
{
    SendMessageA(static_cast<HWND>(window), WM_COMMAND, CM_EDIT, 0);
    return 0;
}

BOOL CALLBACK FindEditorPrompt(HWND control, LPARAM found)
{
    char text[64] = "";
    GetWindowTextA(control, text, sizeof(text));
    if (!lstrcmpA(text, "Please exit Tessaro"))
    {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

// The job window of the Edit command, once it waits for the editor.
bool IsWaitingForEditor(HWND owner)
{
    HWND job = JobWindow(owner);
    bool bFound = false;
    if (job)
        EnumChildWindows(job, FindEditorPrompt, reinterpret_cast<LPARAM>(&bFound));
    return bFound;
}

// Moves to row ROW (from 1) of the track list with the keys, as a user does:
// the first row, then down to it. WHAT names the command in the messages.
HWND SelectRow(HWND window, int row, const char* what)
{
    HWND list = window ? GetDlgItem(window, TRACK_LIST_ID) : nullptr;
    const int nRows = list ? static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
    if (row < 1 || row > nRows)
    {
        fprintf(stderr, "corvane-remote: there is no track %d to %s (%d tracks)\n", row, what, nRows);
        return nullptr;
    }
    SetForegroundWindow(window);
    PostMessageA(list, WM_KEYDOWN, VK_HOME, 1);
    for (int i = 1; i < row; ++i)
        PostMessageA(list, WM_KEYDOWN, VK_DOWN, 1);
    const DWORD start = GetTickCount();
    while (SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) != row - 1)
    {
        if (GetTickCount() - start > 10000)
        {
            fprintf(stderr, "corvane-remote: track %d could not be selected\n", row);
            return nullptr;
        }
        Sleep(50);
    }
    return list;
}

bool Edit(int row)
{
    HWND window = MainWindow();
    if (!SelectRow(window, row, "edit"))
        return false;
    // The program handles Edit to its end (the rip, the editor, until the
    // editor closes) before the message returns: a thread of its own sends it.
    HANDLE edit = CreateThread(nullptr, 0, PressEdit, window, 0, nullptr);
    if (!edit)
    {
        fprintf(stderr, "corvane-remote: could not start the thread that presses Edit\n");
        return false;
    }
    bool bOk = true;
    bool bWaiting = false;
    while (bOk && !bWaiting)
    {
        const bool bEnded = WaitForSingleObject(edit, 50) == WAIT_OBJECT_0;
        if (!IsWindow(window))
        {
            fprintf(stderr, "corvane-remote: the main window went away during Edit\n");
            bOk = false;
        }
        else if (AnswerMessageBoxes().bFailure)
            bOk = false;
        else if (IsWaitingForEditor(window))
            bWaiting = true;
        else if (bEnded)
        {
            fprintf(stderr, "corvane-remote: Edit ended without starting the sound editor\n");
            bOk = false;
        }
    }
    if (bWaiting)
        printf("corvane-remote: the program waits for the sound editor to be closed\n");
    // A thread still waiting for the program ends with this program.
    CloseHandle(edit);
    return bOk;
}

bool StopEnabled(HWND window)
{
    HWND toolBar = FindWindowExA(window, nullptr, TOOLBARCLASSNAMEA, nullptr);
    return SendMessageA(toolBar, TB_ISBUTTONENABLED, CM_STOP, 0) != 0;
}

bool Play(int track)
{
    HWND window = MainWindow();
    const DWORD start = GetTickCount();
    if (!SelectRow(window, track, "play"))
        return false;
    static Press press;
    press = {window, CM_PLAY};
    if (!PressAndAnswer(press))
        return false;
    if (!StopEnabled(window))
    {
        fprintf(stderr, "corvane-remote: Stop is greyed after Play\n");
        return false;
    }
    printf("corvane-remote: track %d plays, Stop is enabled\n", track);
    while (IsWindow(window) && StopEnabled(window))
    {
        if (AnswerMessageBoxes().bFailure)
            return false;
        Sleep(100);
    }
    printf("corvane-remote: Stop is greyed again after %.2f s\n", (GetTickCount() - start) / 1000.0);
    return true;
}

// As a user closes the program: the message boxes answered, a running job
// cancelled, then the main window closed once it takes input.
bool CloseMain()
{
    HWND window = MainWindow();
    bool bFailed = false;
    bool bClosing = false;
    HWND cancelledJob = nullptr;
    const DWORD start = GetTickCount();
    for (;;)
    {
        bFailed |= AnswerMessageBoxes().bFailure;
        if (!window || !IsWindow(window))
            return !bFailed;
        if (GetTickCount() - start >= CLOSE_MS)
        {
            fprintf(stderr, "corvane-remote: the main window did not close\n");
            return false;
        }
        HWND job = JobWindow(window);
        if (job && job != cancelledJob)
        {
            char caption[64] = "";
            GetWindowTextA(job, caption, sizeof(caption));
            printf("corvane-remote: cancelling the running job \"%s\"\n", caption);
            PostMessageA(job, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            cancelledJob = job;
        }
        else if (!job && !bClosing && IsWindowEnabled(window))
        {
            PostMessageA(window, WM_CLOSE, 0, 0);
            bClosing = true;
        }
        Sleep(100);
    }
}


// Waits up to `seconds` for `condition`, answering the program's messages
// meanwhile; false, with `what` printed, when the time runs out or a message
// reports a failure.
template <typename Condition>
bool WaitUntil(int seconds, const char* what, Condition condition)
{
    for (const DWORD start = GetTickCount(); GetTickCount() - start < static_cast<DWORD>(seconds) * 1000; Sleep(100))
    {
        if (AnswerMessageBoxes().bFailure)
            return false;
        if (condition())
            return true;
    }
    fprintf(stderr, "corvane-remote: %s after %d s\n", what, seconds);
    return false;
}

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

// What a user does with the install wizard: agree, Next, tick nothing, Install.
bool Install(int seconds)
{
    HWND sheet = nullptr;
    if (!WaitUntil(seconds, "no install wizard", [&] { return (sheet = WizardSheet()) != nullptr; }))
        return false;
    HWND licence = PropSheet_GetCurrentPageHwnd(sheet);
    if (!WaitUntil(seconds, "no licence page", [&] { return GetDlgItem(licence, 101) != nullptr; }))
        return false;
    printf("corvane-remote: the install wizard shows its licence; choosing \"%s\"\n",
           ControlText(licence, 101).c_str());
    SendMessageA(GetDlgItem(licence, 101), BM_CLICK, 0, 0);
    if (!WaitUntil(seconds, "Next stays disabled", [&] { return ButtonEnabled(sheet, WIZARD_NEXT); }))
        return false;
    PropSheet_PressButton(sheet, PSBTN_NEXT);
    HWND products = nullptr;
    if (!WaitUntil(seconds, "no page of related programs", [&] {
            products = PropSheet_GetCurrentPageHwnd(sheet);
            return products != licence && GetDlgItem(products, 105) && ButtonEnabled(sheet, WIZARD_FINISH);
        }))
        return false;
    for (int id = 101; id <= 105; id += 2)
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

// The target of a shell link, read through the shell's link object.
std::string ShortcutTarget(const std::string& linkPath)
{
    std::string target;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return target;
    IPersistFile* file = nullptr;
    WCHAR widePath[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH);
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
    {
        char path[MAX_PATH] = "";
        if (SUCCEEDED(file->Load(widePath, STGM_READ)) && SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, 0)))
            target = path;
        file->Release();
    }
    link->Release();
    return target;
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

} // namespace

int main(int argc, char** argv)
{
    // The run command may end this program by force: what it printed must be
    // out by then, and in order with the errors.
    setvbuf(stdout, nullptr, _IONBF, 0);
    for (int i = 1; i < argc; ++i)
    {
        const char* command = argv[i];
        const char* argument = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = false;
        if (!strcmp(command, "wait-ready") && argument)
            ok = WaitReady(atoi(argv[++i]));
        else if (!strcmp(command, "shot") && argument)
            ok = Shot(argv[++i]);
        else if (!strcmp(command, "help") && argument)
            ok = Help(argv[++i]);
        else if (!strcmp(command, "rip") && argument)
            ok = Rip(argv[++i]);
        else if (!strcmp(command, "edit") && argument)
            ok = Edit(atoi(argv[++i]));
        else if (!strcmp(command, "play") && argument)
            ok = Play(atoi(argv[++i]));
        else if (!strcmp(command, "close"))
            ok = CloseMain();
        else if (!strcmp(command, "install") && argument)
            ok = Install(atoi(argv[++i]));
        else if (!strcmp(command, "uninstall") && argument)
            ok = Uninstall(atoi(argv[++i]));
        else if (!strcmp(command, "list-install"))
            ok = ListInstall();
        else
            fprintf(stderr, "corvane-remote: unknown command %s\n", command);
        if (!ok)
            return 1;
    }
    return 0;
}
