// The compressed-WAV sink with the system's audio compression manager and
// the codecs it has: the file's layout, its sizes, and the formats and codecs
// that fail.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "cdrom/VirtualDiscFiles.h"
#include "soundfile/CodecRecords.h"
#include "soundfile/LSNKACMFile.h"
#include "soundfile/LWaveFile.h"
#include "soundfile/WavTestFiles.h"
#include "soundfile/StallingCodec.h"

namespace {

int16_t Get16(const std::vector<BYTE>& b, size_t at) { return static_cast<int16_t>(b[at] | b[at + 1] << 8); }

const double PI = 3.14159265358979323846;

// `frames` frames of a 440 Hz tone at half scale (the right channel a
// quarter period on), in the pipeline's form.
std::vector<int32_t> Tone(int frames, int channels, int rate)
{
    std::vector<int32_t> samples;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples.push_back(SampleFrom16(static_cast<int16_t>(16384 * std::sin(2 * PI * 440 * i / rate + c * PI / 2))));
    return samples;
}

void WriteAll(LSoundSinkBase& sink, const std::vector<int32_t>& samples)
{
    const int frames = static_cast<int>(samples.size() / sink.nChannels);
    for (int done = 0; done < frames; done += BRIDGE_BLOCK_FRAMES)
        sink.Write(samples.data() + static_cast<size_t>(done) * sink.nChannels,
                   std::min(BRIDGE_BLOCK_FRAMES, frames - done));
}

TEST(LSNKACMFile, ACodecFileHasTheRecordAsItsFormatAndItsSizesOnceFinished)
{
    // IMA ADPCM, 22050 Hz stereo: cbSize 2, blocks of 1024 bytes holding 1017 frames.
    const LWaveFormatRecord record = ListedRecord(WAVE_FORMAT_IMA_ADPCM, 2, 22050);
    ASSERT_EQ(WAVE_FORMAT_IMA_ADPCM, record.Format.wFormatTag);
    ASSERT_EQ(2, record.Format.cbSize);
    ASSERT_EQ(1024, record.Format.nBlockAlign);
    const std::string path = OutputFile("ima-adpcm-22050.wav");
    LSoundSinkPtr sink = LWaveFile::OpenSink(path.c_str(), record.Format);
    ASSERT_FALSE(sink->bError);
    EXPECT_EQ(22050, sink->nSampleRate);
    EXPECT_EQ(2, sink->nChannels);
    WriteAll(*sink, Tone(22050, 2, 22050));
    EXPECT_EQ(22050, sink->nWritten);

    std::vector<BYTE> bytes = FileBytes(path);
    ASSERT_GE(bytes.size(), 48u);
    EXPECT_EQ("RIFF", std::string(bytes.begin(), bytes.begin() + 4));
    EXPECT_EQ(0xFFFFFFFFu, Get32(bytes, 4)) << "still open";
    EXPECT_EQ("WAVEfmt ", std::string(bytes.begin() + 8, bytes.begin() + 16));
    EXPECT_EQ(20u, Get32(bytes, 16)) << "the format block: 18 bytes and cbSize";
    EXPECT_TRUE(std::equal(record.bytes, record.bytes + 20, bytes.begin() + 20));
    EXPECT_EQ("data", std::string(bytes.begin() + 40, bytes.begin() + 44));
    EXPECT_EQ(0xFFFFFFFFu, Get32(bytes, 44));
    EXPECT_EQ(0u, (bytes.size() - 48) % 1024) << "whole blocks from offset 48";

    sink->Finish();
    EXPECT_FALSE(sink->bError);
    bytes = FileBytes(path);
    // 22050 frames fill 21 blocks and start a 22nd, which silence completes.
    ASSERT_EQ(48u + 22 * 1024, bytes.size());
    EXPECT_EQ(40u + 22 * 1024, Get32(bytes, 4));
    EXPECT_EQ(22u * 1024, Get32(bytes, 44));
    // Each block starts with the first frame it codes.
    const std::vector<int32_t> tone = Tone(22050, 2, 22050);
    for (int block = 0; block < 22; ++block)
    {
        EXPECT_EQ(SampleTo16(tone[2 * 1017 * block]), Get16(bytes, 48 + 1024 * block)) << block;
        EXPECT_EQ(SampleTo16(tone[2 * 1017 * block + 1]), Get16(bytes, 48 + 1024 * block + 4)) << block;
    }
    sink = nullptr;
    EXPECT_EQ(bytes, FileBytes(path)) << "the file is not touched after Finish";
}

TEST(LSNKACMFile, AudioShorterThanOneBlockArrivesThroughTheFinalConversion)
{
    // IMA ADPCM, 44100 Hz stereo: 2041 frames to a block of 2048 bytes.
    const LWaveFormatRecord record = ListedRecord(WAVE_FORMAT_IMA_ADPCM, 2, 44100);
    ASSERT_EQ(2048, record.Format.nBlockAlign);
    const std::string path = OutputFile("ima-adpcm-short.wav");
    LSoundSinkPtr sink = LWaveFile::OpenSink(path.c_str(), record.Format);
    const std::vector<int32_t> tone = Tone(500, 2, 44100);
    WriteAll(*sink, tone);
    EXPECT_EQ(48u, FileBytes(path).size()) << "the codec holds less than a block";
    sink->Finish();
    EXPECT_FALSE(sink->bError);
    const std::vector<BYTE> bytes = FileBytes(path);
    ASSERT_EQ(48u + 2048, bytes.size());
    EXPECT_EQ(2048u, Get32(bytes, 44));
    EXPECT_EQ(SampleTo16(tone[0]), Get16(bytes, 48));
    EXPECT_EQ(SampleTo16(tone[1]), Get16(bytes, 52));
}

TEST(LSNKACMFile, AFormatNoCodecWritesLeavesNoFileAndAnOlderOneUntouched)
{
    WAVEFORMATEX msAdpcm = ListedRecord(WAVE_FORMAT_ADPCM, 2, 44100).Format;
    LWaveFormatRecord oversized = ListedRecord(WAVE_FORMAT_IMA_ADPCM, 2, 44100);
    oversized.Format.cbSize = 1007;  // one byte more than the record holds
    const LWaveFormatRecord craftedIma = CraftedImaAdpcmRecord();
    const LWaveFormatRecord craftedMuLaw = CraftedMuLawRecord();
    const struct
    {
        const char* name;
        const WAVEFORMATEX& format;
    } cases[] = {
        // Wine's Microsoft ADPCM codec decodes only.
        {"Microsoft ADPCM", msAdpcm},
        {"a tag no codec knows", WAVEFORMATEX{0x2222, 2, 44100, 44100, 4, 8, 0}},
        {"more codec bytes than the record holds", oversized.Format},
        {"no channels", WAVEFORMATEX{WAVE_FORMAT_IMA_ADPCM, 0, 44100, 22000, 1024, 4, 2}},
        // Records whose blocks are not the codec's, which would overrun the destination.
        {"IMA ADPCM with a block alignment of 1", craftedIma.Format},
        {"mu-law stereo with a block alignment of 1", craftedMuLaw.Format},
    };
    ASSERT_EQ(WAVE_FORMAT_ADPCM, msAdpcm.wFormatTag);
    const std::string path = OutputFile("refused-codec.wav");
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        DeleteFileA(path.c_str());
        {
            LSoundSinkPtr sink = LWaveFile::OpenSink(path.c_str(), c.format);
            ASSERT_TRUE(sink);
            EXPECT_TRUE(sink->bError);
            WriteAll(*sink, Tone(100, sink->nChannels, 44100));
            EXPECT_EQ(100, sink->nWritten);
        }
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));

        {
            std::ofstream older(path, std::ios::binary);
            older << "an older file";
        }
        LWaveFile::OpenSink(path.c_str(), c.format);
        const std::vector<BYTE> bytes = FileBytes(path);
        EXPECT_EQ("an older file", std::string(bytes.begin(), bytes.end()));
    }
    DeleteFileA(path.c_str());
}

