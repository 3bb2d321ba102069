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

// The common compressed header: an IMA ADPCM record (22050 Hz stereo, blocks
// of 1024 bytes holding 1017 frames) with cbSize 2.
TEST(WaveHeader, ACodecRecordWithTwoExtraBytes)
{
    const uint8_t record[20] = {0x11, 0, 2, 0, 0x22, 0x56, 0, 0, 0xB9, 0x56, 0, 0, 0x00, 0x04, 4, 0, 2, 0, 0xF9, 0x03};
    ASSERT_EQ(2, WaveRecordExtraSize(record));
    ASSERT_EQ(48u, WaveHeaderSize(2));
    uint8_t header[48];
    // 100000 codec bytes: RIFF 38 + 2 + 100000.
    MakeWaveHeader(header, record, 100000);
    const uint8_t expected[48] = {
        'R', 'I', 'F', 'F', 0xC8, 0x86, 0x01, 0x00, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
        20, 0, 0, 0, 0x11, 0, 2, 0, 0x22, 0x56, 0, 0, 0xB9, 0x56, 0, 0,
        0x00, 0x04, 4, 0, 2, 0, 0xF9, 0x03, 'd', 'a', 't', 'a', 0xA0, 0x86, 0x01, 0x00};
    EXPECT_EQ(0, memcmp(expected, header, sizeof(header)));

    MakeWaveHeader(header, record, WAVE_SIZE_UNKNOWN);
    EXPECT_EQ(0xFFFFFFFFu, Get32(header + 4));
    EXPECT_EQ(0, memcmp("data", header + 40, 4));
    EXPECT_EQ(0xFFFFFFFFu, Get32(header + 44));
}

// What a codec is fed: 16-bit PCM at its record's channels and rate.
TEST(WaveHeader, PcmRecords)
{
    const struct
    {
        uint16_t channels;
        uint32_t rate;
        uint16_t bytesPerSample;
        uint8_t record[WAVE_RECORD_BASE_SIZE];
    } cases[] = {
        {2, 44100, 2, {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 0, 0}},
        {1, 8000, 2, {1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0, 2, 0, 16, 0, 0, 0}},
        {1, 11025, 1, {1, 0, 1, 0, 0x11, 0x2B, 0, 0, 0x11, 0x2B, 0, 0, 1, 0, 8, 0, 0, 0}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.rate);
        uint8_t record[WAVE_RECORD_BASE_SIZE];
        MakePcmRecord(record, c.channels, c.rate, c.bytesPerSample);
        EXPECT_EQ(0, memcmp(c.record, record, sizeof(record)));
    }
}

} // namespace
