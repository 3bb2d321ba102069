#include <gtest/gtest.h>

#include <string>

#include "components/EditorCommand.h"

TEST(EditorCommand, OnlyTheFirstPlaceholderTakesThePathAndEverythingElseStaysAsItIs)
{
    struct Case
    {
        const char* format;
        const char* command;
    };
    const Case cases[] = {
        {"\"C:\\Tessaro\\tessaro.exe\" \"%s\"", "\"C:\\Tessaro\\tessaro.exe\" \"C:\\temp\\Track 01.wav\""},
        {"tessaro.exe %s", "tessaro.exe C:\\temp\\Track 01.wav"},
        {"tessaro.exe", "tessaro.exe"},
        {"%n%s%s%x", "%nC:\\temp\\Track 01.wav%s%x"},
        {"edit 100% \"%s\" %d %", "edit 100% \"C:\\temp\\Track 01.wav\" %d %"},
        {"%%s", "%C:\\temp\\Track 01.wav"},
        {"", ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.format);
        char command[EDITOR_COMMAND_SIZE];
        FormatEditorCommand(c.format, "C:\\temp\\Track 01.wav", command);
        EXPECT_STREQ(command, c.command);
    }
}

TEST(EditorCommand, ALongFormatAndALongPathBothFit)
{
    const std::string format = std::string(TEXT_MAX_LENGTH - 2, 'f') + "%s";
    const std::string path(TEXT_MAX_LENGTH, 'p');
    char command[EDITOR_COMMAND_SIZE];
    FormatEditorCommand(format.c_str(), path.c_str(), command);
    EXPECT_EQ(std::string(command), std::string(TEXT_MAX_LENGTH - 2, 'f') + path);
}
