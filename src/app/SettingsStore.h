// The settings store: REG_SZ values under "Software\Talmarin\Corvane\<sub-key>",
// machine-wide (HKEY_LOCAL_MACHINE) for settings and per-user (HKEY_CURRENT_USER)
// for the recent-folder lists. Values are read at the moment of use, over a
// default that stands whenever the value cannot be read; write failures are lost.
#pragma once

#include <windows.h>

#include "soundfile/Mp3Encoder.h"

#include "files/TextBuffer.h"

// Any registry string: `out` receives the value, or `defaultText` when the key
// or the value cannot be read, the value is not a string, or it does not fit
// in `out` with its terminating zero. True when the value was read.
bool ReadRegistryString(HKEY root, const char* keyPath, const char* value, const char* defaultText,
                        char (&out)[TEXT_BUFFER_SIZE]);

// The program's own values, read as ReadRegistryString does.
void ReadSettingString(const char* subKey, const char* defaultText, const char* value,
                       char (&out)[TEXT_BUFFER_SIZE]);
LONG WriteSettingString(const char* subKey, const char* value, const char* text);
int ReadSettingInt(const char* subKey, const char* value, int defaultValue);
bool ReadSettingBool(const char* subKey, const char* value, bool defaultValue);
LONG WriteSettingInt(const char* subKey, const char* value, int n);
LONG WriteSettingBool(const char* subKey, const char* value, bool b);

void ReadUserString(const char* subKey, const char* defaultText, const char* value, char (&out)[TEXT_BUFFER_SIZE]);
LONG WriteUserString(const char* subKey, const char* value, const char* text);
int ReadUserInt(const char* subKey, const char* value, int defaultValue);
LONG WriteUserInt(const char* subKey, const char* value, int n);

// Fills the combo box's list from the per-user list `listName`, most recent
// first, and makes the first entry the box's text.
void LoadComboHistory(HWND comboBox, const char* listName);
// Puts the box's text at the head of the list `listName` (at most 9 entries,
// no duplicates, compared case-sensitively).
void SaveComboHistory(HWND comboBox, const char* listName);

// The folder recorded as "Folders"\`name` ("DataFiles" when `name` is null);
// when none is recorded, the install folder (followed by `name` when given).
void GetDataFolder(const char* name, char (&out)[TEXT_BUFFER_SIZE]);

// The MP3 encoder's options from "MP3Encoder" as they are stored, each value
// over its default: what the encoder's dialog shows.
Mp3EncoderSettings ReadStoredMp3EncoderSettings();
// The same with the minimum raised where the maximum asks for it: what the
// encoder is given.
Mp3EncoderSettings ReadMp3EncoderSettings();
// Writes all eight values under "MP3Encoder", as they stand.
void WriteMp3EncoderSettings(const Mp3EncoderSettings& settings);
