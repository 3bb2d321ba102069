#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "files/TextBuffer.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsStoreFixture.h"

namespace {

TEST_F(SettingsStoreTest, StringsRoundTripAndMissingOnesGiveTheDefault)
{
    EXPECT_EQ("<default>", ReadString("OutputFormat"));  // no key yet
    EXPECT_EQ(ERROR_SUCCESS, WriteSettingString(subKey.c_str(), "OutputFormat", "MP3"));
    EXPECT_EQ("MP3", ReadString("OutputFormat"));
    EXPECT_EQ("<default>", ReadString("Missing"));  // key, but no such value
    EXPECT_EQ(ERROR_SUCCESS, WriteSettingString(subKey.c_str(), "Empty", ""));
    EXPECT_EQ("", ReadString("Empty"));

    // The two roots are separate stores.
    char out[TEXT_BUFFER_SIZE];
    ReadUserString(subKey.c_str(), "<user default>", "OutputFormat", out);
    EXPECT_STREQ("<user default>", out);
    EXPECT_EQ(ERROR_SUCCESS, WriteUserString(subKey.c_str(), "OutputFormat", "WAV"));
    ReadUserString(subKey.c_str(), "", "OutputFormat", out);
    EXPECT_STREQ("WAV", out);
    EXPECT_EQ("MP3", ReadString("OutputFormat"));
}

TEST_F(SettingsStoreTest, ValuesThatDoNotFitOrAreNotTextGiveTheDefault)
{
    const std::string longest(259, 'x');
    WriteSettingString(subKey.c_str(), "Longest", longest.c_str());
    EXPECT_EQ(longest, ReadString("Longest"));

    WriteSettingString(subKey.c_str(), "TooLong", std::string(260, 'x').c_str());
    EXPECT_EQ("<default>", ReadString("TooLong"));

    // Written without the terminating zero: fits only when there is room for one.
    const std::string unterminated(259, 'u');
    WriteRaw(HKEY_LOCAL_MACHINE, "Unterminated", REG_SZ, unterminated.data(), 259);
    EXPECT_EQ(unterminated, ReadString("Unterminated"));
    const std::string unterminatedFull(260, 'u');
    WriteRaw(HKEY_LOCAL_MACHINE, "UnterminatedFull", REG_SZ, unterminatedFull.data(), 260);
    EXPECT_EQ("<default>", ReadString("UnterminatedFull"));

    const DWORD number = 192;
    WriteRaw(HKEY_LOCAL_MACHINE, "Number", REG_DWORD, &number, sizeof(number));
    EXPECT_EQ("<default>", ReadString("Number"));
    EXPECT_EQ(128, ReadSettingInt(subKey.c_str(), "Number", 128));
}

TEST_F(SettingsStoreTest, IntegersAndFlagsReadThroughGarbage)
{
    const char* key = subKey.c_str();
    EXPECT_EQ(128, ReadSettingInt(key, "CBRBitRate", 128));
    WriteSettingString(key, "CBRBitRate", " 192kbps");
    EXPECT_EQ(192, ReadSettingInt(key, "CBRBitRate", 128));
    WriteSettingString(key, "CBRBitRate", "fast");
    EXPECT_EQ(0, ReadSettingInt(key, "CBRBitRate", 128));
    WriteSettingInt(key, "CBRBitRate", -320);
    EXPECT_EQ("-320", ReadString("CBRBitRate"));
    EXPECT_EQ(-320, ReadSettingInt(key, "CBRBitRate", 128));

    const struct
    {
        const char* text;
        bool expected;
    } flags[] = {{"no", true}, {"false", true}, {"0", false}, {"00", false}, {"", true}};
    for (const auto& flag : flags)
    {
        SCOPED_TRACE(flag.text);
        WriteSettingString(key, "UseCDDB", flag.text);
        EXPECT_EQ(flag.expected, ReadSettingBool(key, "UseCDDB", true));
    }
    WriteSettingBool(key, "UseCDDB", false);
    EXPECT_EQ("0", ReadString("UseCDDB"));
    WriteSettingBool(key, "UseCDDB", true);
    EXPECT_EQ("1", ReadString("UseCDDB"));

    EXPECT_EQ(5, ReadUserInt(key, "Count", 5));
    WriteUserInt(key, "Count", 3);
    EXPECT_EQ(3, ReadUserInt(key, "Count", 5));
    EXPECT_EQ(7, ReadSettingInt(key, "Count", 7));
}

// A real combo box, as the main window's output-folder box.
} // namespace
