#include "resources/AppInstance.h"

// WinMain stores the handle it is given; test programs keep this, the same module.
HINSTANCE hAppInstance = GetModuleHandleA(nullptr);
