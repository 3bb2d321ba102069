// The bridge that turns what one thread writes into a sink into a source that
// another thread reads. The two ends share one record: a byte ring and two
// events. The writer waits for room only while a reader exists, the reader
// waits for data only while a writer exists, so neither blocks for ever.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "sound/LBucketThreadUnsafe.h"
#include "sound/LCountedPtr.h"
#include "sound/LSoundStream.h"

// The player's ring: 1,234,800 bytes (154,350 stereo frames of 32-bit samples,
// three and a half seconds at 44100 Hz) and the one byte that always stays free.
constexpr uint32_t PLAYER_BUCKET_BYTES = 1234801;

// The writer waits for room in these steps while a reader exists,
constexpr DWORD BRIDGE_WRITER_WAIT_MS = 200;
// and the reader for data in these while a writer exists.
constexpr DWORD BRIDGE_READER_WAIT_MS = 1000;

class LSinkToSourceBase
{
public:
    // A rate <= 0 or 0 channels raise bError and fall back to 44100 and 1, as
    // do the events or the ring failing to be made.
    LSinkToSourceBase(int32_t rate, uint8_t channels, int32_t peak, uint32_t bucketBytes);
    ~LSinkToSourceBase();
    LSinkToSourceBase(const LSinkToSourceBase&) = delete;
    LSinkToSourceBase& operator=(const LSinkToSourceBase&) = delete;

    // Held by the creator and by each end. The sink end's last release may run
    // on the writing thread while the creator lets go on its own, hence atomic.
    std::atomic<int32_t> nRefs{0};
    int32_t nSampleRate;
    uint8_t nChannels;
    int32_t nPeak;
    uint32_t nBytesPerFrame;
    bool bError = false;
    // Each flag is written by its own end and read by the other end's thread.
    std::atomic<bool> bSinkConnected{false};
    std::atomic<bool> bSourceConnected{false};
    LBucketThreadUnsafe bucket;
    // Manual-reset: set after every write into the ring, and when the sink end goes.
    HANDLE hWritten;
    // Manual-reset: set after every read from the ring, and when the source end goes.
    HANDLE hRead;
};

using LSinkToSourcePtr = LCountedPtr<LSinkToSourceBase>;

// The writing end. One at a time per record; a second one is a caller error.
class LSinkToSourceSink : public LSoundSinkBase
{
public:
    explicit LSinkToSourceSink(const LSinkToSourcePtr& bridge);
    // Wakes a waiting reader, which then drains the ring and reads zeros.
    ~LSinkToSourceSink() override;

    // Returns when every frame is in the ring, or at once when no reader is
    // left, dropping what did not fit.
    void Write(const int32_t* frames, int count) override;

private:
    LSinkToSourcePtr shared;
};

// The reading end. One at a time per record; a second one is a caller error.
class LSinkToSourceSource : public LSoundSourceBase
{
public:
    explicit LSinkToSourceSource(const LSinkToSourcePtr& bridge);
    // Wakes a writer waiting for room, which then drops its data.
    ~LSinkToSourceSource() override;

    // Returns when `frames` frames are read, or, once the writer has gone and
    // the ring is empty, with the rest of the buffer zeroed.
    void Read(int32_t* buffer, int frames) override;
    // The ring keeps no history: what is read is gone, so reading is always at 0.
    int GetPosition() override { return 0; }
    // The frames that can be read now.
    int GetEndSample() override;
    bool IsStreaming() override;
    // True when something was written (or the writer went) within `ms`.
    bool WaitForData(int ms) override;

protected:
    LSinkToSourcePtr shared;
};
