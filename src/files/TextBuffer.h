// Bounded writes into fixed text buffers. Every path and name of the program
// lives in a buffer of TEXT_BUFFER_SIZE bytes; these helpers cut at the buffer's
// end instead of overrunning it, and always leave the text terminated.
#pragma once

#include <cstddef>

constexpr std::size_t TEXT_BUFFER_SIZE = 260;
constexpr std::size_t TEXT_MAX_LENGTH = TEXT_BUFFER_SIZE - 1;

// Copies `text` into `out` (of `outSize` bytes); returns the length written.
std::size_t CopyText(char* out, std::size_t outSize, const char* text);
// Appends `text` to the text already in `out`; returns the new length.
std::size_t AppendText(char* out, std::size_t outSize, const char* text);
// GCC checks the formats as the C99 printf that the program links (MinGW's
// GCC would take plain "printf" for Microsoft's); clang knows only "printf".
#ifdef __clang__
#define TEXT_FORMAT_CHECK __attribute__((format(printf, 3, 4)))
#else
#define TEXT_FORMAT_CHECK __attribute__((format(gnu_printf, 3, 4)))
#endif

// printf-style formatting into `out`; returns the length written.
std::size_t FormatText(char* out, std::size_t outSize, const char* format, ...) TEXT_FORMAT_CHECK;
// printf-style formatting after the text already in `out`; true when all of
// it fit (otherwise it is cut, and the text stays terminated).
bool AppendFormat(char* out, std::size_t outSize, const char* format, ...) TEXT_FORMAT_CHECK;

template <std::size_t N>
std::size_t CopyText(char (&out)[N], const char* text) { return CopyText(out, N, text); }
template <std::size_t N>
std::size_t AppendText(char (&out)[N], const char* text) { return AppendText(out, N, text); }
