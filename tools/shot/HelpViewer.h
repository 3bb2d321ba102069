// The system's help viewer (WinHelp, Wine's winhlp32) as a test or the run
// command sees it from outside: found by its help's title, read and pictured
// once it has drawn its page.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The viewer's main window, shown, whose caption is the help's title; null
// while there is none.
HWND FindHelpViewer(const char* title);

// The lines of the page the viewer shows, empty ones left out; the first is
// the topic's title, or the help's title on the contents page.
std::vector<std::string> HelpViewerPageLines(HWND viewer);

// Brings the viewer to the front and waits until it has laid out its buttons,
// drawn its page and waits for input, so that a picture shows the whole
// window; false after timeoutMs.
bool WaitHelpViewerDrawn(HWND viewer, DWORD timeoutMs);

// Presses and releases `key` on the keyboard with `window` in front, as a
// user does: F1 reaches a program only as a key of the system's input, never
// as a posted message. False when the window cannot be brought to the front
// or the key not sent.
bool PressKey(HWND window, WORD key);
