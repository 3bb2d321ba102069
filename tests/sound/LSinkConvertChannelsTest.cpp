#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "sound/LSinkConvertChannels.h"
#include "sound/LSinkConvertRate.h"
#include "sound/RecordingSink.h"

namespace {

enum class Choice
{
    Same,
    StereoToMono,
    MonoToStereo,
    None,
};

struct OpenCase
{
    uint8_t dataChannels;
    uint8_t sinkChannels; // 0: no sink
    Choice choice;
};

const OpenCase openCases[] = {
    {2, 2, Choice::Same},
    {1, 1, Choice::Same},
    {2, 1, Choice::StereoToMono},
    {1, 2, Choice::MonoToStereo},
    {2, 0, Choice::StereoToMono}, // no sink counts as mono
    {1, 0, Choice::Same},         // the empty pointer itself
    {3, 1, Choice::None},
    {2, 6, Choice::None},
    {6, 2, Choice::None},
};

TEST(LSinkConvertChannels, OpenerKeepsAMatchingSinkConvertsMonoAndStereoAndNothingElse)
{
    for (const OpenCase& c : openCases)
    {
        SCOPED_TRACE(testing::Message() << int(c.dataChannels) << " into " << int(c.sinkChannels));
        LSoundSinkPtr sink;
        if (c.sinkChannels)
            sink = new RecordingSink(22050, c.sinkChannels);
        const LSoundSinkPtr opened = LSinkConvertChannels::OpenSink(c.dataChannels, sink);
        switch (c.choice)
        {
        case Choice::Same:
            EXPECT_EQ(sink.Get(), opened.Get());
            break;
        case Choice::StereoToMono:
            EXPECT_NE(nullptr, dynamic_cast<LSinkStereoToMono*>(opened.Get()));
            break;
        case Choice::MonoToStereo:
            EXPECT_NE(nullptr, dynamic_cast<LSinkMonoToStereo*>(opened.Get()));
            break;
        case Choice::None:
            EXPECT_FALSE(opened);
            break;
        }
        if (opened && opened.Get() != sink.Get())
        {
            EXPECT_EQ(c.dataChannels, opened->nChannels);
            EXPECT_EQ(sink ? 22050 : 44100, opened->nSampleRate);
            EXPECT_FALSE(opened->bError);
        }
    }
}

TEST(LSinkConvertChannels, StereoToMonoIsTheMeanRoundedDown)
{
    const int32_t pairs[][3] = {
        // left, right, mono
        {3, 4, 3},
        {-3, -4, -4},
        {-1, 0, -1},
        {1, 0, 0},
        {-5, 2, -2},
        {524272, 524272, 524272},
        {-524288, -524288, -524288},
        {524272, -524288, -8},
        {INT32_MAX, INT32_MAX, INT32_MAX},
        {INT32_MIN, INT32_MIN + 1, INT32_MIN},
    };
    std::vector<int32_t> frames;
    std::vector<int32_t> expected;
    for (const auto& p : pairs)
    {
        frames.insert(frames.end(), {p[0], p[1]});
        expected.push_back(p[2]);
    }
    LCountedPtr<RecordingSink> sink(new RecordingSink(44100, 1));
    LSoundSinkPtr converter = LSinkConvertChannels::OpenSink(2, LSoundSinkPtr(sink));
    converter->Write(frames.data(), int(expected.size()));
    EXPECT_EQ(expected, sink->samples);
    EXPECT_EQ(int(expected.size()), converter->nWritten);
}

TEST(LSinkConvertChannels, MonoToStereoPutsEachSampleOnBothChannels)
{
    const std::vector<int32_t> mono = {0, 1, -1, 524272, -524288, 77};
    LCountedPtr<RecordingSink> sink(new RecordingSink(44100, 2));
    LSoundSinkPtr converter = LSinkConvertChannels::OpenSink(1, LSoundSinkPtr(sink));
    converter->Write(mono.data(), int(mono.size()));
    const std::vector<int32_t> expected = {0, 0, 1, 1, -1, -1, 524272, 524272, -524288, -524288, 77, 77};
    EXPECT_EQ(expected, sink->samples);
}

// The converters pass whole writes on, a block at a time; with nothing
// behind them they count the frames and drop them.
TEST(LSinkConvertChannels, WritesPassInBlocksOrAreDroppedWithoutASink)
{
    const int frames = 20000;
    std::vector<int32_t> stereo(frames * 2);
    for (int i = 0; i < frames * 2; ++i)
        stereo[i] = (i * 7919) % 1048576 - 524288;
    LCountedPtr<RecordingSink> sink(new RecordingSink(44100, 1));
    LSoundSinkPtr converter = LSinkConvertChannels::OpenSink(2, LSoundSinkPtr(sink));
    converter->Write(stereo.data(), 1);
    converter->Write(stereo.data() + 2, frames - 1);
    EXPECT_EQ((std::vector<int>{1, BRIDGE_BLOCK_FRAMES, BRIDGE_BLOCK_FRAMES, frames - 1 - 2 * BRIDGE_BLOCK_FRAMES}),
        sink->writeSizes);
    ASSERT_EQ(size_t(frames), sink->samples.size());
    for (int i = 0; i < frames; ++i)
        ASSERT_EQ((stereo[2 * i] + stereo[2 * i + 1]) >> 1, sink->samples[i]) << i;

    for (uint8_t channels : {1, 2})
    {
        LSoundSinkPtr nowhere = channels == 2 ? LSoundSinkPtr(new LSinkStereoToMono(LSoundSinkPtr()))
                                              : LSoundSinkPtr(new LSinkMonoToStereo(LSoundSinkPtr()));
        nowhere->Write(stereo.data(), 300);
        EXPECT_EQ(300, nowhere->nWritten);
        nowhere->Seek(10);
        EXPECT_EQ(0, nowhere->nWritten);
    }
}

// The rip's chain: channels in front of the rate. A rate pair the rate
// converter refuses (2000 Hz is more than 16 times below 44100) must show at
// the chain's front, or a mono file of that rate would be written empty.
TEST(LSinkConvertChannels, CarriesTheErrorOfARefusedRateBehindIt)
{
    for (uint8_t channels : {1, 2})
    {
        SCOPED_TRACE(static_cast<int>(channels));
        const LSoundSinkPtr file(new RecordingSink(2000, channels));
        const LSoundSinkPtr chain = LSinkConvertChannels::OpenSink(2, LSinkConvertRateBase::OpenSink(44100, file));
        ASSERT_TRUE(chain);
        EXPECT_TRUE(chain->bError);
    }
    const LSoundSinkPtr file(new RecordingSink(22050, 1));
    const LSoundSinkPtr chain = LSinkConvertChannels::OpenSink(2, LSinkConvertRateBase::OpenSink(44100, file));
    EXPECT_FALSE(chain->bError);
}

// A file that fails its first write (a full disk, an encoder that died): the
// front of the chain shows it after the write that reached the file, so that
// the rip writing to it stops.
TEST(LSinkConvertChannels, AFailedWriteBehindTheChainShowsAtItsFront)
{
    const struct
    {
        const char* what;
        int32_t rate;
        uint8_t channels;
    } cases[] = {
        {"stereo to mono", 44100, 1},
        {"a rate converter", 22050, 2},
        {"both, as the MP3 rip at a low bit rate has them", 22050, 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        LCountedPtr<RecordingSink> file(new RecordingSink(c.rate, c.channels));
        RecordingSink* failing = file.Get();
        file->onWrite = [failing] { failing->bError = 1; };
        const LSoundSinkPtr chain =
            LSinkConvertChannels::OpenSink(2, LSinkConvertRateBase::OpenSink(44100, LSoundSinkPtr(file)));
        ASSERT_TRUE(chain);
        EXPECT_FALSE(chain->bError);
        const std::vector<int32_t> frames(2 * 588, 1000);
        chain->Write(frames.data(), 588);
        EXPECT_EQ(1u, file->writeSizes.size());
        EXPECT_TRUE(chain->bError);
    }
}

// A sink whose Seek drops what follows the frame.
class SeekableSink : public RecordingSink
{
public:
    using RecordingSink::RecordingSink;
    void Seek(int frame) override { nWritten = frame; }
};

TEST(LSinkConvertChannels, SeekMovesTheInnerSinkAndTakesItsCount)
{
    for (uint8_t dataChannels : {1, 2})
    {
        LCountedPtr<SeekableSink> sink(new SeekableSink(44100, dataChannels == 2 ? 1 : 2));
        LSoundSinkPtr converter = LSinkConvertChannels::OpenSink(dataChannels, LSoundSinkPtr(sink));
        const std::vector<int32_t> frames(200, 5);
        converter->Write(frames.data(), 100);
        converter->Seek(40);
        EXPECT_EQ(40, sink->nWritten);
        EXPECT_EQ(40, converter->nWritten);
    }
}

} // namespace
