// The module instance that every window class, dialog, menu, icon and bitmap of
// the program is loaded from.
#pragma once

#include <windows.h>

extern HINSTANCE hAppInstance;
