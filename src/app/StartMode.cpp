#include "app/StartMode.h"

#include <cctype>
#include <cstring>

#include "files/LFile.h"
#include "files/TextBuffer.h"

bool IsSetupFileName(const char* programPath)
{
    char title[TEXT_BUFFER_SIZE];
    LFile::_GetFileFromPath(title, programPath);
    // Only the last '.' starts the extension here, whatever the name holds.
    if (char* dot = strrchr(title, '.'))
        *dot = '\0';
    for (char* c = title; *c; ++c)
        *c = static_cast<char>(toupper(static_cast<unsigned char>(*c)));
    return strstr(title, "SETUP") != nullptr;
}
