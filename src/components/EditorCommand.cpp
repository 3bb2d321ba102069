#include "components/EditorCommand.h"

#include <cstring>

void FormatEditorCommand(const char* format, const char* path, char (&command)[EDITOR_COMMAND_SIZE])
{
    command[0] = '\0';
    const char* placeholder = std::strstr(format, "%s");
    if (!placeholder)
    {
        CopyText(command, sizeof(command), format);
        return;
    }
    const std::size_t nBefore = static_cast<std::size_t>(placeholder - format);
    const std::size_t nCopied = nBefore < sizeof(command) - 1 ? nBefore : sizeof(command) - 1;
    std::memcpy(command, format, nCopied);
    command[nCopied] = '\0';
    AppendText(command, sizeof(command), path);
    AppendText(command, sizeof(command), placeholder + 2);
}
