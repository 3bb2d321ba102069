#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "sound/LSinkWorker.h"
#include "sound/RecordingSink.h"

namespace {

// The sink behind the worker: records what it is given, when it is finished
// and moved, and fails from its `nFailAt`th write on (0: never).
class SinkBehind : public RecordingSink
{
public:
    explicit SinkBehind(uint8_t channels = 2, int nFailAt = 0) : RecordingSink(44100, channels), nFailAt(nFailAt) {}
    void Write(const int32_t* frames, int count) override
    {
        if (bError)
        {
            ++nWritesAfterFailure;
            return;
        }
        RecordingSink::Write(frames, count);
        nWrites.fetch_add(1);
        if (static_cast<int>(writeSizes.size()) == nFailAt)
            bError = 1;
    }
    void Seek(int frame) override
    {
        seekAfterFrames = static_cast<int>(samples.size() / nChannels);
        nWritten = frame;
    }
    void Finish() override
    {
        ++nFinished;
        finishAfterFrames = static_cast<int>(samples.size() / nChannels);
    }

    const int nFailAt;
    std::atomic<int> nWrites{0};
    int nWritesAfterFailure = 0;
    int nFinished = 0;
    int finishAfterFrames = -1;
    int seekAfterFrames = -1;
};

std::vector<int32_t> Ramp(int frames, uint8_t channels, int32_t first)
{
    std::vector<int32_t> samples(static_cast<size_t>(frames) * channels);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int32_t>(first + static_cast<int32_t>(i % 60000) * 7);
    return samples;
}

// Sizes that fill the queue several times over: single frames, whole and odd
// blocks, and writes longer than a block.
const int writeSizes[] = {1, BRIDGE_BLOCK_FRAMES, 588 * 27, 3, BRIDGE_BLOCK_FRAMES * 3 + 5, 4000};
const int WRITE_ROUNDS = 12;

TEST(LSinkWorker, DeliversEveryFrameInOrderAndFinishesTheSinkBehindAfterTheLast)
{
    for (uint8_t channels : {uint8_t(2), uint8_t(1)})
    {
        SCOPED_TRACE(testing::Message() << int(channels) << " channels");
        auto* behind = new SinkBehind(channels);
        LCountedPtr<LSinkWorker> worker(new LSinkWorker(LSoundSinkPtr(behind)));
        ASSERT_FALSE(worker->bError);
        EXPECT_EQ(channels, worker->nChannels);
        // The sink behind lags the writer by the queue and the block being copied at most.
        std::atomic<int64_t> issued{0};
        int64_t maxLag = 0;
        behind->onWrite = [&] {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            maxLag = std::max<int64_t>(maxLag, issued.load() - behind->nWritten);
        };
        std::vector<int32_t> expected;
        int32_t first = 0;
        for (int round = 0; round < WRITE_ROUNDS; ++round)
            for (int size : writeSizes)
            {
                const std::vector<int32_t> block = Ramp(size, channels, first++);
                expected.insert(expected.end(), block.begin(), block.end());
                issued += size;
                worker->Write(block.data(), size);
            }
        const int frames = static_cast<int>(expected.size() / channels);
        EXPECT_EQ(frames, worker->nWritten);
        worker->Seek(frames);
        EXPECT_EQ(frames, behind->seekAfterFrames);
        worker->Finish();
        EXPECT_FALSE(worker->bError);
        EXPECT_EQ(1, behind->nFinished);
        EXPECT_EQ(frames, behind->finishAfterFrames);
        EXPECT_TRUE(behind->samples == expected);
        for (int size : behind->writeSizes)
            EXPECT_LE(size, BRIDGE_BLOCK_FRAMES);
        EXPECT_LE(maxLag, int64_t(SINK_WORKER_BLOCKS + 1) * BRIDGE_BLOCK_FRAMES + BRIDGE_BLOCK_FRAMES * 3 + 5);

        // Nothing is taken after the end: it would be lost.
        worker->Write(expected.data(), 1);
        EXPECT_TRUE(worker->bError);
        EXPECT_EQ(frames, static_cast<int>(behind->samples.size() / channels));
    }
}

TEST(LSinkWorker, AFailureBehindSurfacesAtALaterWriteOrAtTheEndAndIsNeverLost)
{
    const int nMany = 3 * SINK_WORKER_BLOCKS;
    const std::vector<int32_t> block = Ramp(BRIDGE_BLOCK_FRAMES, 2, 5);
    struct Case
    {
        int nBlocks;   // written
        int nFailAt;   // the write of the sink behind that fails
        bool bFinish;  // ended by Finish, else by Abandon once the worker has written all
    };
    for (const Case c : {Case{nMany, 1, true}, Case{nMany, SINK_WORKER_BLOCKS + 3, true}, Case{nMany, nMany, true},
                         Case{5, 5, false}})
    {
        SCOPED_TRACE(testing::Message() << "failing at write " << c.nFailAt << " of " << c.nBlocks);
        auto* behind = new SinkBehind(2, c.nFailAt);
        LCountedPtr<LSinkWorker> worker(new LSinkWorker(LSoundSinkPtr(behind)));
        int nAccepted = 0;
        for (int i = 0; i < c.nBlocks && !worker->bError; ++i, ++nAccepted)
            worker->Write(block.data(), BRIDGE_BLOCK_FRAMES);
        if (c.nFailAt < c.nBlocks)
        {
            // The writer learns of it once the queue behind the failure is full, at the latest.
            EXPECT_TRUE(worker->bError);
            EXPECT_LE(nAccepted, c.nFailAt + SINK_WORKER_BLOCKS + 1);
        }
        else
            EXPECT_FALSE(worker->bError);  // the last block fails after its Write
        if (c.bFinish)
            worker->Finish();
        else
        {
            for (int i = 0; i < 5000 && behind->nWrites.load() < c.nFailAt; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            worker->Abandon();
        }
        EXPECT_TRUE(worker->bError);
        EXPECT_EQ(c.nFailAt, behind->nWrites.load());
        EXPECT_EQ(0, behind->nWritesAfterFailure);
        // Finishing a failed sink is its own to refuse; an abandoned one is left to its release.
        EXPECT_EQ(c.bFinish ? 1 : 0, behind->nFinished);
    }
}

TEST(LSinkWorker, AbandonEndsAfterTheBlockBeingWrittenAndDropsTheQueue)
{
    auto* behind = new SinkBehind();
    LSoundSinkPtr keep(behind);
    LCountedPtr<LSinkWorker> worker(new LSinkWorker(keep));
    // The first block holds the worker until the abandon has begun.
    std::mutex gate;
    std::condition_variable opened;
    bool bOpen = false;
    behind->onWrite = [&] {
        std::unique_lock<std::mutex> lock(gate);
        opened.wait(lock, [&] { return bOpen; });
    };
    const std::vector<int32_t> block = Ramp(BRIDGE_BLOCK_FRAMES, 2, 9);
    // The block being written stays in the queue: the queue takes this many without waiting.
    for (int i = 0; i < SINK_WORKER_BLOCKS; ++i)
        worker->Write(block.data(), BRIDGE_BLOCK_FRAMES);
    std::atomic<bool> bAbandoning{false};
    std::thread opener([&] {
        while (!bAbandoning)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::lock_guard<std::mutex> lock(gate);
        bOpen = true;
        opened.notify_all();
    });
    bAbandoning = true;
    worker->Abandon();
    opener.join();
    EXPECT_FALSE(worker->bError);
    EXPECT_EQ(1, behind->nWrites.load());
    EXPECT_EQ(0, behind->nFinished);
    // Ended: a write is refused, and the release leaves the sink behind as it was.
    worker->Write(block.data(), BRIDGE_BLOCK_FRAMES);
    EXPECT_TRUE(worker->bError);
    worker = nullptr;
    EXPECT_EQ(1, behind->nWrites.load());
    EXPECT_EQ(0, behind->nFinished);
}

TEST(LSinkWorker, ReleasedWhileWritingEndsTheWorkerFirst)
{
    auto* behind = new SinkBehind();
    LSoundSinkPtr keep(behind);
    behind->onWrite = [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
    {
        LSoundSinkPtr worker(new LSinkWorker(keep));
        const std::vector<int32_t> block = Ramp(BRIDGE_BLOCK_FRAMES, 2, 1);
        for (int i = 0; i < 2 * SINK_WORKER_BLOCKS; ++i)
            worker->Write(block.data(), BRIDGE_BLOCK_FRAMES);
    }
    // No write reaches the sink behind once the worker's sink is gone.
    const int nWrites = behind->nWrites.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(nWrites, behind->nWrites.load());
    EXPECT_EQ(0, behind->nFinished);
}

TEST(LSinkWorker, ASinkBehindThatFailedFromTheStartIsNeverWritten)
{
    auto* behind = new SinkBehind();
    behind->bError = 1;
    LCountedPtr<LSinkWorker> worker(new LSinkWorker(LSoundSinkPtr(behind)));
    EXPECT_TRUE(worker->bError);
    const std::vector<int32_t> block = Ramp(100, 2, 0);
    worker->Write(block.data(), 100);
    worker->Finish();
    EXPECT_TRUE(worker->bError);
    EXPECT_EQ(0, behind->nWrites.load());
    EXPECT_EQ(0, behind->nWritesAfterFailure);
    EXPECT_EQ(0, behind->nFinished);
}

} // namespace
