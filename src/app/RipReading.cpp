#include "app/RipReading.h"

#include <cstring>

#include "settings/RegistryKeys.h"
#include "settings/SettingsStore.h"

LRipReading ReadRipReading(const char* driveName)
{
    char mode[TEXT_BUFFER_SIZE];
    ReadSettingString(SETTINGS_SECTION, "Burst", "ReadMode", mode);
    LRipReading reading;
    reading.bSecure = strcmp(mode, "Secure") == 0;
    reading.nCorrectionFrames = ReadDriveCorrection(driveName);
    reading.bOverread = ReadSettingBool(SETTINGS_SECTION, "Overread", false);
    return reading;
}

int32_t ReadDriveCorrection(const char* driveName)
{
    if (!driveName[0])
        return 0;
    const int correction = ReadSettingInt(DRIVES_SECTION, driveName, 0);
    return correction >= -MAX_READ_OFFSET_FRAMES && correction <= MAX_READ_OFFSET_FRAMES ? correction : 0;
}

void WriteDriveCorrection(const char* driveName, int32_t correction)
{
    if (driveName[0])
        WriteSettingInt(DRIVES_SECTION, driveName, correction);
}
