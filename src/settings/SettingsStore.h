// The settings store: REG_SZ values in the registry. The program's own live
// under "Software\Talmarin\Corvane\<section>", machine-wide (HKEY_LOCAL_MACHINE)
// for settings and per-user (HKEY_CURRENT_USER) for the recent-folder lists;
// any other key is reached with its root and path. Values are read at the
// moment of use, over a default that stands whenever the value cannot be read;
// write failures are lost unless the caller looks at the result.
#pragma once

#include <windows.h>

#include "files/TextBuffer.h"

// Any registry string: `out` receives the value, or `defaultText` when the key
// or the value cannot be read, the value is not a string, or it does not fit
// in `out` with its terminating zero. True when the value was read.
bool ReadRegistryString(HKEY root, const char* keyPath, const char* value, const char* defaultText,
                        char (&out)[TEXT_BUFFER_SIZE]);
// Writes `text` as a REG_SZ value, creating the key when missing.
LONG WriteRegistryString(HKEY root, const char* keyPath, const char* value, const char* text);
// True when the value exists, whatever its type.
bool RegistryValueExists(HKEY root, const char* keyPath, const char* value);
bool RegistryKeyExists(HKEY root, const char* keyPath);
LONG DeleteRegistryValue(HKEY root, const char* keyPath, const char* value);
// Deletes the key, which must have no sub-keys.
LONG DeleteRegistryKey(HKEY root, const char* keyPath);

// The program's own values, read as ReadRegistryString does.
void ReadSettingString(const char* subKey, const char* defaultText, const char* value,
                       char (&out)[TEXT_BUFFER_SIZE]);
LONG WriteSettingString(const char* subKey, const char* value, const char* text);
int ReadSettingInt(const char* subKey, const char* value, int defaultValue);
bool ReadSettingBool(const char* subKey, const char* value, bool defaultValue);
LONG WriteSettingInt(const char* subKey, const char* value, int n);
LONG WriteSettingBool(const char* subKey, const char* value, bool b);
LONG DeleteSetting(const char* subKey, const char* value);

void ReadUserString(const char* subKey, const char* defaultText, const char* value, char (&out)[TEXT_BUFFER_SIZE]);
LONG WriteUserString(const char* subKey, const char* value, const char* text);
int ReadUserInt(const char* subKey, const char* value, int defaultValue);
LONG WriteUserInt(const char* subKey, const char* value, int n);
