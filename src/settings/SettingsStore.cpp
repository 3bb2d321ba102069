#include "settings/SettingsStore.h"

#include <cstring>

#include "files/TextBuffer.h"
#include "settings/RegistryKeys.h"
#include "settings/SettingsText.h"

namespace {

void FormatKeyPath(char (&keyPath)[TEXT_BUFFER_SIZE], const char* subKey)
{
    FormatText(keyPath, sizeof(keyPath), "%s\\%s", CORVANE_KEY, subKey);
}

void ReadString(HKEY root, const char* subKey, const char* defaultText, const char* value,
                char (&out)[TEXT_BUFFER_SIZE])
{
    char keyPath[TEXT_BUFFER_SIZE];
    FormatKeyPath(keyPath, subKey);
    ReadRegistryString(root, keyPath, value, defaultText, out);
}

LONG WriteString(HKEY root, const char* subKey, const char* value, const char* text)
{
    char keyPath[TEXT_BUFFER_SIZE];
    FormatKeyPath(keyPath, subKey);
    return WriteRegistryString(root, keyPath, value, text);
}

int ReadInt(HKEY root, const char* subKey, const char* value, int defaultValue)
{
    char text[TEXT_BUFFER_SIZE];
    ReadString(root, subKey, "", value, text);
    return ParseSettingInt(text, defaultValue);
}

LONG WriteInt(HKEY root, const char* subKey, const char* value, int n)
{
    char text[16];
    FormatText(text, sizeof(text), "%d", n);
    return WriteString(root, subKey, value, text);
}

} // namespace

bool ReadRegistryString(HKEY root, const char* keyPath, const char* value, const char* defaultText,
                        char (&out)[TEXT_BUFFER_SIZE])
{
    HKEY hKey;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, &hKey) == ERROR_SUCCESS)
    {
        char text[TEXT_BUFFER_SIZE];
        DWORD type = 0;
        DWORD size = sizeof(text);
        LONG result = RegQueryValueExA(hKey, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(hKey);
        if (result == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ))
        {
            // A value stored without its terminating zero still has to fit with one.
            bool terminated = size > 0 && text[size - 1] == '\0';
            if (terminated || size < sizeof(text))
            {
                text[terminated ? size - 1 : size] = '\0';
                CopyText(out, text);
                return true;
            }
        }
    }
    CopyText(out, defaultText);
    return false;
}

LONG WriteRegistryString(HKEY root, const char* keyPath, const char* value, const char* text)
{
    HKEY hKey;
    LONG result = RegCreateKeyExA(root, keyPath, 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &hKey, nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    result = RegSetValueExA(hKey, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                            static_cast<DWORD>(strlen(text) + 1));
    LONG closeResult = RegCloseKey(hKey);
    return result != ERROR_SUCCESS ? result : closeResult;
}

bool RegistryValueExists(HKEY root, const char* keyPath, const char* value)
{
    HKEY hKey;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    const bool bFound = RegQueryValueExA(hKey, value, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(hKey);
    return bFound;
}

bool RegistryKeyExists(HKEY root, const char* keyPath)
{
    HKEY hKey;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}

LONG DeleteRegistryValue(HKEY root, const char* keyPath, const char* value)
{
    HKEY hKey;
    LONG result = RegOpenKeyExA(root, keyPath, 0, KEY_SET_VALUE, &hKey);
    if (result != ERROR_SUCCESS)
        return result;
    result = RegDeleteValueA(hKey, value);
    RegCloseKey(hKey);
    return result;
}

LONG DeleteRegistryKey(HKEY root, const char* keyPath)
{
    return RegDeleteKeyA(root, keyPath);
}

void ReadSettingString(const char* subKey, const char* defaultText, const char* value,
                       char (&out)[TEXT_BUFFER_SIZE])
{
    ReadString(HKEY_LOCAL_MACHINE, subKey, defaultText, value, out);
}

LONG WriteSettingString(const char* subKey, const char* value, const char* text)
{
    return WriteString(HKEY_LOCAL_MACHINE, subKey, value, text);
}

int ReadSettingInt(const char* subKey, const char* value, int defaultValue)
{
    return ReadInt(HKEY_LOCAL_MACHINE, subKey, value, defaultValue);
}

bool ReadSettingBool(const char* subKey, const char* value, bool defaultValue)
{
    char text[TEXT_BUFFER_SIZE];
    ReadString(HKEY_LOCAL_MACHINE, subKey, "", value, text);
    return ParseSettingBool(text, defaultValue);
}

LONG WriteSettingInt(const char* subKey, const char* value, int n)
{
    return WriteInt(HKEY_LOCAL_MACHINE, subKey, value, n);
}

LONG WriteSettingBool(const char* subKey, const char* value, bool b)
{
    return WriteString(HKEY_LOCAL_MACHINE, subKey, value, b ? "1" : "0");
}

LONG DeleteSetting(const char* subKey, const char* value)
{
    char keyPath[TEXT_BUFFER_SIZE];
    FormatKeyPath(keyPath, subKey);
    return DeleteRegistryValue(HKEY_LOCAL_MACHINE, keyPath, value);
}

void ReadUserString(const char* subKey, const char* defaultText, const char* value, char (&out)[TEXT_BUFFER_SIZE])
{
    ReadString(HKEY_CURRENT_USER, subKey, defaultText, value, out);
}

LONG WriteUserString(const char* subKey, const char* value, const char* text)
{
    return WriteString(HKEY_CURRENT_USER, subKey, value, text);
}

int ReadUserInt(const char* subKey, const char* value, int defaultValue)
{
    return ReadInt(HKEY_CURRENT_USER, subKey, value, defaultValue);
}

LONG WriteUserInt(const char* subKey, const char* value, int n)
{
    return WriteInt(HKEY_CURRENT_USER, subKey, value, n);
}
