// A sink that hands what is written to it to a worker thread, which writes
// it into the sink behind: the writer (a rip's reads) and the work of the
// sink behind (an encoder) then run side by side on two cores. The blocks
// wait in a queue of SINK_WORKER_BLOCKS; a Write waits while the queue is
// full, for as long as the sink behind takes for one block. The sink behind
// is used by the worker only until Finish, Abandon or the release, which
// end the worker before they return.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "sound/LSoundStream.h"

// 32 blocks of 8192 frames: 2 MiB of stereo samples, six seconds of audio at
// 44100 Hz, which the sink behind writes in a few hundredths of a second.
constexpr int SINK_WORKER_BLOCKS = 32;

class LSinkWorker : public LSoundSinkBase
{
public:
    // `sink` (not empty) behind a worker, at its rate and channels. bError
    // when the sink behind has it already; the worker then never starts.
    // Where no thread can be started, the writes go to the sink behind
    // directly.
    explicit LSinkWorker(const LSoundSinkPtr& sink);
    // Abandons what is not yet written.
    ~LSinkWorker() override;

    // Queues the frames (a longer write in blocks). bError, and the frames
    // are dropped, once a write of the sink behind has failed.
    void Write(const int32_t* frames, int count) override;
    // Waits until the blocks before are written, then moves the sink behind.
    void Seek(int frame) override;
    // Waits until every block is written, ends the worker, then finishes the
    // sink behind; bError unless all of it reached its place.
    void Finish() override;
    // Ends the worker after the block it is writing, dropping the others, for
    // a rip that stopped or failed; bError when a write behind had failed.
    // The sink behind is not finished.
    void Abandon();

private:
    void Run();
    // Waits, holding `lock`, until at most `nMost` blocks are queued or a
    // write behind failed.
    void WaitForQueue(std::unique_lock<std::mutex>& lock, int nMost);
    // Ends the worker: after the queue is written, or at once.
    void EndWorker(bool bDrain);
    int32_t* Block(int slot) const;

    LSoundSinkPtr inner;
    std::unique_ptr<int32_t[]> samples;  // SINK_WORKER_BLOCKS blocks of one bridge block each
    int counts[SINK_WORKER_BLOCKS] = {};

    // Under `mutex`: the queue is slots iFirst.. of nQueued blocks; the slot
    // the worker writes from stays queued until it is written.
    std::mutex mutex;
    std::condition_variable hasWork;  // the worker waits on it while idle
    std::condition_variable hasRoom;  // the writer waits on it for room
    int iFirst = 0;
    int nQueued = 0;
    bool bWorkerIdle = false;  // waiting for a block: the writer wakes it
    int nWakeAt = -1;          // the writer waits until at most this many are queued
    bool bDrain = false;   // end once the queue is written
    bool bDrop = false;    // end after the block being written
    bool bFailed = false;  // a write of the sink behind failed

    std::thread worker;
    // The writer's own: no thread could be started, so the writes go to the
    // sink behind directly; no more writes are taken (Finish, Abandon, or a
    // sink behind that failed from the start).
    bool bDirect = false;
    bool bEnded = false;
};
