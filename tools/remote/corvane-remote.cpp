// Drives a running Corvane from outside, through window messages only, as a
// user's actions would: for the run command on machines without a screen.
//   corvane-remote COMMAND [ARG] [COMMAND [ARG]]...
//     wait-ready SECONDS   wait for the main window, idle, with its tracks listed,
//                          and click the splash away
//     shot FILE.png        save a picture of the main window
//     rip FOLDER           set the output folder, check every track, press Rip,
//                          answer Yes to creating the folder, and wait until
//                          the last track is written; a message the program
//                          shows is printed and counts as a failure
//     close                close the main window and wait for it to go
// Exit code 0 when every command succeeded; the first failure is printed.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shot/WindowShot.h"

namespace {

const int TRACK_LIST_ID = 102;
const int OUTPUT_FOLDER_ID = 103;
const WPARAM CM_RIP = 1001;
const WPARAM CM_SELECT_ALL = 2001;
const int MESSAGE_TEXT_ID = 0xFFFF;

HWND MainWindow()
{
    return FindWindowA(MAKEINTATOM(0x8002), "Corvane");
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
        HWND window = MainWindow();
        if (IsReady(window))
        {
            // A user clicks the start-up splash away to see the window under it.
            while (HWND splash = FindWindowA("LAW", nullptr))
                SendMessageA(splash, WM_LBUTTONDOWN, MK_LBUTTON, 0);
            printf("corvane-remote: the main window lists %d tracks\n",
                   static_cast<int>(SendMessageA(GetDlgItem(window, TRACK_LIST_ID), LVM_GETITEMCOUNT, 0, 0)));
            return true;
        }
        Sleep(100);
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
    const char* caption;
    HWND found;
};

BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM search)
{
    auto* s = reinterpret_cast<OwnedSearch*>(search);
    char className[16] = "";
    char caption[64] = "";
    GetClassNameA(window, className, sizeof(className));
    GetWindowTextA(window, caption, sizeof(caption));
    if (GetWindow(window, GW_OWNER) == s->owner && !lstrcmpA(className, "#32770")
        && (!s->caption || !lstrcmpA(caption, s->caption)))
    {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

// A dialog owned by the main window, with that caption (any when null).
HWND OwnedDialog(HWND owner, const char* caption)
{
    OwnedSearch search = {owner, caption, nullptr};
    EnumWindows(FindOwnedDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
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
    PostMessageA(window, WM_COMMAND, CM_SELECT_ALL, 0);
    PostMessageA(window, WM_COMMAND, CM_RIP, 0);
    const DWORD start = GetTickCount();

    bool bStarted = false;
    DWORD idleSince = 0;
    for (;;)
    {
        Sleep(50);
        if (!IsWindow(window))
        {
            fprintf(stderr, "corvane-remote: the main window went away during the rip\n");
            return false;
        }
        if (HWND box = OwnedDialog(window, nullptr))
        {
            char caption[64] = "";
            char text[1024] = "";
            GetWindowTextA(box, caption, sizeof(caption));
            // Only a message box has the text control; anything else owned
            // by the main window is a job's progress window.
            HWND textControl = GetDlgItem(box, MESSAGE_TEXT_ID);
            if (!textControl)
            {
                bStarted |= !lstrcmpA(caption, "Extract CD Track(s)");
                idleSince = 0;
                continue;
            }
            GetWindowTextA(textControl, text, sizeof(text));
            printf("corvane-remote: the program asks \"%s\": %s\n", caption, text);
            if (!lstrcmpA(caption, "Corvane") && strstr(text, "Do you want to create it now?"))
            {
                printf("corvane-remote: answering Yes\n");
                PostMessageA(box, WM_COMMAND, IDYES, 0);
                continue;
            }
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            return false;
        }
        // Done once the window has taken input again for a while after a job.
        if (!IsWindowEnabled(window))
            idleSince = 0;
        else if (!idleSince)
            idleSince = GetTickCount();
        else if (bStarted && GetTickCount() - idleSince > 1000)
        {
            printf("corvane-remote: the rip took %.2f s\n", (idleSince - start) / 1000.0);
            return true;
        }
        else if (!bStarted && GetTickCount() - idleSince > 10000)
        {
            fprintf(stderr, "corvane-remote: the rip never started\n");
            return false;
        }
    }
}

bool CloseMain()
{
    HWND window = MainWindow();
    if (!window)
        return true;
    PostMessageA(window, WM_CLOSE, 0, 0);
    for (int i = 0; i < 100 && IsWindow(window); ++i)
        Sleep(100);
    if (IsWindow(window))
    {
        fprintf(stderr, "corvane-remote: the main window did not close\n");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
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
