#include "files/TextBuffer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

std::size_t CopyText(char* out, std::size_t outSize, const char* text)
{
    if (outSize == 0)
        return 0;
    std::size_t n = 0;
    if (text)
        while (n + 1 < outSize && text[n] != '\0')
        {
            out[n] = text[n];
            ++n;
        }
    out[n] = '\0';
    return n;
}

std::size_t AppendText(char* out, std::size_t outSize, const char* text)
{
    std::size_t n = outSize ? strnlen(out, outSize - 1) : 0;
    return n + CopyText(out + n, outSize - n, text);
}

std::size_t FormatText(char* out, std::size_t outSize, const char* format, ...)
{
    if (outSize == 0)
        return 0;
    va_list args;
    va_start(args, format);
    int written = vsnprintf(out, outSize, format, args);
    va_end(args);
    if (written < 0)
    {
        out[0] = '\0';
        return 0;
    }
    return static_cast<std::size_t>(written) < outSize ? written : outSize - 1;
}

bool AppendFormat(char* out, std::size_t outSize, const char* format, ...)
{
    if (outSize == 0)
        return false;
    const std::size_t n = strnlen(out, outSize - 1);
    va_list args;
    va_start(args, format);
    const int written = vsnprintf(out + n, outSize - n, format, args);
    va_end(args);
    if (written < 0)
    {
        out[n] = '\0';
        return false;
    }
    return n + static_cast<std::size_t>(written) < outSize;
}
