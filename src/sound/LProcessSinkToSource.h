// Runs a sink-writing job on a worker thread behind the bridge, so that its
// output can be read as a source. The job record type T has a public field
// `LSoundSinkPtr Sink`, and the job is the free function
// `ProcessResult Process(LJobControl& job, T& record)` found for T by overload
// resolution: it writes into record.Sink and returns early once the job is
// stopped, here by the worker's stop signal.
#pragma once

#include <windows.h>

#include <cstdint>

#include "jobs/LThread.h"
#include "jobs/LWorkerJobControl.h"
#include "sound/LSinkToSource.h"

// The reading end, which also owns the job record and the thread that runs it.
template <class T>
class LProcessSinkToSourceSource : public LThread, public LSinkToSourceSource
{
public:
    LProcessSinkToSourceSource(const LSinkToSourcePtr& bridge, T* record)
        : LSinkToSourceSource(bridge), record(record)
    {
    }

    ~LProcessSinkToSourceSource() override
    {
        // A job blocked on a full ring must see the reader gone before it can
        // notice its stop signal.
        shared->bSourceConnected = false;
        SetEvent(shared->hRead);
        StopThreadTimed(5000);
        // Also releases the sink chain if the thread had to be terminated.
        delete record;
    }

protected:
    void ThreadFunction() override
    {
        // Done, stopped or failed: the reader learns of the end the same way,
        // by the sink end going away.
        LWorkerJobControl job(stopSignal);
        Process(job, *record);
        record->Sink = nullptr;
    }

private:
    T* record;
};

template <class T>
class LProcessSinkToSource
{
public:
    LProcessSinkToSource(int32_t rate, uint8_t channels, int32_t peak, uint32_t bucketBytes)
        : bridge(new LSinkToSourceBase(rate, channels, peak, bucketBytes))
    {
    }

    // The sink end, for the end of the job's sink chain. One per bridge.
    LSoundSinkPtr OpenSink() { return LSoundSinkPtr(new LSinkToSourceSink(bridge)); }

    // Takes the heap-allocated `record`, whose Sink chain ends in OpenSink's
    // end, and starts the job at the calling thread's priority. From here on
    // the worker releases the chain, so the caller must hold no pointer into it
    // (the counts of sources and sinks are not atomic). One per bridge.
    LSoundSourcePtr OpenSource(T* record)
    {
        auto* source = new LProcessSinkToSourceSource<T>(bridge, record);
        LSoundSourcePtr held(source);
        source->Start(GetThreadPriority(GetCurrentThread()));
        if (!source->hThread)
        {
            // Without a worker the stream ends before it began; the flag keeps
            // the player from taking it.
            source->bError = 1;
            record->Sink = nullptr;
        }
        return held;
    }

private:
    LSinkToSourcePtr bridge;
};
