// The command line a program is started with: its path always quoted.
#include <gtest/gtest.h>

#include <string>

#include "jobs/CommandLine.h"

namespace {

TEST(CommandLine, ThePathIsQuotedAndALineThatCannotBeMadeIsNone)
{
    const struct
    {
        const char* path;
        const char* arguments;
        std::size_t size;
        const char* line;  // null: refused
    } cases[] = {
        {"C:\\Temp Dir\\tssetup.exe", "", 260, "\"C:\\Temp Dir\\tssetup.exe\""},
        {"C:\\Temp Dir\\tssetup.exe", nullptr, 260, "\"C:\\Temp Dir\\tssetup.exe\""},
        {"C:\\Temp\\uninst.exe", "/uninstall", 260, "\"C:\\Temp\\uninst.exe\" /uninstall"},
        {"a.exe", "x", 10, "\"a.exe\" x"},
        {"a.exe", "xy", 10, nullptr},
        {"a.exe", "", 7, nullptr},
        {"", "x", 260, nullptr},
        {"C:\\a\" b.exe", "", 260, nullptr},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.path) + " / " + std::to_string(c.size));
        char out[260] = "unchanged";
        const bool bMade = MakeCommandLine(c.path, c.arguments, out, c.size);
        EXPECT_EQ(c.line != nullptr, bMade);
        EXPECT_EQ(std::string(c.line ? c.line : ""), out);
    }
}

} // namespace
