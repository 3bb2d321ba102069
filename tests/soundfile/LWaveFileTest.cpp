// PCM WAV sinks writing real files; the files are left in the build folder
// for an independent reader (tests/soundfile/read_back.py) to check.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "cdrom/VirtualDiscFiles.h"
#include "sound/LSinkConvertChannels.h"
#include "sound/LSinkConvertRate.h"
#include "sound/LoudSignals.h"
#include "soundfile/LWaveFile.h"
#include "soundfile/WavTestFiles.h"

namespace {

// `frames` frames of a ramp that covers the 16-bit range, in the pipeline's form.
std::vector<int32_t> Ramp(int frames, int channels)
{
    std::vector<int32_t> samples(static_cast<size_t>(frames) * channels);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(i * 7919) * 16;
    return samples;
}

void WriteAll(LSoundSinkBase& sink, const std::vector<int32_t>& samples)
{
    const int frames = static_cast<int>(samples.size() / sink.nChannels);
    for (int done = 0; done < frames; done += 8192)
        sink.Write(samples.data() + static_cast<size_t>(done) * sink.nChannels, std::min(8192, frames - done));
}

TEST(LWaveFile, StereoSixteenBitFileOfOneSecond)
{
    const std::string path = OutputFile("stereo-16.wav");
    const std::vector<int32_t> samples = Ramp(44100, 2);
    {
        LSoundSinkPtr sink = LWaveFile::OpenSinkPCM(44100, path.c_str(), 16, 2);
        ASSERT_TRUE(sink);
        ASSERT_FALSE(sink->bError);
        WriteAll(*sink, samples);
        // Still open: both sizes say "unknown".
        const std::vector<BYTE> open = FileBytes(path);
        EXPECT_EQ(0xFFFFFFFFu, Get32(open, 4));
        EXPECT_EQ(0xFFFFFFFFu, Get32(open, 42));
    }
    const std::vector<BYTE> bytes = FileBytes(path);
    ASSERT_EQ(176446u, bytes.size());
    EXPECT_EQ(176438u, Get32(bytes, 4));
    EXPECT_EQ(176400u, Get32(bytes, 28));
    EXPECT_EQ(176400u, Get32(bytes, 42));
    for (size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(static_cast<int16_t>(samples[i] / 16), static_cast<int16_t>(bytes[46 + 2 * i] | bytes[47 + 2 * i] << 8))
            << i;
}

TEST(LWaveFile, MonoEightBitFile)
{
    const std::string path = OutputFile("mono-8.wav");
    {
        LSoundSinkPtr sink = LWaveFile::OpenSinkPCM(11025, path.c_str(), 8, 1);
        ASSERT_TRUE(sink);
        const int32_t samples[6] = {0, 32767 * 16, -32768 * 16, 4096, 524287, -2000000};
        sink->Write(samples, 6);
    }
    const std::vector<BYTE> bytes = FileBytes(path);
    ASSERT_EQ(52u, bytes.size());
    EXPECT_EQ(11025u, Get32(bytes, 28));
    EXPECT_EQ(1, bytes[32]);
    EXPECT_EQ(8, bytes[34]);
    EXPECT_EQ(std::vector<BYTE>({128, 255, 0, 129, 255, 0}), std::vector<BYTE>(bytes.begin() + 46, bytes.end()))
        << "0 is 128, and the 16-bit extremes and what lies beyond them are 8 bits' extremes";
}

// Full-scale CD data through the chain a rip builds into files of every
// format: no sample of the wrong sign, and at 44100 Hz the square's extremes
// read back as the extremes.
TEST(LWaveFile, FullScaleSignalsKeepTheirSignInEveryFileFormat)
{
    for (const LoudFormat& f : loudFormats)
        for (Loud kind : loudKinds)
        {
            const std::string name = std::string("loud-") + LoudName(kind) + "-" + std::to_string(f.rate) + "-" +
                                     std::to_string(f.bits) + "-" + std::to_string(f.channels) + ".wav";
            SCOPED_TRACE(name);
            const std::string path = OutputFile(name.c_str());
            const std::vector<int32_t> data = LoudFrames(kind);
            {
                LSoundSinkPtr file = LWaveFile::OpenSinkPCM(f.rate, path.c_str(), f.bits, f.channels);
                ASSERT_FALSE(file->bError);
                LSoundSinkPtr chain = LSinkConvertChannels::OpenSink(2, LSinkConvertRateBase::OpenSink(LOUD_RATE, file));
                for (int at = 0; at < LOUD_FRAMES; at += BRIDGE_BLOCK_FRAMES)
                    chain->Write(data.data() + 2 * at, std::min(BRIDGE_BLOCK_FRAMES, LOUD_FRAMES - at));
            }
            const std::vector<BYTE> bytes = FileBytes(path);
            ASSERT_EQ(bytes.size(), 46 + Get32(bytes, 42));
            std::vector<int> centred;
            if (f.bits == 8)
                for (size_t i = 46; i < bytes.size(); ++i)
                    centred.push_back(bytes[i] - 128);
            else
                for (size_t i = 46; i + 1 < bytes.size(); i += 2)
                    centred.push_back(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8));

            ExpectLoudSignalKept(kind, f, centred);
        }
}

TEST(LWaveFile, PcmOfUpToSixteenBitsGetsAPcmSink)
{
    const std::string path = OutputFile("refused.wav");
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 44100, 264600, 6, 24, 0};
    EXPECT_FALSE(LWaveFile::OpenSink(path.c_str(), format));
    format = {WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    LSoundSinkPtr sink = LWaveFile::OpenSink(path.c_str(), format);
    ASSERT_TRUE(sink);
    EXPECT_EQ(22050, sink->nSampleRate);
    EXPECT_EQ(1, sink->nChannels);
}

TEST(LWaveFile, ALongerOldFileIsCutAndSeekTruncates)
{
    const std::string path = OutputFile("seek.wav");
    {
        std::ofstream old(path, std::ios::binary);
        old << std::string(100000, 'x');
    }
    {
        LSoundSinkPtr sink = LWaveFile::OpenSinkPCM(44100, path.c_str(), 16, 2);
        EXPECT_EQ(46u, FileBytes(path).size()) << "the old content is gone before the first write";
        WriteAll(*sink, Ramp(1000, 2));
        sink->Seek(2000);  // beyond what was written: nothing changes
        EXPECT_EQ(1000, sink->nWritten);
        sink->Seek(100);
        EXPECT_EQ(100, sink->nWritten);
        EXPECT_EQ(46u + 400, FileBytes(path).size());
        WriteAll(*sink, Ramp(10, 2));
    }
    const std::vector<BYTE> bytes = FileBytes(path);
    EXPECT_EQ(46u + 440, bytes.size());
    EXPECT_EQ(440u, Get32(bytes, 42));
}

TEST(LWaveFile, FinishCompletesTheFileWhileTheSinkLives)
{
    const std::string path = OutputFile("finish.wav");
    {
        LSoundSinkPtr sink = LWaveFile::OpenSinkPCM(44100, path.c_str(), 16, 2);
        WriteAll(*sink, Ramp(100, 2));
        sink->Finish();
        EXPECT_FALSE(sink->bError);
        EXPECT_EQ(400u, Get32(FileBytes(path), 42)) << "not complete before the sink goes";
    }
    EXPECT_EQ(400u, Get32(FileBytes(path), 42));
    DeleteFileA(path.c_str());
}

TEST(LWaveFile, AFileThatCannotBeCreatedFlagsTheSink)
{
    LSoundSinkPtr sink = LWaveFile::OpenSinkPCM(44100, "C:\\no-such-folder\\x.wav", 16, 2);
    ASSERT_TRUE(sink);
    EXPECT_TRUE(sink->bError);
    const std::vector<int32_t> samples = Ramp(10, 2);
    sink->Write(samples.data(), 10);
    EXPECT_TRUE(sink->bError);
}

} // namespace
