// The encoder's command line: what the ripper sends, and what is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "mp3enc/EncoderOptions.h"

namespace {

// Splits at spaces; "_" stands for a space inside an argument.
std::vector<std::string> Arguments(const std::string& line)
{
    std::vector<std::string> arguments = {"mp3enc.exe"};
    std::istringstream words(line);
    for (std::string word; words >> word;)
    {
        for (char& c : word)
            if (c == '_')
                c = ' ';
        arguments.push_back(word);
    }
    return arguments;
}

bool Parse(const std::string& line, EncoderOptions& options, std::string& problem)
{
    const std::vector<std::string> arguments = Arguments(line);
    std::vector<const char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    return ParseEncoderOptions(static_cast<int>(argv.size()), argv.data(), options, problem);
}

TEST(EncoderOptions, TheRippersVariableBitRateLine)
{
    EncoderOptions options;
    std::string problem;
    ASSERT_TRUE(Parse("-m j -v -b 32 -B 128 -V 4 -r -x -s 44.100 -S - C:\\out\\Track_01.mp3", options, problem))
        << problem;
    EXPECT_EQ(ChannelMode::Joint, options.mode);
    EXPECT_TRUE(options.vbr);
    EXPECT_EQ(32, options.bitRate);
    EXPECT_EQ(128, options.maxBitRate);
    EXPECT_EQ(4, options.vbrQuality);
    EXPECT_EQ(44100, options.sampleRate);
    EXPECT_TRUE(options.silent);
    EXPECT_FALSE(options.errorProtection);
    EXPECT_FALSE(options.highQuality);
    EXPECT_FALSE(options.HasTags());
    EXPECT_EQ(2, options.Channels());
    EXPECT_EQ("C:\\out\\Track 01.mp3", options.outputPath);
    EXPECT_EQ(-1, options.frames) << "no count of frames given";
}

// What the ripper will feed, so that an input that ends early makes no file.
TEST(EncoderOptions, TheFramesToExpect)
{
    for (long long frames : {0LL, 35280LL, 999999999999LL})
    {
        EncoderOptions options;
        std::string problem;
        ASSERT_TRUE(Parse("-m j -b 128 -r -x -s 44.100 --frames " + std::to_string(frames) + " -S - o.mp3", options,
                          problem))
            << problem;
        EXPECT_EQ(frames, options.frames);
    }
}

TEST(EncoderOptions, TheRippersConstantBitRateLineWithTagsAnywhere)
{
    EncoderOptions options;
    std::string problem;
    // Tags before and after the output, which follows "-" as the ripper sends it.
    ASSERT_TRUE(Parse("--tn 12 -m m -p --tt Song_One -b 24 -h -r -x -s 22.050 - out.mp3 --ta The_Band --tl Album "
                      "--tv TSRC=USRC17607839",
                      options, problem))
        << problem;
    EXPECT_EQ(ChannelMode::Mono, options.mode);
    EXPECT_EQ(1, options.Channels());
    EXPECT_FALSE(options.vbr);
    EXPECT_EQ(24, options.bitRate);
    EXPECT_TRUE(options.errorProtection);
    EXPECT_TRUE(options.highQuality);
    EXPECT_FALSE(options.silent);
    EXPECT_EQ(22050, options.sampleRate);
    EXPECT_EQ("Song One", options.title);
    EXPECT_EQ("The Band", options.artist);
    EXPECT_EQ("Album", options.album);
    EXPECT_EQ(12, options.track);
    EXPECT_EQ("USRC17607839", options.isrc);
    EXPECT_TRUE(options.HasTags());
    EXPECT_EQ("out.mp3", options.outputPath);
}

TEST(EncoderOptions, ChannelModes)
{
    const std::pair<const char*, ChannelMode> modes[] = {
        {"s", ChannelMode::Stereo}, {"j", ChannelMode::Joint}, {"f", ChannelMode::ForcedJoint}, {"m", ChannelMode::Mono}};
    for (const auto& mode : modes)
    {
        EncoderOptions options;
        std::string problem;
        ASSERT_TRUE(Parse(std::string("-m ") + mode.first + " -b 64 -r -x -s 32.000 -S - o.mp3", options, problem));
        EXPECT_EQ(mode.second, options.mode) << mode.first;
        EXPECT_EQ(mode.second == ChannelMode::Mono ? 1 : 2, options.Channels()) << mode.first;
    }
}

TEST(EncoderOptions, SampleRatesInKilohertz)
{
    const std::pair<const char*, int> rates[] = {{"48.000", 48000}, {"44.100", 44100}, {"44.1", 44100},
                                                 {"32.000", 32000}, {"24.000", 24000}, {"22.050", 22050},
                                                 {"16.000", 16000}, {"12.000", 12000}, {"11.025", 11025},
                                                 {"8.000", 8000},   {"8", 8000}};
    for (const auto& rate : rates)
    {
        EncoderOptions options;
        std::string problem;
        ASSERT_TRUE(Parse(std::string("-m j -b 32 -r -x -s ") + rate.first + " -S - o.mp3", options, problem))
            << rate.first << ": " << problem;
        EXPECT_EQ(rate.second, options.sampleRate) << rate.first;
    }
}

TEST(EncoderOptions, BitRatesOfEachMpegVersion)
{
    const int mpeg1[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    const int mpeg2[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    for (int rate : {32000, 44100, 48000})
        for (int kbps = 0; kbps <= 400; ++kbps)
            EXPECT_EQ(std::count(std::begin(mpeg1), std::end(mpeg1), kbps) == 1, IsMpegBitRate(rate, kbps))
                << rate << " Hz, " << kbps << " kbit/s";
    for (int rate : {8000, 11025, 12000, 16000, 22050, 24000})
        for (int kbps = 0; kbps <= 400; ++kbps)
            EXPECT_EQ(std::count(std::begin(mpeg2), std::end(mpeg2), kbps) == 1, IsMpegBitRate(rate, kbps))
                << rate << " Hz, " << kbps << " kbit/s";
}

struct Refused
{
    const char* line;
    const char* problem;
};

TEST(EncoderOptions, RefusedCommandLines)
{
    const Refused refused[] = {
        {"", "no output file named"},
        {"-m j -b 128 -r -x -s 44.100 -S -", "no output file named"},
        {"-m j -b 128 -r -x -s 44.100 -S - --tt", "no output file named"},
        {"-m j -b 128 -r -x -s 44.100 -S --tt o.mp3", "no output file named"},
        {"-m j -b 128 -r -x -s 44.100 -S - o.mp3 --tt", "--tt needs a value"},
        {"-m j -b 128 -q -r -x -s 44.100 -S - o.mp3", "unknown option -q"},
        {"-m j -b 128 -r -x -s 44.100 -S - o.mp3 extra", "unexpected argument extra"},
        {"-m q -b 128 -r -x -s 44.100 -S - o.mp3", "bad value \"q\" for -m"},
        {"-m jj -b 128 -r -x -s 44.100 -S - o.mp3", "bad value \"jj\" for -m"},
        {"-m j -b 12x -r -x -s 44.100 -S - o.mp3", "bad value \"12x\" for -b"},
        {"-m j -b -128 -r -x -s 44.100 -S - o.mp3", "bad value \"-128\" for -b"},
        {"-m j -b 100 -r -x -s 44.100 -S - o.mp3", "bit rate 100 is not in the MPEG-1 table"},
        {"-m j -b 8 -r -x -s 44.100 -S - o.mp3", "bit rate 8 is not in the MPEG-1 table"},
        {"-m j -b 192 -r -x -s 22.050 -S - o.mp3", "bit rate 192 is not in the MPEG-2 table"},
        {"-m j -b 320 -r -x -s 11.025 -S - o.mp3", "bit rate 320 is not in the MPEG-2.5 table"},
        {"-m j -v -b 32 -B 144 -V 4 -r -x -s 44.100 -S - o.mp3", "bit rate 144 is not in the MPEG-1 table"},
        {"-m j -v -b 128 -B 64 -V 4 -r -x -s 44.100 -S - o.mp3", "the maximum bit rate (-B) is below the minimum (-b)"},
        {"-m j -v -b 32 -B 128 -V 10 -r -x -s 44.100 -S - o.mp3", "bad value \"10\" for -V"},
        {"-m j -v -b 32 -B 128 -r -x -s 44.100 -S - o.mp3", "-v needs -B and -V"},
        {"-m j -v -b 32 -V 2 -r -x -s 44.100 -S - o.mp3", "-v needs -B and -V"},
        {"-m j -b 32 -B 128 -r -x -s 44.100 -S - o.mp3", "-B and -V are for a variable bit rate, with -v"},
        {"-m j -b 32 -V 4 -r -x -s 44.100 -S - o.mp3", "-B and -V are for a variable bit rate, with -v"},
        {"-m j -v -h -b 32 -B 128 -V 4 -r -x -s 44.100 -S - o.mp3", "-h is for a constant bit rate, not with -v"},
        {"-m j -b 128 -r -x -s 44.000 -S - o.mp3", "bad value \"44.000\" for -s"},
        {"-m j -b 128 -r -x -s 44.1000 -S - o.mp3", "bad value \"44.1000\" for -s"},
        {"-m j -b 128 -r -x -s 44100 -S - o.mp3", "bad value \"44100\" for -s"},
        {"-m j -b 128 -r -x -s 44,1 -S - o.mp3", "bad value \"44,1\" for -s"},
        {"-m j -b 128 -r -x -s .100 -S - o.mp3", "bad value \".100\" for -s"},
        {"-b 128 -r -x -s 44.100 -S - o.mp3", "no channel mode (-m)"},
        {"-m j -r -x -s 44.100 -S - o.mp3", "no bit rate (-b)"},
        {"-m j -b 128 -r -x -S - o.mp3", "no sample rate (-s)"},
        {"-m j -b 128 -x -s 44.100 -S - o.mp3", "the input is raw (-r) little-endian (-x) samples on standard input (-)"},
        {"-m j -b 128 -r -s 44.100 -S - o.mp3", "the input is raw (-r) little-endian (-x) samples on standard input (-)"},
        {"-m j -b 128 -r -x -s 44.100 -S o.mp3", "unexpected argument o.mp3"},
        {"-m j -b 128 -r -x -s 44.100 -S --tn 0 - o.mp3", "bad value \"0\" for --tn"},
        {"-m j -b 128 -r -x -s 44.100 -S --tn 256 - o.mp3", "bad value \"256\" for --tn"},
        {"-m j -b 128 -r -x -s 44.100 -S --tv TIT2=Song - o.mp3", "bad value \"TIT2=Song\" for --tv"},
        {"-m j -b 128 -r -x -s 44.100 -S --tv TSRC=GB-AYE-65-00001 - o.mp3",
         "bad value \"TSRC=GB-AYE-65-00001\" for --tv"},
        {"-m j -b 128 -r -x -s 44.100 --frames -5 -S - o.mp3", "bad value \"-5\" for --frames"},
        {"-m j -b 128 -r -x -s 44.100 --frames 35280x -S - o.mp3", "bad value \"35280x\" for --frames"},
        {"-m j -b 128 -r -x -s 44.100 --frames 1000000000000 -S - o.mp3",
         "bad value \"1000000000000\" for --frames"},
        {"-m j -b 128 -r -x -s 44.100 -S - o.mp3 --frames", "--frames needs a value"},
    };
    for (const Refused& r : refused)
    {
        EncoderOptions options;
        std::string problem;
        EXPECT_FALSE(Parse(r.line, options, problem)) << r.line;
        EXPECT_EQ(r.problem, problem) << r.line;
    }
}

TEST(EncoderOptions, TheUsageIsOneLine)
{
    const std::string usage = kEncoderUsage;
    EXPECT_EQ(0u, usage.find("usage: mp3enc "));
    EXPECT_EQ(std::string::npos, usage.find('\n'));
}

} // namespace
