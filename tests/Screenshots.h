// Pictures of windows for a person to look at, kept in the build folder.
#pragma once

#include <windows.h>

#include <string>

#include "cdrom/VirtualDiscFiles.h"

// The path of the picture `name` in the tests' screenshot folder, which is
// made when missing.
inline std::string ScreenshotPath(const char* name)
{
    const std::string folder = ProgramFolder() + "\\screenshots";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\" + name;
}
