#include "app/SettingsStore.h"

#include <cstring>

#include "app/SettingsText.h"
#include "files/LFile.h"
#include "files/TextBuffer.h"
#include "setup/InstallFolder.h"

namespace {

const int RECENT_LIST_MAX = 9;

void FormatKeyPath(char (&keyPath)[TEXT_BUFFER_SIZE], const char* subKey)
{
    FormatText(keyPath, sizeof(keyPath), "Software\\Talmarin\\Corvane\\%s", subKey);
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
    HKEY hKey;
    LONG result = RegCreateKeyExA(root, keyPath, 0, const_cast<char*>(""), 0, KEY_ALL_ACCESS,
                                  nullptr, &hKey, nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    result = RegSetValueExA(hKey, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                            static_cast<DWORD>(strlen(text) + 1));
    LONG closeResult = RegCloseKey(hKey);
    return result != ERROR_SUCCESS ? result : closeResult;
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

void FormatItemName(char (&itemName)[16], int i)
{
    FormatText(itemName, sizeof(itemName), "Item %d", i);
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

void LoadComboHistory(HWND comboBox, const char* listName)
{
    SendMessageA(comboBox, CB_RESETCONTENT, 0, 0);
    // The list never holds more than nine; a larger count can only be damage.
    int nItems = ReadUserInt(listName, "Count", 0);
    if (nItems > RECENT_LIST_MAX)
        nItems = RECENT_LIST_MAX;
    for (int i = 1; i <= nItems; ++i)
    {
        char itemName[16];
        char item[TEXT_BUFFER_SIZE];
        FormatItemName(itemName, i);
        ReadUserString(listName, "", itemName, item);
        SendMessageA(comboBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    SendMessageA(comboBox, CB_SETCURSEL, 0, 0);
}

void SaveComboHistory(HWND comboBox, const char* listName)
{
    char text[TEXT_BUFFER_SIZE];
    GetWindowTextA(comboBox, text, sizeof(text));
    if (text[0] == '\0')
        return;
    int nItems = ReadUserInt(listName, "Count", 0);
    // Each step moves the carried entry one place down, until the text's former
    // copy has been overwritten, the list has grown by one, or the ninth item fell off.
    char carry[TEXT_BUFFER_SIZE];
    CopyText(carry, text);
    for (int i = 0;; ++i)
    {
        char itemName[16];
        char old[TEXT_BUFFER_SIZE];
        FormatItemName(itemName, i + 1);
        ReadUserString(listName, "", itemName, old);
        WriteUserString(listName, itemName, carry);
        if (strcmp(carry, old) == 0 || strcmp(text, old) == 0)
            return;
        if (i >= nItems)
        {
            WriteUserInt(listName, "Count", nItems + 1);
            return;
        }
        if (i == RECENT_LIST_MAX - 1)
            return;
        CopyText(carry, old);
    }
}

void GetDataFolder(const char* name, char (&out)[TEXT_BUFFER_SIZE])
{
    ReadSettingString("Folders", "", name ? name : "DataFiles", out);
    if (out[0] != '\0')
        return;
    GetInstallProgramFilesPath(out);
    if (name)
        LFile::FilePathCat(out, name);
}

Mp3EncoderSettings ReadStoredMp3EncoderSettings()
{
    const char* const key = "MP3Encoder";
    const Mp3EncoderSettings& d = MP3_DEFAULT_SETTINGS;
    Mp3EncoderSettings settings;
    settings.bConstantBitRate = ReadSettingBool(key, "ConstantBitRate", d.bConstantBitRate);
    settings.nCBRBitRate = static_cast<uint16_t>(ReadSettingInt(key, "CBRBitRate", d.nCBRBitRate));
    settings.bHighQuality = ReadSettingBool(key, "HighQuality", d.bHighQuality);
    settings.nVBRMinBitRate = static_cast<uint16_t>(ReadSettingInt(key, "VBRMinBitRate", d.nVBRMinBitRate));
    settings.nVBRMaxBitRate = static_cast<uint16_t>(ReadSettingInt(key, "VBRMaxBitRate", d.nVBRMaxBitRate));
    settings.nVBRQuality = static_cast<uint8_t>(ReadSettingInt(key, "VBRQuality", d.nVBRQuality));
    settings.bErrorProtection = ReadSettingBool(key, "ErrorProtection", d.bErrorProtection);
    settings.nChannelMode = static_cast<uint8_t>(ReadSettingInt(key, "ChannelMode", d.nChannelMode));
    return settings;
}

Mp3EncoderSettings ReadMp3EncoderSettings()
{
    Mp3EncoderSettings settings = ReadStoredMp3EncoderSettings();
    ApplyMp3MinimumRule(settings);
    return settings;
}

void WriteMp3EncoderSettings(const Mp3EncoderSettings& settings)
{
    const char* const key = "MP3Encoder";
    WriteSettingBool(key, "ConstantBitRate", settings.bConstantBitRate);
    WriteSettingInt(key, "CBRBitRate", settings.nCBRBitRate);
    WriteSettingBool(key, "HighQuality", settings.bHighQuality);
    WriteSettingInt(key, "VBRMinBitRate", settings.nVBRMinBitRate);
    WriteSettingInt(key, "VBRMaxBitRate", settings.nVBRMaxBitRate);
    WriteSettingInt(key, "VBRQuality", settings.nVBRQuality);
    WriteSettingBool(key, "ErrorProtection", settings.bErrorProtection);
    WriteSettingInt(key, "ChannelMode", settings.nChannelMode);
}
