#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "jobs/LSignalObject.h"
#include "sound/LProcessSinkToSource.h"
#include "sound/LSinkToSource.h"
#include "WaitFor.h"

namespace {

constexpr uint32_t STEREO_FRAME_BYTES = 2 * sizeof(int32_t);

// Every sample says where it belongs, so a lost, doubled or swapped byte shows.
int32_t RampSample(uint32_t frame, int channel) { return static_cast<int32_t>(frame * 2 + channel); }

void FillRamp(int32_t* frames, uint32_t first, int count)
{
    for (int i = 0; i < count; ++i)
        for (int c = 0; c < 2; ++c)
            frames[i * 2 + c] = RampSample(first + i, c);
}

// Writes frames [first, first + count) of the stereo ramp in full blocks.
void WriteRamp(LSoundSinkBase& sink, uint32_t first, uint32_t count)
{
    std::vector<int32_t> block(BRIDGE_BLOCK_FRAMES * 2);
    for (uint32_t done = 0; done < count;)
    {
        int n = static_cast<int>(std::min<uint32_t>(BRIDGE_BLOCK_FRAMES, count - done));
        FillRamp(block.data(), first + done, n);
        sink.Write(block.data(), n);
        done += n;
    }
}

// Reads `count` frames and checks them against the ramp from `first`;
// returns how many samples were wrong.
uint32_t ReadRamp(LSoundSourceBase& source, uint32_t first, uint32_t count, int blockFrames)
{
    std::vector<int32_t> block(blockFrames * 2);
    uint32_t nWrong = 0;
    for (uint32_t done = 0; done < count;)
    {
        int n = static_cast<int>(std::min<uint32_t>(blockFrames, count - done));
        source.Read(block.data(), n);
        for (int i = 0; i < n * 2; ++i)
            if (block[i] != RampSample(first + done + i / 2, i % 2) && nWrong++ == 0)
                ADD_FAILURE() << "first wrong sample in frame " << first + done + i / 2;
        done += n;
    }
    return nWrong;
}

bool AllZero(const std::vector<int32_t>& samples, size_t from = 0)
{
    return std::all_of(samples.begin() + from, samples.end(), [](int32_t v) { return v == 0; });
}

LSinkToSourcePtr StereoBridge(uint32_t bucketBytes)
{
    return LSinkToSourcePtr(new LSinkToSourceBase(44100, 2, SAMPLE_PEAK_16BIT, bucketBytes));
}

struct BridgeFormatCase
{
    int32_t rate;
    uint8_t channels;
    uint32_t bucketBytes;
    bool bError;
    int32_t expectedRate;
    uint8_t expectedChannels;
};

const BridgeFormatCase bridgeFormatCases[] = {
    {44100, 2, PLAYER_BUCKET_BYTES, false, 44100, 2},
    {22050, 1, 4097, false, 22050, 1},
    {0, 2, 4097, true, 44100, 2},
    {44100, 0, 4097, true, 44100, 1},
    {44100, 2, 1, true, 44100, 2},
#ifndef _WIN64
    // More than a 32-bit process can ever allocate.
    {44100, 2, 0xFFFFFFF0u, true, 44100, 2},
#endif
};

TEST(LSinkToSource, EndsCarryTheBridgeFormatAndMarkThemselvesConnected)
{
    for (const BridgeFormatCase& c : bridgeFormatCases)
    {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << int(c.channels) << " channels, "
                                        << c.bucketBytes << " bytes");
        LSinkToSourcePtr bridge(new LSinkToSourceBase(c.rate, c.channels, 0x12345, c.bucketBytes));
        EXPECT_EQ(c.expectedChannels * 4u, bridge->nBytesPerFrame);
        EXPECT_FALSE(bridge->bSinkConnected);
        EXPECT_FALSE(bridge->bSourceConnected);
        {
            LSoundSinkPtr sink(new LSinkToSourceSink(bridge));
            LSoundSourcePtr source(new LSinkToSourceSource(bridge));
            EXPECT_EQ(3, bridge->nRefs.load());
            EXPECT_TRUE(bridge->bSinkConnected);
            EXPECT_TRUE(bridge->bSourceConnected);
            EXPECT_EQ(c.bError, bool(sink->bError));
            EXPECT_EQ(c.expectedRate, sink->nSampleRate);
            EXPECT_EQ(c.expectedChannels, sink->nChannels);
            EXPECT_EQ(c.bError, bool(source->bError));
            EXPECT_EQ(c.expectedRate, source->nSampleRate);
            EXPECT_EQ(c.expectedChannels, source->nChannels);
            EXPECT_EQ(0x12345, source->nPeak);
            EXPECT_TRUE(source->IsStreaming());
            sink = nullptr;
            EXPECT_FALSE(bridge->bSinkConnected);
            EXPECT_FALSE(source->IsStreaming());
        }
        EXPECT_FALSE(bridge->bSourceConnected);
        EXPECT_EQ(1, bridge->nRefs.load());
    }
}

