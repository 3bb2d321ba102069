#include <gtest/gtest.h>

#include <string>

#include "files/TextBuffer.h"

namespace {

TEST(TextBuffer, CopyAppendAndFormatCutAtTheBufferEnd)
{
    char small[8];
    EXPECT_EQ(7u, CopyText(small, "overlong text"));
    EXPECT_STREQ("overlon", small);
    EXPECT_EQ(3u, CopyText(small, "abc"));
    EXPECT_EQ(6u, AppendText(small, "def"));
    EXPECT_STREQ("abcdef", small);
    EXPECT_EQ(7u, AppendText(small, "ghi"));
    EXPECT_STREQ("abcdefg", small);
    EXPECT_EQ(7u, AppendText(small, "more"));
    EXPECT_EQ(7u, FormatText(small, sizeof(small), "Item %d", 12345));
    EXPECT_STREQ("Item 12", small);
    EXPECT_EQ(6u, FormatText(small, sizeof(small), "Item %d", 9));
    EXPECT_STREQ("Item 9", small);
    EXPECT_EQ(0u, CopyText(small, nullptr));
    EXPECT_STREQ("", small);
}

TEST(TextBuffer, AppendFormatTellsWhetherAllOfItFit)
{
    char out[12] = "ab";
    EXPECT_TRUE(AppendFormat(out, sizeof(out), " %d%s", 42, "cd"));
    EXPECT_STREQ("ab 42cd", out);
    EXPECT_FALSE(AppendFormat(out, sizeof(out), "%s", "efghij"));
    EXPECT_STREQ("ab 42cdefgh", out) << "cut at the end, and terminated";
    EXPECT_FALSE(AppendFormat(out, sizeof(out), "x"));
    EXPECT_STREQ("ab 42cdefgh", out);
}

} // namespace
