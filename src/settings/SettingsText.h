// How the texts of the settings store read as numbers and flags.
#pragma once

// Empty text gives `defaultValue`; otherwise the decimal value of the leading
// digits (white space and one sign may come first; no digits gives 0). Values
// beyond the range of int are clamped to it.
int ParseSettingInt(const char* text, int defaultValue);

// Empty text gives `defaultValue`; otherwise true unless the text starts with '0'.
bool ParseSettingBool(const char* text, bool defaultValue);
