// The texts of the settings store read as numbers and flags: the number is
// what the C library's own reading gives, held within int, and the flag is
// set by anything but a leading '0'.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "FuzzCheck.h"
#include "settings/SettingsText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const int defaultValue = input.I32();
    const bool defaultFlag = input.Flag();
    // A registry string ends at its first NUL.
    const std::string text = input.Rest();
    const char* value = text.c_str();

    const int number = ParseSettingInt(value, defaultValue);
    if (value[0] == '\0')
        FUZZ_CHECK(number == defaultValue);
    else
    {
        // strtoll reads the same white space, sign and digits, and holds
        // its result within long long as this one holds its within int.
        errno = 0;
        const long long expected = strtoll(value, nullptr, 10);
        FUZZ_CHECK(number == (expected > INT_MAX ? INT_MAX : expected < INT_MIN ? INT_MIN : expected));
    }
    FUZZ_CHECK(ParseSettingBool(value, defaultFlag) == (value[0] == '\0' ? defaultFlag : value[0] != '0'));
    return 0;
}
