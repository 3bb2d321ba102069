#include "settings/SettingsText.h"

#include <climits>

namespace {

bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

} // namespace

int ParseSettingInt(const char* text, int defaultValue)
{
    if (text[0] == '\0')
        return defaultValue;
    const char* p = text;
    while (IsWhiteSpace(*p))
        ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
    {
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

bool ParseSettingBool(const char* text, bool defaultValue)
{
    if (text[0] == '\0')
        return defaultValue;
    return text[0] != '0';
}