TEST(LSinkToSource, TwoSecondsHeldShowAsEndSampleWhileThePositionStaysZero)
{
    LSinkToSourcePtr bridge = StereoBridge(PLAYER_BUCKET_BYTES);
    LSoundSinkPtr sink(new LSinkToSourceSink(bridge));
    LSoundSourcePtr source(new LSinkToSourceSource(bridge));

    WriteRamp(*sink, 0, 88200);
    EXPECT_EQ(705600u, bridge->bucket.GetUsed());
    EXPECT_EQ(88200, sink->nWritten);
    EXPECT_EQ(88200, source->GetEndSample());
    EXPECT_EQ(0, source->GetPosition());
    EXPECT_TRUE(source->IsStreaming());

    EXPECT_EQ(0u, ReadRamp(*source, 0, 1000, 1000));
    EXPECT_EQ(87200, source->GetEndSample());
    EXPECT_EQ(0, source->GetPosition());
    EXPECT_EQ(0u, ReadRamp(*source, 1000, 87200, 4096));
    EXPECT_EQ(0, source->GetEndSample());
}

TEST(LSinkToSource, ThePlayerBucketTakesAllButItsSpareByteThenTheWriterWaitsForTheReader)
{
    constexpr uint32_t framesThatFit = (PLAYER_BUCKET_BYTES - 1) / STEREO_FRAME_BYTES;
    ASSERT_EQ(154350u, framesThatFit);
    LSinkToSourcePtr bridge = StereoBridge(PLAYER_BUCKET_BYTES);
    LSoundSinkPtr sink(new LSinkToSourceSink(bridge));
    LSoundSourcePtr source(new LSinkToSourceSource(bridge));

    LSignalObject writerDone;
    std::thread writer([&] {
        WriteRamp(*sink, 0, framesThatFit + 1);
        writerDone.Set();
    });
    ASSERT_TRUE(WaitFor([&] { return bridge->bucket.GetUsed() == 1234800u; }));
    EXPECT_EQ(0u, bridge->bucket.GetFree());
    // Several of the writer's wait steps pass and it is still waiting for room.
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(writerDone.hSignalObject, 3 * BRIDGE_WRITER_WAIT_MS));
    EXPECT_EQ(static_cast<int>(framesThatFit), source->GetEndSample());

    EXPECT_EQ(0u, ReadRamp(*source, 0, 1, 1));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(writerDone.hSignalObject, 5000));
    writer.join();
    EXPECT_EQ(1234800u, bridge->bucket.GetUsed());
    EXPECT_EQ(0u, ReadRamp(*source, 1, framesThatFit, BRIDGE_BLOCK_FRAMES));
}

TEST(LSinkToSource, ReleasingTheSinkEndWakesAWaitingReaderWhichZeroFillsAndSeesTheEnd)
{
    LSinkToSourcePtr bridge = StereoBridge(PLAYER_BUCKET_BYTES);
    LSoundSinkPtr sink(new LSinkToSourceSink(bridge));
    LSoundSourcePtr source(new LSinkToSourceSource(bridge));
    WriteRamp(*sink, 0, 100);

    std::vector<int32_t> buffer(1000 * 2, 0x7777);
    LSignalObject readerDone;
    std::atomic<DWORD> doneAt{0};
    std::thread reader([&] {
        source->Read(buffer.data(), 1000);
        doneAt = GetTickCount();
        readerDone.Set();
    });
    // The reader has taken what there was and waits for the rest.
    ASSERT_TRUE(WaitFor([&] { return bridge->bucket.GetUsed() == 0; }));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(readerDone.hSignalObject, 100));

    DWORD releasedAt = GetTickCount();
    sink = nullptr;
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(readerDone.hSignalObject, 5000));
    reader.join();
    // Well before the wait step it was in would have run out: it was woken.
    EXPECT_LT(doneAt - releasedAt, BRIDGE_READER_WAIT_MS / 2);

    for (uint32_t i = 0; i < 200; ++i)
        ASSERT_EQ(RampSample(i / 2, i % 2), buffer[i]) << "sample " << i;
    EXPECT_TRUE(AllZero(buffer, 200));
    EXPECT_FALSE(source->IsStreaming());
    EXPECT_EQ(0, source->GetEndSample());

    // From now on every read is answered at once with silence.
    std::fill(buffer.begin(), buffer.end(), 0x7777);
    DWORD start = GetTickCount();
    source->Read(buffer.data(), 1000);
    EXPECT_LT(GetTickCount() - start, BRIDGE_READER_WAIT_MS);
    EXPECT_TRUE(AllZero(buffer));
}

