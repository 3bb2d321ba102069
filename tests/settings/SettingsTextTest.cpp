#include <gtest/gtest.h>

#include "settings/SettingsText.h"

namespace {

TEST(SettingsText, IntegersReadTheirLeadingDigits)
{
    struct Case
    {
        const char* text;
        int expected;
    } cases[] = {
        {"", 77},          // empty: the default
        {"192", 192},
        {" 192kbps", 192},
        {"\t-40", -40},
        {"+7", 7},
        {"kbps", 0},       // no digits
        {"-", 0},
        {"--5", 0},        // one sign only
        {"1 2", 1},
        {"007", 7},
        {"2147483647", 2147483647},
        {"99999999999999999999", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-99999999999999999999", -2147483647 - 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.expected, ParseSettingInt(c.text, 77));
    }
}

TEST(SettingsText, FlagsAreTrueUnlessTheyStartWithZero)
{
    struct Case
    {
        const char* text;
        bool expected;
    } cases[] = {
        {"1", true}, {"0", false}, {"00", false}, {"0yes", false},
        {"no", true}, {"false", true}, {" 0", true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.expected, ParseSettingBool(c.text, !c.expected));
    }
    EXPECT_TRUE(ParseSettingBool("", true));
    EXPECT_FALSE(ParseSettingBool("", false));
}

} // namespace
