// Sources are pulled, sinks are pushed; both carry a rate, a channel count and
// an error flag, and are shared through LCountedPtr. Samples are in the form
// of SampleFormat.h.
#pragma once

#include <cstdint>

#include "sound/LCountedPtr.h"
#include "sound/SampleFormat.h"

constexpr int32_t DEFAULT_SAMPLE_RATE = 44100;

class LSoundSourceBase
{
public:
    LSoundSourceBase(int32_t rate, uint8_t channels, int32_t peak);
    virtual ~LSoundSourceBase() = default;
    LSoundSourceBase(const LSoundSourceBase&) = delete;
    LSoundSourceBase& operator=(const LSoundSourceBase&) = delete;

    // Fills `frames` frames; past the end the rest is zeros.
    virtual void Read(int32_t* buffer, int frames) = 0;
    // The frame the next Read delivers.
    virtual int GetPosition() = 0;
    // All frames; for a streaming source the frames available so far.
    virtual int GetEndSample() = 0;
    virtual void Seek(int frame);
    // True while the source still grows.
    virtual bool IsStreaming();
    // Waits up to `ms` for more frames; the default only pauses.
    virtual bool WaitForData(int ms);

    // A rate <= 0 or 0 channels raise bError and fall back to 44100 and 1.
    void SetSampleRate(int32_t rate);
    void SetChannels(uint8_t channels);

    int32_t nSampleRate;
    int32_t nPeak;
    uint8_t nChannels;
    uint8_t bError : 1;
    int16_t nRefs = 0;
};

class LSoundSinkBase
{
public:
    LSoundSinkBase(int32_t rate, uint8_t channels);
    // A file sink finishes its file here.
    virtual ~LSoundSinkBase() = default;
    LSoundSinkBase(const LSoundSinkBase&) = delete;
    LSoundSinkBase& operator=(const LSoundSinkBase&) = delete;

    // Accepts `count` frames (at most BRIDGE_BLOCK_FRAMES); adds them to nWritten.
    virtual void Write(const int32_t* frames, int count) = 0;
    // Moves the write position back to `frame`, dropping what follows.
    virtual void Seek(int frame);
    // Completes what the sink has written (a file's header, say), so that
    // bError then tells whether all of it reached its place. Nothing is
    // written after it; a sink with nothing to complete does nothing.
    virtual void Finish() {}

    void SetSampleRate(int32_t rate);
    void SetChannels(uint8_t channels);

    int32_t nWritten = 0;
    int32_t nSampleRate;
    uint8_t nChannels;
    uint8_t bError : 1;
    int16_t nRefs = 0;
};

using LSoundSourcePtr = LCountedPtr<LSoundSourceBase>;
using LSoundSinkPtr = LCountedPtr<LSoundSinkBase>;

// The source that stands where there is none: silent, and flagged unusable.
class LSRCNull : public LSoundSourceBase
{
public:
    LSRCNull();
    void Read(int32_t* buffer, int frames) override;
    int GetPosition() override { return 0; }
    int GetEndSample() override { return 0; }
};
