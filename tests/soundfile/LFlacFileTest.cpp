// The FLAC sink writing real files. The files of the format table are left in
// the build folder beside the WAV sink's files of the same audio, for Debian's
// flac, an independent decoder, to compare (tests/soundfile/flac_files_decode.py).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "cdrom/VirtualDiscFiles.h"
#include "sound/LSinkConvertChannels.h"
#include "sound/LSinkConvertRate.h"
#include "sound/LSinkWorker.h"
#include "soundfile/LFlacFile.h"
#include "soundfile/LWaveFile.h"

namespace {

// 21 s: seek points at 0, 10 and 20 s.
constexpr int SIGNAL_FRAMES = 21 * 44100;
const FlacTrackTags NO_TAGS = {};

std::string FlacFile(const std::string& name)
{
    const std::string folder = ProgramFolder() + "\\flac-files";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\" + name;
}

// Two tones and a little of a ramp, at 44100 Hz stereo, as a disc gives them.
std::vector<int32_t> Signal()
{
    std::vector<int32_t> samples(2 * static_cast<size_t>(SIGNAL_FRAMES));
    for (int i = 0; i < SIGNAL_FRAMES; ++i)
    {
        samples[2 * i] = static_cast<int32_t>(9000 * std::sin(i * 0.0627) + (i % 97)) * 16;
        samples[2 * i + 1] = static_cast<int32_t>(12000 * std::sin(i * 0.0213) - (i % 31)) * 16;
    }
    return samples;
}

// Through the converters a rip puts in front of its file.
void WriteThroughConverters(const LSoundSinkPtr& file, const std::vector<int32_t>& samples)
{
    LSoundSinkPtr chain = LSinkConvertChannels::OpenSink(2, LSinkConvertRateBase::OpenSink(44100, file));
    ASSERT_TRUE(chain);
    for (int at = 0; at < SIGNAL_FRAMES; at += BRIDGE_BLOCK_FRAMES)
        chain->Write(samples.data() + 2 * static_cast<size_t>(at), std::min(BRIDGE_BLOCK_FRAMES, SIGNAL_FRAMES - at));
}

// STREAMINFO's total samples: 36 bits after the rate, channels and bits.
uint64_t TotalSamples(const std::vector<BYTE>& bytes)
{
    uint64_t bits = 0;
    for (int i = 18; i < 26; ++i)
        bits = bits << 8 | bytes[i];
    return bits & 0xFFFFFFFFFull;
}

TEST(LFlacFile, EveryConverterFormatIsWrittenAsTheWaveSinkWritesIt)
{
    const struct
    {
        int32_t rate;
        uint8_t channels;
    } formats[] = {{44100, 2}, {22050, 1}, {48000, 2}};
    const std::vector<int32_t> samples = Signal();
    for (const auto& f : formats)
    {
        const std::string name = std::to_string(f.rate) + "-" + std::to_string(f.channels);
        SCOPED_TRACE(name);
        const std::string flac = FlacFile(name + ".flac");
        const int64_t expected = static_cast<int64_t>(SIGNAL_FRAMES) * f.rate / 44100;
        LCountedPtr<LSNKFlacFile> sink(new LSNKFlacFile(flac.c_str(), f.rate, f.channels, FLAC_LEVEL_DEFAULT, NO_TAGS,
                                                        expected));
        ASSERT_FALSE(sink->bError);
        WriteThroughConverters(LSoundSinkPtr(sink.Get()), samples);
        sink->Finish();
        EXPECT_FALSE(sink->bError);
        WriteThroughConverters(LWaveFile::OpenSinkPCM(f.rate, FlacFile(name + ".wav").c_str(), 16, f.channels),
                               samples);

        const std::vector<BYTE> bytes = FileBytes(flac);
        ASSERT_GT(bytes.size(), 26u);
        EXPECT_EQ(0, memcmp(bytes.data(), "fLaC", 4));
        // Finishing went back to STREAMINFO and wrote what arrived.
        EXPECT_EQ(static_cast<uint64_t>(sink->nWritten), TotalSamples(bytes));
        EXPECT_LT(bytes.size(), static_cast<size_t>(sink->nWritten) * 2 * f.channels) << "nothing was compressed";
    }
}

// A caller may hand more than a bridge block at once (a whole read of the
// drive): the file is the one block-by-block writes make.
TEST(LFlacFile, AWriteOfManyBlocksIsTheSameFileAsOneBlockAtATime)
{
    const std::vector<int32_t> samples = Signal();
    const std::string whole = FlacFile("whole.flac");
    const std::string blocks = FlacFile("blocks.flac");
    {
        LSNKFlacFile sink(whole.c_str(), 44100, 2, FLAC_LEVEL_DEFAULT, NO_TAGS, SIGNAL_FRAMES);
        sink.Write(samples.data(), SIGNAL_FRAMES);
        sink.Finish();
        EXPECT_FALSE(sink.bError);
    }
    {
        LSNKFlacFile sink(blocks.c_str(), 44100, 2, FLAC_LEVEL_DEFAULT, NO_TAGS, SIGNAL_FRAMES);
        for (int at = 0; at < SIGNAL_FRAMES; at += BRIDGE_BLOCK_FRAMES)
            sink.Write(samples.data() + 2 * static_cast<size_t>(at), std::min(BRIDGE_BLOCK_FRAMES, SIGNAL_FRAMES - at));
        sink.Finish();
        EXPECT_FALSE(sink.bError);
    }
    EXPECT_EQ(FileBytes(blocks), FileBytes(whole));
    DeleteFileA(whole.c_str());
    DeleteFileA(blocks.c_str());
}

// The rip encodes on a worker beside its reads: the file is the one the sink
// writes alone, finished only after the last block, and a sink that cannot
// write fails the worker's sink too.
TEST(LFlacFile, OnAWorkerTheFileIsTheSameAndAFailureStillShows)
{
    const std::vector<int32_t> samples = Signal();
    const std::string alone = FlacFile("alone.flac");
    const std::string worked = FlacFile("worked.flac");
    const auto writeBlocks = [&](LSoundSinkBase& sink) {
        for (int at = 0; at < SIGNAL_FRAMES; at += BRIDGE_BLOCK_FRAMES)
            sink.Write(samples.data() + 2 * static_cast<size_t>(at), std::min(BRIDGE_BLOCK_FRAMES, SIGNAL_FRAMES - at));
        sink.Finish();
    };
    {
        LSNKFlacFile sink(alone.c_str(), 44100, 2, FLAC_LEVEL_DEFAULT, NO_TAGS, SIGNAL_FRAMES);
        writeBlocks(sink);
        EXPECT_FALSE(sink.bError);
    }
    {
        LSinkWorker worker(
            LSoundSinkPtr(new LSNKFlacFile(worked.c_str(), 44100, 2, FLAC_LEVEL_DEFAULT, NO_TAGS, SIGNAL_FRAMES)));
        writeBlocks(worker);
        EXPECT_FALSE(worker.bError);
        // Finished: the file is closed and whole before the worker's sink goes.
        EXPECT_EQ(FileBytes(alone), FileBytes(worked));
    }
    DeleteFileA(alone.c_str());
    DeleteFileA(worked.c_str());
    for (const char* path : {"Z:\\dev\\full", "C:\\no-such-folder\\x.flac"})
    {
        SCOPED_TRACE(path);
        LSinkWorker worker(LSoundSinkPtr(new LSNKFlacFile(path, 44100, 2, FLAC_LEVEL_DEFAULT, NO_TAGS, 0)));
        writeBlocks(worker);
        EXPECT_TRUE(worker.bError);
    }
}

// A full disk (Linux's /dev/full, where every write fails as a full disk
// does), a file that cannot be created, and a seek back all fail the sink.
TEST(LFlacFile, AWriteThatFailsFailsTheSink)
{
    const std::vector<int32_t> samples = Signal();
    for (const char* path : {"Z:\\dev\\full", "C:\\no-such-folder\\x.flac"})
    {
        SCOPED_TRACE(path);
        LSNKFlacFile sink(path, 44100, 2, FLAC_LEVEL_DEFAULT, NO_TAGS, 0);
        for (int at = 0; at < 4 * BRIDGE_BLOCK_FRAMES; at += BRIDGE_BLOCK_FRAMES)
            sink.Write(samples.data() + 2 * static_cast<size_t>(at), BRIDGE_BLOCK_FRAMES);
        sink.Finish();
        EXPECT_TRUE(sink.bError);
    }
    const std::string path = FlacFile("seek.flac");
    {
        LSNKFlacFile sink(path.c_str(), 44100, 2, FLAC_LEVEL_DEFAULT, NO_TAGS, 0);
        sink.Write(samples.data(), 1000);
        sink.Seek(2000);
        EXPECT_FALSE(sink.bError) << "a seek past the end drops nothing";
        sink.Seek(500);
        EXPECT_TRUE(sink.bError) << "encoded audio cannot be taken back";
    }
    DeleteFileA(path.c_str());
}

} // namespace
