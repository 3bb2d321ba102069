// The sound editor's command line from its registered format ("RunEdit").
#pragma once

#include <cstddef>

#include "files/TextBuffer.h"

// Room for a format and a path of a text buffer each.
constexpr std::size_t EDITOR_COMMAND_SIZE = 2 * TEXT_BUFFER_SIZE;

// The format with its first "%s" replaced by `path`; every other character,
// '%' included, is copied as it stands, so that no value can make the
// program read arguments it was not given. A format without "%s" is the
// command as it is.
void FormatEditorCommand(const char* format, const char* path, char (&command)[EDITOR_COMMAND_SIZE]);
