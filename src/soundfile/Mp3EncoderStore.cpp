#include "soundfile/Mp3EncoderStore.h"

#include "settings/RegistryKeys.h"
#include "settings/SettingsStore.h"

Mp3EncoderSettings ReadStoredMp3EncoderSettings()
{
    const char* const key = MP3_ENCODER_SECTION;
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
    const char* const key = MP3_ENCODER_SECTION;
    WriteSettingBool(key, "ConstantBitRate", settings.bConstantBitRate);
    WriteSettingInt(key, "CBRBitRate", settings.nCBRBitRate);
    WriteSettingBool(key, "HighQuality", settings.bHighQuality);
    WriteSettingInt(key, "VBRMinBitRate", settings.nVBRMinBitRate);
    WriteSettingInt(key, "VBRMaxBitRate", settings.nVBRMaxBitRate);
    WriteSettingInt(key, "VBRQuality", settings.nVBRQuality);
    WriteSettingBool(key, "ErrorProtection", settings.bErrorProtection);
    WriteSettingInt(key, "ChannelMode", settings.nChannelMode);
}