TEST(LSNKACMFile, AFileThatCannotBeCreatedFlagsTheSink)
{
    LSoundSinkPtr sink =
        LWaveFile::OpenSink("C:\\no-such-folder\\x.wav", ListedRecord(WAVE_FORMAT_MULAW, 2, 44100).Format);
    ASSERT_TRUE(sink);
    EXPECT_TRUE(sink->bError);
    WriteAll(*sink, Tone(10000, 2, 44100));
    sink->Finish();
    EXPECT_TRUE(sink->bError);
}

TEST(LSNKACMFile, ACodecThatStopsTakingInputFailsTheFile)
{
    // It takes 10000 frames of 16-bit stereo, then nothing.
    StallingCodec codec(40000);
    ASSERT_NE(nullptr, codec.id);
    const WAVEFORMATEX record = StallingCodec::Record(2, 44100);
    const std::string path = OutputFile("stalling.wav");
    LSoundSinkPtr sink = LWaveFile::OpenSink(path.c_str(), record);
    ASSERT_FALSE(sink->bError);
    const std::vector<int32_t> tone = Tone(3 * 8192, 2, 44100);
    sink->Write(tone.data(), 8192);
    EXPECT_FALSE(sink->bError) << "the codec still takes what it is given";
    sink->Write(tone.data() + 2 * 8192, 8192);
    sink->Write(tone.data() + 4 * 8192, 8192);
    EXPECT_TRUE(sink->bError) << "the rest of a write was dropped without a word";
    EXPECT_EQ(3 * 8192, sink->nWritten);
    sink->Finish();
    EXPECT_TRUE(sink->bError);
    const std::vector<BYTE> bytes = FileBytes(path);
    ASSERT_EQ(46u + 40000, bytes.size()) << "what the codec took is in the file";
    EXPECT_EQ(40000u, Get32(bytes, 42));
    sink = nullptr;
    DeleteFileA(path.c_str());
}

} // namespace
