#include "sound/LSinkConvertRate.h"

#include <cstring>

namespace {

int32_t RateOf(const LSoundSinkPtr& sink) { return sink ? sink->nSampleRate : DEFAULT_SAMPLE_RATE; }
uint8_t ChannelsOf(const LSoundSinkPtr& sink) { return sink ? sink->nChannels : 1; }

// The filter's centre tap: output frame 0 falls on input frame 0.
constexpr int LEAD_FRAMES = 7;
constexpr int FLUSH_FRAMES = 8;

} // namespace

int64_t ConvertedFrames(int64_t frames, int32_t dataRate, int32_t sinkRate)
{
    if (dataRate == sinkRate)
        return frames;
    const LResampleFilter filter(sinkRate, dataRate);
    return (frames * filter.phases + filter.step - 1) / filter.step;
}

LSinkConvertRateBase::LSinkConvertRateBase(int32_t dataRate, const LSoundSinkPtr& sink)
    : LSoundSinkBase(dataRate, ChannelsOf(sink)), filter(RateOf(sink), nSampleRate), inner(sink)
{
    const bool supported = nChannels <= 2 && filter.HasTable();
    if (!supported)
        bError = 1;
    if (bError || !inner)
        return;
    rows = new LResampleRow[filter.phases];
    ResampleSplitRows(filter, rows);
    input = new int16_t[RATE_INPUT_FRAMES * nChannels];
    output = new int32_t[BRIDGE_BLOCK_FRAMES * nChannels];
    Reset();
}

LSinkConvertRateBase::~LSinkConvertRateBase()
{
    if (rows)
        Flush();
    delete[] output;
    delete[] input;
    delete[] rows;
}

LSoundSinkPtr LSinkConvertRateBase::OpenSink(int32_t dataRate, const LSoundSinkPtr& sink)
{
    if (RateOf(sink) == dataRate)
        return sink;
    return LSoundSinkPtr(new LSinkConvertRateBase(dataRate, sink));
}

void LSinkConvertRateBase::Reset()
{
    iPhase = 0;
    for (int ch = 0; ch < nChannels; ++ch)
        memset(input + ch * RATE_INPUT_FRAMES, 0, LEAD_FRAMES * sizeof(int16_t));
    nFill = LEAD_FRAMES;
}

void LSinkConvertRateBase::Write(const int32_t* frames, int count)
{
    nWritten += count;
    if (!rows)
        return;
    while (count > 0)
    {
        const int n = count < BRIDGE_BLOCK_FRAMES ? count : BRIDGE_BLOCK_FRAMES;
        ResampleLoad(frames, n, nChannels, input, RATE_INPUT_FRAMES, nFill);
        nFill += n;
        Process();
        frames += n * nChannels;
        count -= n;
    }
}

void LSinkConvertRateBase::Process()
{
    const LResampleRun run = {rows, filter.phases, filter.step, nChannels, input, RATE_INPUT_FRAMES,
        nFill - RESAMPLE_TAPS};
    int frame = 0;
    int made = 0;
    while (frame < run.avail)
    {
        if (made == BRIDGE_BLOCK_FRAMES)
        {
            inner->Write(output, made);
            made = 0;
        }
        made += ResampleRunFrames(run, frame, iPhase, output + made * nChannels, BRIDGE_BLOCK_FRAMES - made);
    }
    if (made > 0)
        inner->Write(output, made);
    // A write that failed behind it shows at the front of the chain, so that
    // the writer stops.
    if (inner->bError)
        bError = 1;
    // What the next output frames still need moves to the front; the input
    // never moves on past the buffered frames (RESAMPLE_MAX_ADVANCE).
    const int kept = nFill - frame;
    for (int ch = 0; ch < nChannels; ++ch)
    {
        int16_t* plane = input + ch * RATE_INPUT_FRAMES;
        memmove(plane, plane + frame, kept * sizeof(int16_t));
    }
    nFill = kept;
}

void LSinkConvertRateBase::Flush()
{
    for (int ch = 0; ch < nChannels; ++ch)
        memset(input + ch * RATE_INPUT_FRAMES + nFill, 0, FLUSH_FRAMES * sizeof(int16_t));
    nFill += FLUSH_FRAMES;
    Process();
}

void LSinkConvertRateBase::Seek(int frame)
{
    if (rows)
        Flush();
    if (inner)
    {
        inner->Seek(frame);
        nWritten = inner->nWritten;
    }
    else
        nWritten = 0;
    if (rows)
        Reset();
}
