// The main window's commands: as a user does, by window messages, and F1 as
// a key of the system's input.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "Commands.h"
#include "MessageBoxes.h"
#include "resources/resource.h"
#include "shot/HelpViewer.h"
#include "shot/WindowShot.h"

namespace {

const char* const HELP_TITLE = "Corvane Help";
const DWORD HELP_MS = 60000;
const DWORD READY_POLL_MS = 20;

BOOL CALLBACK FindMainWindow(HWND window, LPARAM found)
{
    char caption[16] = "";
    GetWindowTextA(window, caption, sizeof(caption));
    if (IsDialog(window) && !lstrcmpA(caption, "Corvane") && GetDlgItem(window, IDC_TRACKS))
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
           && SendMessageA(GetDlgItem(window, IDC_TRACKS), LVM_GETITEMCOUNT, 0, 0) > 0;
}

} // namespace

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
                   static_cast<int>(SendMessageA(GetDlgItem(window, IDC_TRACKS), LVM_GETITEMCOUNT, 0, 0)));
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

namespace {

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

// The program handles a command to its end (every track, every question, the
// editor until it closes) before the message returns, and a short rip comes
// and goes between two looks at its windows: a thread of its own sends it,
// while the message boxes are answered here.
struct Press
{
    HWND window;
    WPARAM command;
};

DWORD WINAPI PressCommand(void* press)
{
    const Press* p = static_cast<const Press*>(press);
    SendMessageA(p->window, WM_COMMAND, p->command, 0);
    delete p;
    return 0;
}

// The message boxes PressAndAnswer has answered, for a `done` that waits for one.
int nBoxesAnswered = 0;

// Presses `command` (called `name` in the messages) and answers the message
// boxes until the command has ended, or, with `done`, until that holds; a
// command that ends before `done` holds fails with `endedWithout` printed.
// False when the window went away or a box reported a failure.
bool PressAndAnswer(HWND window, WPARAM command, const char* name, const std::function<bool()>& done = nullptr,
                    const char* endedWithout = nullptr)
{
    // A thread still waiting for the program ends with this program, and
    // takes its press with it.
    HANDLE thread = CreateThread(nullptr, 0, PressCommand, new Press{window, command}, 0, nullptr);
    if (!thread)
    {
        fprintf(stderr, "corvane-remote: could not start the thread that presses %s\n", name);
        return false;
    }
    bool bOk = true;
    for (bool bDone = false; bOk && !bDone;)
    {
        const bool bEnded = WaitForSingleObject(thread, 50) == WAIT_OBJECT_0;
        if (!IsWindow(window))
        {
            fprintf(stderr, "corvane-remote: the main window went away during %s\n", name);
            bOk = false;
            break;
        }
        const Answers answers = AnswerMessageBoxes();
        nBoxesAnswered += answers.nAnswered;
        if (answers.bFailure)
            bOk = false;
        else if (done ? done() : bEnded)
            bDone = true;
        else if (bEnded)
        {
            fprintf(stderr, "corvane-remote: %s\n", endedWithout);
            bOk = false;
        }
    }
    CloseHandle(thread);
    return bOk;
}

} // namespace

bool Rip(const char* folder)
{
    HWND window = MainWindow();
    if (!window)
    {
        fprintf(stderr, "corvane-remote: no main window to rip with\n");
        return false;
    }
    // What a user does: type the folder, Select All from the menu, then Rip.
    SendMessageA(GetDlgItem(window, IDC_OUTPUT_FOLDER), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder));
    SendMessageA(window, WM_COMMAND, CM_SELECT_ALL, 0);
    const DWORD start = GetTickCount();
    const bool bOk = PressAndAnswer(window, CM_RIP, "Rip");
    if (bOk)
        printf("corvane-remote: the rip took %.2f s\n", (GetTickCount() - start) / 1000.0);
    return bOk;
}

bool DetectOffset()
{
    HWND window = MainWindow();
    if (!window)
    {
        fprintf(stderr, "corvane-remote: no main window to detect the read offset with\n");
        return false;
    }
    // What a user does: Settings, Detect Read Offset, the question answered
    // (by the box rules), then OK. The detection ends with a message, and
    // holds the dialog disabled until that is answered.
    HWND settings = nullptr;
    bool bClicked = false;
    int nBoxesBefore = 0;
    bool bClosing = false;
    return PressAndAnswer(
        window, CM_SETTINGS, "Settings",
        [&]() {
            if (!settings)
            {
                settings = JobWindow(window);
                return false;
            }
            if (!bClicked)
            {
                nBoxesBefore = nBoxesAnswered;
                PostMessageA(GetDlgItem(settings, IDC_DETECT_OFFSET), BM_CLICK, 0, 0);
                bClicked = true;
                return false;
            }
            if (!bClosing)
            {
                if (nBoxesAnswered == nBoxesBefore || !IsWindowEnabled(settings))
                    return false;
                char offset[32] = "";
                GetDlgItemTextA(settings, IDC_READ_OFFSET, offset, sizeof(offset));
                printf("corvane-remote: the drive's read offset correction in Settings: %s\n", offset);
                PostMessageA(GetDlgItem(settings, IDOK), BM_CLICK, 0, 0);
                bClosing = true;
                return false;
            }
            return !IsWindow(settings);
        },
        "the Settings dialog closed before Detect Read Offset ended");
}

namespace {

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
    HWND list = window ? GetDlgItem(window, IDC_TRACKS) : nullptr;
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

} // namespace

bool Edit(int row)
{
    HWND window = MainWindow();
    if (!SelectRow(window, row, "edit"))
        return false;
    const bool bOk = PressAndAnswer(window, CM_EDIT, "Edit", [window] { return IsWaitingForEditor(window); },
                                    "Edit ended without starting the sound editor");
    if (bOk)
        printf("corvane-remote: the program waits for the sound editor to be closed\n");
    return bOk;
}

namespace {

bool StopEnabled(HWND window)
{
    HWND toolBar = FindWindowExA(window, nullptr, TOOLBARCLASSNAMEA, nullptr);
    return SendMessageA(toolBar, TB_ISBUTTONENABLED, CM_STOP, 0) != 0;
}

} // namespace

bool Play(int track)
{
    HWND window = MainWindow();
    const DWORD start = GetTickCount();
    if (!SelectRow(window, track, "play"))
        return false;
    if (!PressAndAnswer(window, CM_PLAY, "Play"))
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
