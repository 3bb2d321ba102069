// What the MP3 encoder is fed and told: the input for each bit rate, and its
// command line.
#include <gtest/gtest.h>

#include <string>

#include "files/TextBuffer.h"
#include "soundfile/Mp3Encoder.h"

namespace {

Mp3EncoderSettings Cbr(uint16_t bitRate, uint8_t mode = 1)
{
    Mp3EncoderSettings s = MP3_DEFAULT_SETTINGS;
    s.bConstantBitRate = 1;
    s.nCBRBitRate = bitRate;
    s.nChannelMode = mode;
    return s;
}

Mp3EncoderSettings Vbr(uint16_t low, uint16_t high, uint8_t quality = 4, uint8_t mode = 1)
{
    Mp3EncoderSettings s = MP3_DEFAULT_SETTINGS;
    s.nVBRMinBitRate = low;
    s.nVBRMaxBitRate = high;
    s.nVBRQuality = quality;
    s.nChannelMode = mode;
    return s;
}

// The command line for what the rip offers: 44100 Hz stereo.
std::string CommandLine(const Mp3EncoderSettings& settings, const Mp3Tags* tags = nullptr)
{
    int32_t rate = 0;
    uint8_t channels = 0;
    ChooseMp3Input(settings, 44100, 2, rate, channels);
    char line[MP3_COMMAND_LINE_SIZE];
    EXPECT_TRUE(MakeMp3CommandLine(settings, "C:\\mp3el\\mp3enc.exe", rate, channels, "C:\\out\\Track 01.mp3", tags,
                                   line, sizeof(line)));
    return line;
}

TEST(Mp3Encoder, CommandLinesForTheRipsInput)
{
    Mp3EncoderSettings protectedHq = Cbr(192, 0);
    protectedHq.bErrorProtection = 1;
    protectedHq.bHighQuality = 1;
    const struct
    {
        const char* name;
        Mp3EncoderSettings settings;
        int32_t rate;
        uint8_t channels;
        const char* options;  // between the encoder's path and the output's
    } cases[] = {
        {"the default: VBR 32-128, joint", Vbr(32, 128), 44100, 2, "-m j -v -b 32 -B 128 -V 4 -r -x -s 44.100 -S -"},
        {"CBR 128 asking for mono keeps stereo data", Cbr(128, 3), 44100, 2, "-m s -b 128 -r -x -s 44.100 -S -"},
        {"CBR 16: mono at 22050 Hz", Cbr(16), 22050, 1, "-m m -b 16 -r -x -s 22.050 -S -"},
        {"CBR 24: stereo at 22050 Hz", Cbr(24), 22050, 2, "-m j -b 24 -r -x -s 22.050 -S -"},
        {"VBR 8-320: input follows the minimum", Vbr(8, 320, 2, 0), 22050, 1,
         "-m m -v -b 8 -B 320 -V 2 -r -x -s 22.050 -S -"},
        {"protection and high quality", protectedHq, 44100, 2, "-m s -p -b 192 -h -r -x -s 44.100 -S -"},
        {"an unknown mode counts as joint", Cbr(128, 9), 44100, 2, "-m j -b 128 -r -x -s 44.100 -S -"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        int32_t rate = 0;
        uint8_t channels = 0;
        ChooseMp3Input(c.settings, 44100, 2, rate, channels);
        EXPECT_EQ(c.rate, rate);
        EXPECT_EQ(c.channels, channels);
        EXPECT_EQ(std::string("\"C:\\mp3el\\mp3enc.exe\" ") + c.options + " \"C:\\out\\Track 01.mp3\"",
                  CommandLine(c.settings));
    }
}

TEST(Mp3Encoder, TheFramesToExpectComeBeforeTheOutput)
{
    const struct
    {
        int64_t frames;
        const char* options;
    } cases[] = {
        {-1, "-m j -b 128 -r -x -s 44.100 -S -"},
        {0, "-m j -b 128 -r -x -s 44.100 --frames 0 -S -"},
        {35280, "-m j -b 128 -r -x -s 44.100 --frames 35280 -S -"},
        {int64_t(1) << 33, "-m j -b 128 -r -x -s 44.100 --frames 8589934592 -S -"},
    };
    for (const auto& c : cases)
    {
        char line[MP3_COMMAND_LINE_SIZE];
        EXPECT_TRUE(MakeMp3CommandLine(Cbr(128), "C:\\e.exe", 44100, 2, "C:\\o.mp3", nullptr, line, sizeof(line),
                                       c.frames));
        EXPECT_EQ(std::string("\"C:\\e.exe\" ") + c.options + " \"C:\\o.mp3\"", line);
    }
}

TEST(Mp3Encoder, InputRatesSnapToTheRatesOfMp3Files)
{
    const struct
    {
        int32_t offered;
        Mp3EncoderSettings settings;
        int32_t rate;
    } cases[] = {
        {96000, Cbr(128), 48000}, {48000, Cbr(128), 48000}, {46000, Cbr(128), 44100}, {40000, Cbr(128), 44100},
        {32000, Cbr(128), 32000}, {28000, Cbr(128), 32000}, {23000, Cbr(128), 22050}, {20000, Cbr(128), 22050},
        {16000, Cbr(128), 16000}, {12000, Cbr(128), 11025}, {9000, Cbr(128), 11025}, {6000, Cbr(128), 8000},
        // Above 160 kbit/s only a full rate will do; below 32 at most 22050.
        {22050, Cbr(192), 44100}, {11025, Vbr(32, 256), 44100}, {48000, Cbr(24), 22050},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.offered);
        int32_t rate = 0;
        uint8_t channels = 0;
        ChooseMp3Input(c.settings, c.offered, 2, rate, channels);
        EXPECT_EQ(c.rate, rate);
    }
}

TEST(Mp3Encoder, AHighMaximumRaisesALowMinimum)
{
    Mp3EncoderSettings s = Vbr(8, 192);
    ApplyMp3MinimumRule(s);
    EXPECT_EQ(32, s.nVBRMinBitRate);
    s = Vbr(8, 160);
    ApplyMp3MinimumRule(s);
    EXPECT_EQ(8, s.nVBRMinBitRate);
}

TEST(Mp3Encoder, TagsFollowTheOutputQuotedSafely)
{
    const Mp3Tags tags = {"Say \"Hi\"", "AC\\DC\\", "", 7, "GBAYE6500001"};
    EXPECT_EQ("\"C:\\mp3el\\mp3enc.exe\" -m j -v -b 32 -B 128 -V 4 -r -x -s 44.100 -S - \"C:\\out\\Track 01.mp3\""
              " --tt \"Say \\\"Hi\\\"\" --ta \"AC\\DC\\\\\" --tn 7 --tv \"TSRC=GBAYE6500001\"",
              CommandLine(MP3_DEFAULT_SETTINGS, &tags));
}

TEST(Mp3Encoder, QuotingFollowsTheStartUpCodesRules)
{
    const struct
    {
        const char* text;
        const char* quoted;
    } cases[] = {
        {"plain", "\"plain\""},
        {"two words", "\"two words\""},
        {"", "\"\""},
        {"a\"b", "\"a\\\"b\""},
        {"a\\b", "\"a\\b\""},
        {"a\\\"b", "\"a\\\\\\\"b\""},
        {"ends\\", "\"ends\\\\\""},
        {"ends\\\\", "\"ends\\\\\\\\\""},
        {"\"", "\"\\\"\""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        char out[64] = "";
        ASSERT_TRUE(AppendQuotedArgument(out, sizeof(out), c.text));
        EXPECT_STREQ(c.quoted, out);
    }
    char small[8] = "ab";
    EXPECT_FALSE(AppendQuotedArgument(small, sizeof(small), "too long"));
    EXPECT_STREQ("ab", small) << "a quote that does not fit leaves the text as it was";
}

TEST(Mp3Encoder, TheLongestLineFitsAndALineThatDoesNotIsNotMade)
{
    // Every text at its longest, and made of quotes, which double when escaped.
    const std::string quotes(TEXT_MAX_LENGTH, '"');
    const std::string path = "C:\\" + std::string(TEXT_MAX_LENGTH - 3, 'p');
    const Mp3Tags tags = {quotes.c_str(), quotes.c_str(), quotes.c_str(), 255, nullptr};
    Mp3EncoderSettings settings = Vbr(320, 320, 9);
    settings.bErrorProtection = 1;
    char line[MP3_COMMAND_LINE_SIZE];
    EXPECT_TRUE(MakeMp3CommandLine(settings, path.c_str(), 44100, 2, path.c_str(), &tags, line, sizeof(line)));

    EXPECT_FALSE(MakeMp3CommandLine(MP3_DEFAULT_SETTINGS, "C:\\a\"b.exe", 44100, 2, "C:\\o.mp3", nullptr, line,
                                    sizeof(line)))
        << "a program's path with a quote cannot be given";

    char small[64];
    EXPECT_FALSE(MakeMp3CommandLine(MP3_DEFAULT_SETTINGS, "C:\\e.exe", 44100, 2, "C:\\o.mp3", &tags, small,
                                    sizeof(small)));
    EXPECT_STREQ("", small);
}

} // namespace
