// A sink that changes the sample rate of what is written to it on the way to
// its inner sink, by the polyphase filter of LResampleFilter. It holds back up
// to 15 frames until it is flushed, by Seek or by its release.
#pragma once

#include <cstdint>

#include "sound/LResampleFilter.h"
#include "sound/LResampleKernel.h"
#include "sound/LSoundStream.h"

// The input the converter keeps: one block and the filter's span.
constexpr int RATE_INPUT_FRAMES = BRIDGE_BLOCK_FRAMES + RESAMPLE_TAPS;

// The frames a converter from `dataRate` to `sinkRate` puts out for `frames`
// frames once it is flushed: output frame n falls on input frame
// n * step / phases, and every one that falls within the input is made.
int64_t ConvertedFrames(int64_t frames, int32_t dataRate, int32_t sinkRate);

class LSinkConvertRateBase : public LSoundSinkBase
{
public:
    // Data at `dataRate` into `sink` (rate 44100 and 1 channel if empty). Takes
    // 16-bit data, as every sink does: samples beyond it are clamped, and so
    // are output samples the filter lifts beyond it. Mono and stereo only, and
    // ratios of data rate to sink rate up to 16; any other pair raises bError
    // and the converter drops what it is given.
    LSinkConvertRateBase(int32_t dataRate, const LSoundSinkPtr& sink);
    ~LSinkConvertRateBase() override;

    void Write(const int32_t* frames, int count) override;
    // Flushes, moves the inner sink to `frame` and starts afresh.
    void Seek(int frame) override;

    // `sink` itself when it already takes `dataRate`, else a converter to it.
    static LSoundSinkPtr OpenSink(int32_t dataRate, const LSoundSinkPtr& sink);

private:
    void Reset();
    void Process();
    void Flush();

    const LResampleFilter filter;
    LSoundSinkPtr inner;
    // Allocated only when there is an inner sink and the pair is supported.
    LResampleRow* rows = nullptr;
    // One plane of RATE_INPUT_FRAMES 16-bit samples per channel.
    int16_t* input = nullptr;
    int32_t* output = nullptr;
    // Frames buffered in `input`, and the filter phase of the next output.
    int nFill = 0;
    int iPhase = 0;
};
