// The command line a program is started with. Its path goes first, quoted,
// so that a folder with a space in its name ("C:\Temp Dir\setup.exe") can
// never start another program ("C:\Temp.exe") in its place.
#pragma once

#include <cstddef>

// `programPath` in quotes, then a space and `arguments` when they are not
// empty; false (with `out` empty) when the path is empty or holds a quote, or
// the line does not fit in `size` bytes.
bool MakeCommandLine(const char* programPath, const char* arguments, char* out, std::size_t size);
