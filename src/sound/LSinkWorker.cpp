#include "sound/LSinkWorker.h"

#include <algorithm>
#include <cstring>
#include <system_error>

LSinkWorker::LSinkWorker(const LSoundSinkPtr& sink)
    : LSoundSinkBase(sink ? sink->nSampleRate : DEFAULT_SAMPLE_RATE, sink ? sink->nChannels : 1), inner(sink)
{
    if (!inner || inner->bError)
    {
        bError = 1;
        bEnded = true;
        return;
    }
    samples.reset(new int32_t[static_cast<size_t>(SINK_WORKER_BLOCKS) * BRIDGE_BLOCK_FRAMES * nChannels]);
    try
    {
        worker = std::thread(&LSinkWorker::Run, this);
    }
    catch (const std::system_error&)
    {
        // Out of threads: the writer does the work itself, as without a worker.
        bDirect = true;
    }
}

LSinkWorker::~LSinkWorker() { Abandon(); }

int32_t* LSinkWorker::Block(int slot) const
{
    return samples.get() + static_cast<size_t>(slot) * BRIDGE_BLOCK_FRAMES * nChannels;
}

void LSinkWorker::Write(const int32_t* frames, int count)
{
    nWritten += count;
    // Nothing is written after the end: frames that come then are lost.
    if (bEnded && count > 0)
        bError = 1;
    if (bEnded || bError || count <= 0)
        return;
    if (bDirect)
    {
        inner->Write(frames, count);
        if (inner->bError)
            bError = 1;
        return;
    }
    for (int done = 0; done < count;)
    {
        const int block = std::min(count - done, BRIDGE_BLOCK_FRAMES);
        int slot;
        {
            std::unique_lock<std::mutex> lock(mutex);
            // A full queue is waited on until half of it is free, not block
            // by block: under Wine each wake is a round trip to its server.
            if (nQueued == SINK_WORKER_BLOCKS)
                WaitForQueue(lock, SINK_WORKER_BLOCKS / 2);
            if (bFailed)
            {
                bError = 1;
                return;
            }
            slot = (iFirst + nQueued) % SINK_WORKER_BLOCKS;
        }
        // The slot past the queue is the writer's alone until it is queued.
        memcpy(Block(slot), frames + static_cast<size_t>(done) * nChannels,
               static_cast<size_t>(block) * nChannels * sizeof(int32_t));
        counts[slot] = block;
        bool bWake;
        {
            std::lock_guard<std::mutex> lock(mutex);
            ++nQueued;
            bWake = bWorkerIdle;
            bWorkerIdle = false;
        }
        if (bWake)
            hasWork.notify_one();
        done += block;
    }
}

void LSinkWorker::Seek(int frame)
{
    if (bEnded)
        return;
    if (!bDirect)
    {
        std::unique_lock<std::mutex> lock(mutex);
        WaitForQueue(lock, 0);
        // With the queue empty the worker waits for the lock or a block: the
        // sink behind is this thread's meanwhile.
        inner->Seek(frame);
        bFailed = bFailed || inner->bError;
        if (bFailed)
            bError = 1;
    }
    else
    {
        inner->Seek(frame);
        if (inner->bError)
            bError = 1;
    }
    nWritten = inner->nWritten;
}

void LSinkWorker::WaitForQueue(std::unique_lock<std::mutex>& lock, int nMost)
{
    nWakeAt = nMost;
    hasRoom.wait(lock, [this, nMost] { return nQueued <= nMost || bFailed; });
    nWakeAt = -1;
}

void LSinkWorker::Run()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;)
    {
        if (nQueued == 0 && !bDrain && !bDrop)
        {
            bWorkerIdle = true;
            hasWork.wait(lock, [this] { return nQueued > 0 || bDrain || bDrop; });
            bWorkerIdle = false;
        }
        if (bDrop || nQueued == 0)
            return;
        // After a failure the blocks are only taken off the queue.
        const bool bWrite = !bFailed;
        const int slot = iFirst;
        lock.unlock();
        bool bWriteFailed = false;
        if (bWrite)
        {
            inner->Write(Block(slot), counts[slot]);
            bWriteFailed = inner->bError;
        }
        lock.lock();
        bFailed = bFailed || bWriteFailed;
        iFirst = (iFirst + 1) % SINK_WORKER_BLOCKS;
        --nQueued;
        if (nWakeAt >= 0 && (nQueued <= nWakeAt || bFailed))
        {
            nWakeAt = -1;
            hasRoom.notify_one();
        }
    }
}

void LSinkWorker::EndWorker(bool bAfterQueue)
{
    if (bEnded)
        return;
    bEnded = true;
    if (!worker.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        (bAfterQueue ? bDrain : bDrop) = true;
    }
    hasWork.notify_one();
    worker.join();
    if (bFailed)
        bError = 1;
}

void LSinkWorker::Finish()
{
    if (bEnded)
        return;
    EndWorker(true);
    inner->Finish();
    if (inner->bError)
        bError = 1;
}

void LSinkWorker::Abandon() { EndWorker(false); }
