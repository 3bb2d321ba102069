// What a start of the program is: the file's last four bytes (its trailer)
// say whether it is the setup file, the uninstaller or the program itself.
#pragma once

#include <cstdint>

constexpr uint32_t TRAILER_INSTALL = 0x0F0FF0F0;
constexpr uint32_t TRAILER_UNINSTALL = 0xF0F00F0F;

// True when the file title of `programPath` (the name after the last
// separator, without its extension) contains "SETUP" in any case.
bool IsSetupFileName(const char* programPath);
