// Screenshots of windows, for the tests and for a person to look at.
#pragma once

#include <windows.h>

// Saves the whole window, frame and title bar included, as a PNG file of the
// window's size (GetWindowRect). The pixels are copied from the screen after
// the window has been redrawn and has had nothing left to paint for a moment
// (what it paints right after the redraw is in the picture), so the window
// must be shown, on the screen and not covered by another window. False when the window is not a window, or
// the picture cannot be taken or written.
bool SaveWindowPng(HWND window, const char* path);