TEST(LSinkToSource, ReleasingTheSourceEndWakesAWriterOnAFullBucketWhichDropsTheRest)
{
    constexpr uint32_t framesThatFit = 1000;
    LSinkToSourcePtr bridge = StereoBridge(framesThatFit * STEREO_FRAME_BYTES + 1);
    LSoundSinkPtr sink(new LSinkToSourceSink(bridge));
    LSoundSourcePtr source(new LSinkToSourceSource(bridge));

    LSignalObject writerDone;
    std::atomic<DWORD> doneAt{0};
    std::thread writer([&] {
        WriteRamp(*sink, 0, 3 * framesThatFit);
        doneAt = GetTickCount();
        writerDone.Set();
    });
    ASSERT_TRUE(WaitFor([&] { return bridge->bucket.GetFree() == 0; }));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(writerDone.hSignalObject, 100));

    DWORD releasedAt = GetTickCount();
    source = nullptr;
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(writerDone.hSignalObject, 5000));
    writer.join();
    EXPECT_LT(doneAt - releasedAt, BRIDGE_WRITER_WAIT_MS + 500);
    EXPECT_FALSE(bridge->bSourceConnected);
    EXPECT_EQ(static_cast<int>(3 * framesThatFit), sink->nWritten);
    EXPECT_EQ(framesThatFit * STEREO_FRAME_BYTES, bridge->bucket.GetUsed());

    // With no reader left, writing never waits.
    DWORD start = GetTickCount();
    WriteRamp(*sink, 0, 100);
    EXPECT_LT(GetTickCount() - start, BRIDGE_WRITER_WAIT_MS);
}

TEST(LSinkToSource, WaitForDataWakesOnAWriteAndOnTheWriterGoing)
{
    LSinkToSourcePtr bridge = StereoBridge(PLAYER_BUCKET_BYTES);
    LSoundSinkPtr sink(new LSinkToSourceSink(bridge));
    LSoundSourcePtr source(new LSinkToSourceSource(bridge));

    EXPECT_EQ(0, source->GetEndSample());
    EXPECT_FALSE(source->WaitForData(50));

    std::thread writer([&] {
        Sleep(100);
        WriteRamp(*sink, 0, 10);
    });
    EXPECT_TRUE(source->WaitForData(5000));
    writer.join();
    EXPECT_EQ(10, source->GetEndSample());
    // Looking at the end resets the event: the next wait is for new frames.
    EXPECT_FALSE(source->WaitForData(50));

    sink = nullptr;
    EXPECT_TRUE(source->WaitForData(5000));
    EXPECT_FALSE(source->IsStreaming());
    EXPECT_EQ(0u, ReadRamp(*source, 0, 10, 10));
}

// Irregular block sizes on both sides and a ring whose size is no multiple of
// a frame, so frames are split at the wrap at every offset and both sides wait
// on each other many times.
TEST(LSinkToSource, AWriterAndAReaderThreadMoveMillionsOfFramesInOrder)
{
    constexpr uint32_t total = 2000000;
    LSinkToSourcePtr bridge = StereoBridge(65537);
    LSoundSinkPtr sink(new LSinkToSourceSink(bridge));
    LSoundSourcePtr source(new LSinkToSourceSource(bridge));

    std::thread writer([&] {
        std::vector<int32_t> block(BRIDGE_BLOCK_FRAMES * 2);
        uint32_t blockFrames = 1;
        for (uint32_t sent = 0; sent < total;)
        {
            int n = static_cast<int>(std::min(blockFrames, total - sent));
            FillRamp(block.data(), sent, n);
            sink->Write(block.data(), n);
            sent += n;
            blockFrames = blockFrames * 37 % BRIDGE_BLOCK_FRAMES + 1;
        }
        sink = nullptr;  // the end of the stream
    });

    std::vector<int32_t> block(BRIDGE_BLOCK_FRAMES * 2);
    uint32_t blockFrames = 3;
    uint32_t nWrong = 0;
    for (uint32_t received = 0; received < total;)
    {
        uint32_t n = std::min(blockFrames, total - received);
        nWrong += ReadRamp(*source, received, n, static_cast<int>(n));
        received += n;
        blockFrames = blockFrames * 53 % BRIDGE_BLOCK_FRAMES + 1;
    }
    EXPECT_EQ(0u, nWrong);

    std::vector<int32_t> tail(64 * 2, 0x7777);
    source->Read(tail.data(), 64);
    writer.join();
    EXPECT_TRUE(AllZero(tail));
    EXPECT_FALSE(source->IsStreaming());
}

