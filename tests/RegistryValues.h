// Values under HKEY_LOCAL_MACHINE that tests set, read and remove directly,
// past the settings store they check.
#pragma once

#include <windows.h>

#include <string>

#include "files/TextBuffer.h"

inline void SetValue(const char* key, const char* name, const char* text)
{
    HKEY hKey;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr) == ERROR_SUCCESS)
    {
        RegSetValueExA(hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), lstrlenA(text) + 1);
        RegCloseKey(hKey);
    }
}

inline std::string GetValue(const char* key, const char* name)
{
    char text[TEXT_BUFFER_SIZE] = "";
    DWORD size = sizeof(text);
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &hKey) == ERROR_SUCCESS)
    {
        RegQueryValueExA(hKey, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(hKey);
    }
    return text;
}

inline void DeleteValue(const char* key, const char* name)
{
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_WRITE, &hKey) == ERROR_SUCCESS)
    {
        RegDeleteValueA(hKey, name);
        RegCloseKey(hKey);
    }
}
