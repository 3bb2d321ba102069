// What every command of the remote control shares: the program's message
// boxes, answered by a table of rules, and a wait that answers them.
#pragma once

#include <windows.h>

#include <cstdio>

// The static text of a message box.
constexpr int MESSAGE_TEXT_ID = 0xFFFF;
// How long a window is given to close.
constexpr DWORD CLOSE_MS = 10000;

bool IsDialog(HWND window);
// Only a message box has the text control; the program's other dialogs
// (the main window, job progress windows) have none.
bool IsMessageBox(HWND window);
// The disc lookup's list of the discs the database holds for an inexact match.
bool IsMatchChoice(HWND window);

// Whether a process runs one of the program's files (the program, its setup
// file, its uninstaller): `processId`, or any process when it is 0, of the
// file `name` only when one is given.
bool FindProgramProcess(DWORD processId, const char* name);

struct Answers
{
    int nAnswered;
    bool bFailure;
};

// Prints and answers every message box the program shows, and the disc
// lookup's choice among several matches (with the first).
Answers AnswerMessageBoxes();

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