// A job record as the bridge's worker expects one. Process writes a ramp into
// Sink, block by block, and returns early once the job is stopped. The
// record is gone when the test looks, so what it reports lives outside it.
struct RampJob
{
    LSoundSinkPtr Sink;
    int64_t nFrames = -1;  // -1: until stopped
    std::atomic<int>* pResult = nullptr;
    std::atomic<int>* pDeleted = nullptr;

    ~RampJob() { ++*pDeleted; }
};

ProcessResult Process(LJobControl& job, RampJob& ramp)
{
    std::vector<int32_t> block(4096 * 2);
    ProcessResult result = Done;
    for (int64_t sent = 0; ramp.nFrames < 0 || sent < ramp.nFrames; sent += 4096)
    {
        if (job.IsStopped())
        {
            result = Stopped;
            break;
        }
        int n = static_cast<int>(ramp.nFrames < 0 ? 4096 : std::min<int64_t>(4096, ramp.nFrames - sent));
        FillRamp(block.data(), static_cast<uint32_t>(sent), n);
        ramp.Sink->Write(block.data(), n);
    }
    *ramp.pResult = result;
    return result;
}

TEST(LProcessSinkToSource, TheJobRunsOnAWorkerAtTheCreatorsPriorityAndItsEndEndsTheStream)
{
    // More than the player's bucket holds, so the job has to wait for the reader.
    constexpr uint32_t rampFrames = 300000;
    std::atomic<int> result{-1};
    std::atomic<int> nDeleted{0};
    LSoundSourcePtr source;
    {
        LProcessSinkToSource<RampJob> bridge(44100, 2, SAMPLE_PEAK_16BIT, PLAYER_BUCKET_BYTES);
        RampJob* job = new RampJob;
        job->Sink = bridge.OpenSink();
        job->nFrames = rampFrames;
        job->pResult = &result;
        job->pDeleted = &nDeleted;
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
        source = bridge.OpenSource(job);
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    }
    auto* worker = static_cast<LProcessSinkToSourceSource<RampJob>*>(source.Get());
    ASSERT_NE(nullptr, worker->hThread);
    EXPECT_EQ(THREAD_PRIORITY_BELOW_NORMAL, GetThreadPriority(worker->hThread));
    EXPECT_FALSE(source->bError);
    EXPECT_EQ(44100, source->nSampleRate);
    EXPECT_EQ(2, source->nChannels);
    EXPECT_EQ(SAMPLE_PEAK_16BIT, source->nPeak);

    EXPECT_EQ(0u, ReadRamp(*source, 0, rampFrames, 4096));
    std::vector<int32_t> tail(4096 * 2, 0x7777);
    source->Read(tail.data(), 4096);
    EXPECT_TRUE(AllZero(tail));
    EXPECT_FALSE(source->IsStreaming());
    EXPECT_EQ(0, source->GetEndSample());
    EXPECT_EQ(Done, result.load());
    EXPECT_EQ(0, nDeleted.load());

    source = nullptr;
    EXPECT_EQ(1, nDeleted.load());
}

TEST(LProcessSinkToSource, DestroyingTheSourceWhileTheJobWaitsOnAFullBucketStopsItPromptly)
{
    constexpr uint32_t framesThatFit = 4096;
    std::atomic<int> result{-1};
    std::atomic<int> nDeleted{0};
    LProcessSinkToSource<RampJob> bridge(44100, 2, SAMPLE_PEAK_16BIT, framesThatFit * STEREO_FRAME_BYTES + 1);
    RampJob* job = new RampJob;
    job->Sink = bridge.OpenSink();
    job->pResult = &result;
    job->pDeleted = &nDeleted;
    LSoundSourcePtr source = bridge.OpenSource(job);
    ASSERT_TRUE(WaitFor([&] { return source->GetEndSample() == static_cast<int>(framesThatFit); }));
    EXPECT_TRUE(source->IsStreaming());

    DWORD start = GetTickCount();
    source = nullptr;
    // Before the 5000 ms after which the thread would be terminated; the
    // job's own answer shows it saw its stop signal and returned.
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_EQ(Stopped, result.load());
    EXPECT_EQ(1, nDeleted.load());
}

} // namespace
