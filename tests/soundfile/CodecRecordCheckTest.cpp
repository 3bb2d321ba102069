// The checks of a codec format record read from a file, and the room a
// conversion's destination gets.
#include <gtest/gtest.h>

#include "soundfile/CodecRecordCheck.h"

namespace {

// Records as the IMA ADPCM and mu-law codecs suggest them for stereo.
constexpr WaveRecordFields IMA_STEREO_44100 = {0x11, 2, 44100, 44251, 2048, 4, 2};
constexpr WaveRecordFields MULAW_STEREO_8000 = {7, 2, 8000, 16000, 2, 8, 0};

TEST(CodecRecordCheck, OnlyARecordAsTheCodecSuggestsItIsTaken)
{
    const struct
    {
        const char* name;
        WaveRecordFields record;
        WaveRecordFields suggested;
        bool bTaken;
    } cases[] = {
        {"IMA ADPCM as suggested", IMA_STEREO_44100, IMA_STEREO_44100, true},
        {"mu-law as suggested", MULAW_STEREO_8000, MULAW_STEREO_8000, true},
        // The crafted record: 5 bytes of destination for 32,768 of source.
        {"IMA ADPCM with a block alignment of 1", {0x11, 2, 44100, 44251, 1, 4, 2}, IMA_STEREO_44100, false},
        {"IMA ADPCM with another byte rate", {0x11, 2, 44100, 88200, 2048, 4, 2}, IMA_STEREO_44100, false},
        {"mu-law stereo with a block alignment of 1", {7, 2, 8000, 16000, 1, 8, 0}, MULAW_STEREO_8000, false},
        {"a suggestion of another tag", IMA_STEREO_44100, {1, 2, 44100, 44251, 2048, 4, 2}, false},
        {"a suggestion of other channels", IMA_STEREO_44100, {0x11, 1, 44100, 44251, 2048, 4, 2}, false},
        {"a suggestion of another rate", IMA_STEREO_44100, {0x11, 2, 22050, 44251, 2048, 4, 2}, false},
        {"all zero", {0x11, 0, 0, 0, 0, 0, 0}, {0x11, 0, 0, 0, 0, 0, 0}, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.bTaken, RecordAgreesWithSuggestion(c.record, c.suggested));
    }
}

TEST(CodecRecordCheck, TheRecordIsReadLittleEndian)
{
    const uint8_t bytes[18] = {0x11, 0, 2, 0, 0x44, 0xAC, 0, 0, 0xDB, 0xAC, 0, 0, 0, 8, 4, 0, 2, 0};
    const WaveRecordFields f = ReadWaveRecord(bytes);
    EXPECT_EQ(0x11, f.nTag);
    EXPECT_EQ(2, f.nChannels);
    EXPECT_EQ(44100u, f.nRate);
    EXPECT_EQ(44251u, f.nByteRate);
    EXPECT_EQ(2048, f.nBlockAlign);
    EXPECT_EQ(4, f.nBits);
    EXPECT_EQ(2, f.nExtraSize);
}

TEST(CodecRecordCheck, TheDestinationHasRoomToSpareOrNoneForAnAnswerOutOfBounds)
{
    const struct
    {
        uint32_t reported, size;
    } cases[] = {
        {0, 0},
        // The 5 bytes the codec reported for the crafted record; it wrote 2,051.
        {5, 5 + 1 + 4096},
        {8192, 8192 + 2048 + 4096},
        {CODEC_DESTINATION_MAX, CODEC_DESTINATION_MAX + CODEC_DESTINATION_MAX / 4 + 4096},
        {CODEC_DESTINATION_MAX + 1, 0},
        {0xFFFFFFFF, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.reported);
        EXPECT_EQ(c.size, CodecDestinationSize(c.reported));
    }
    EXPECT_TRUE(IsConversionInside(4102, 4102));
    EXPECT_FALSE(IsConversionInside(4103, 4102));
}

} // namespace
