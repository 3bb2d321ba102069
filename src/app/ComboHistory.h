// The recent-folder lists behind the main window's combo boxes: per-user
// values "Count" and "Item 1" to "Item 9" of the list's section.
#pragma once

#include <windows.h>

// Fills the combo box's list from the per-user list `listName`, most recent
// first, and makes the first entry the box's text.
void LoadComboHistory(HWND comboBox, const char* listName);
// Puts the box's text at the head of the list `listName` (at most 9 entries,
// no duplicates, compared case-sensitively).
void SaveComboHistory(HWND comboBox, const char* listName);
