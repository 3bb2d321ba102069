// Drives a running Corvane from outside, through window messages only, as a
// user's actions would: for the run command on machines without a screen.
//   corvane-remote COMMAND [ARG] [COMMAND [ARG]]...
//     wait-ready SECONDS   wait for the main window, idle, with its tracks listed,
//                          print when it was found (Unix time) and click the
//                          splash away
//     shot FILE.png        save a picture of the main window
//     rip FOLDER           set the output folder, check every track, press Rip
//                          and wait until the last track is written
//     close                cancel a running job, close the main window and
//                          wait for it to go
// While a command waits, every message box the program shows is printed and
// answered by the rules of BOX_RULES; one that reports a failure, or one no
// rule knows, fails the command once it is answered.
// Exit code 0 when every command succeeded; the first failure is printed.
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "shot/WindowShot.h"

namespace {

const int TRACK_LIST_ID = 102;
const int OUTPUT_FOLDER_ID = 103;
const WPARAM CM_RIP = 1001;
const WPARAM CM_SELECT_ALL = 2001;
const int MESSAGE_TEXT_ID = 0xFFFF;
const DWORD CLOSE_MS = 10000;
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

// The program's message boxes are told by their process, since some have no
// owner (the disc lookup's among them).
bool IsProgramProcess(DWORD processId)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    bool bProgram = false;
    for (BOOL more = Process32First(snapshot, &entry); more && !bProgram; more = Process32Next(snapshot, &entry))
        bProgram = entry.th32ProcessID == processId && !lstrcmpiA(entry.szExeFile, "corvane.exe");
    CloseHandle(snapshot);
    return bProgram;
}

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

// Ready: the window exists, takes input (no job is running) and lists tracks.
bool IsReady(HWND window)
{
    return window && IsWindowEnabled(window)
           && SendMessageA(GetDlgItem(window, TRACK_LIST_ID), LVM_GETITEMCOUNT, 0, 0) > 0;
}

bool WaitReady(int seconds)
{
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

DWORD WINAPI PressRip(void* window)
{
    SendMessageA(static_cast<HWND>(window), WM_COMMAND, CM_RIP, 0);
    return 0;
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
    // The program handles Rip to its end (every track, every question) before
    // the message returns, and a short rip comes and goes between two looks
    // at its windows: a thread of its own sends it and waits.
    const DWORD start = GetTickCount();
    HANDLE rip = CreateThread(nullptr, 0, PressRip, window, 0, nullptr);
    if (!rip)
    {
        fprintf(stderr, "corvane-remote: could not start the thread that presses Rip\n");
        return false;
    }
    bool bOk = true;
    while (bOk && WaitForSingleObject(rip, 50) == WAIT_TIMEOUT)
    {
        if (!IsWindow(window))
        {
            fprintf(stderr, "corvane-remote: the main window went away during the rip\n");
            bOk = false;
        }
        else if (AnswerMessageBoxes().bFailure)
            bOk = false;
    }
    if (bOk)
        printf("corvane-remote: the rip took %.2f s\n", (GetTickCount() - start) / 1000.0);
    // A thread still waiting for the program ends with this program.
    CloseHandle(rip);
    return bOk;
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
        else if (!strcmp(command, "rip") && argument)
            ok = Rip(argv[++i]);
        else if (!strcmp(command, "close"))
            ok = CloseMain();
        else
            fprintf(stderr, "corvane-remote: unknown command %s\n", command);
        if (!ok)
            return 1;
    }
    return 0;
}
