// Drives a running Corvane from outside, through window messages only, as a
// user's actions would: for the run command on machines without a screen.
//   corvane-remote COMMAND [ARG] [COMMAND [ARG]]...
//     wait-ready SECONDS   wait for the main window, idle, with its tracks listed,
//                          and click the splash away
//     shot FILE.png        save a picture of the main window
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
        else if (!strcmp(command, "close"))
            ok = CloseMain();
        else
            fprintf(stderr, "corvane-remote: unknown command %s\n", command);
        if (!ok)
            return 1;
    }
    return 0;
}
