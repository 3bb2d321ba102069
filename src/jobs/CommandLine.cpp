#include "jobs/CommandLine.h"

#include <cstring>

bool MakeCommandLine(const char* programPath, const char* arguments, char* out, std::size_t size)
{
    if (size == 0)
        return false;
    out[0] = '\0';
    const std::size_t pathLength = std::strlen(programPath);
    const std::size_t argumentsLength = arguments ? std::strlen(arguments) : 0;
    if (pathLength == 0 || std::strchr(programPath, '"'))
        return false;
    const std::size_t length = pathLength + 2 + (argumentsLength ? 1 + argumentsLength : 0);
    if (length >= size)
        return false;
    char* p = out;
    *p++ = '"';
    std::memcpy(p, programPath, pathLength);
    p += pathLength;
    *p++ = '"';
    if (argumentsLength)
    {
        *p++ = ' ';
        std::memcpy(p, arguments, argumentsLength);
        p += argumentsLength;
    }
    *p = '\0';
    return true;
}
