// How a rip reads the drive, as the user set it: burst or secure, the
// drive's read offset correction (stored by the drive's name) and whether
// to read into the lead-in and lead-out.
#pragma once

#include <cstdint>
#include <cstdlib>

// The largest correction taken, either way (100 sectors): real drives lie
// within a few thousand frames.
constexpr int32_t MAX_READ_OFFSET_FRAMES = 58800;
// The sub-key of the corrections, one value per drive name.
constexpr const char* DRIVES_SECTION = "Drives";

struct LRipReading
{
    bool bSecure;
    int32_t nCorrectionFrames;
    bool bOverread;
};

// The settings for the drive of that name ("" for a drive that gave none:
// no correction).
LRipReading ReadRipReading(const char* driveName);
// The drive's stored correction, 0 when none or out of range.
int32_t ReadDriveCorrection(const char* driveName);
void WriteDriveCorrection(const char* driveName, int32_t correction);

// A correction as the user types it: a whole number, with or without a sign,
// from -MAX_READ_OFFSET_FRAMES to MAX_READ_OFFSET_FRAMES, spaces around it
// allowed.
inline bool ParseReadOffset(const char* text, int32_t& frames)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text)
        return false;
    while (*end == ' ')
        ++end;
    if (*end != '\0' || value < -MAX_READ_OFFSET_FRAMES || value > MAX_READ_OFFSET_FRAMES)
        return false;
    frames = static_cast<int32_t>(value);
    return true;
}
