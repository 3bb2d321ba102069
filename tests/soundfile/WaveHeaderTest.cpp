#include <gtest/gtest.h>

#include <cstring>

#include "soundfile/WaveHeader.h"

namespace {

uint32_t Get32(const uint8_t* at) { return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24; }
uint16_t Get16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }

TEST(WaveHeader, FinishedAndOpenStateHeaders)
{
    uint8_t header[WAVE_HEADER_SIZE];
    // 16-bit stereo 44100 Hz after 44100 frames.
    MakeWaveHeader(header, 2, 44100, 2, 176400);
    const uint8_t expected[WAVE_HEADER_SIZE] = {
        'R', 'I', 'F', 'F', 0x36, 0xB1, 0x02, 0x00, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
        18, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 0x02, 0x00,
        4, 0, 16, 0, 0, 0, 'd', 'a', 't', 'a', 0x10, 0xB1, 0x02, 0x00};
    EXPECT_EQ(0, memcmp(expected, header, sizeof(header)));
    EXPECT_EQ(176438u, Get32(header + 4));

    // 8-bit mono 11025 Hz, still open.
    MakeWaveHeader(header, 1, 11025, 1, WAVE_SIZE_UNKNOWN);
    EXPECT_EQ(0xFFFFFFFFu, Get32(header + 4));
    EXPECT_EQ(0xFFFFFFFFu, Get32(header + 42));
    EXPECT_EQ(11025u, Get32(header + 28));
    EXPECT_EQ(1, Get16(header + 32));
    EXPECT_EQ(8, Get16(header + 34));
}

} // namespace
