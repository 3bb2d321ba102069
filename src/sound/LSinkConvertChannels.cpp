#include "sound/LSinkConvertChannels.h"

namespace {

uint8_t ChannelsOf(const LSoundSinkPtr& sink) { return sink ? sink->nChannels : 1; }
int32_t RateOf(const LSoundSinkPtr& sink) { return sink ? sink->nSampleRate : DEFAULT_SAMPLE_RATE; }

} // namespace

LSinkConvertChannels::LSinkConvertChannels(uint8_t dataChannels, const LSoundSinkPtr& sink)
    : LSoundSinkBase(RateOf(sink), dataChannels), inner(sink),
      buffer(new int32_t[BRIDGE_BLOCK_FRAMES * (dataChannels == 2 ? 1 : 2)])
{
    // A rate converter behind it that refused its pair must not look usable
    // from the front of the chain.
    bError = sink && sink->bError;
}

LSinkConvertChannels::~LSinkConvertChannels() { delete[] buffer; }

LSoundSinkPtr LSinkConvertChannels::OpenSink(uint8_t dataChannels, const LSoundSinkPtr& sink)
{
    const uint8_t sinkChannels = ChannelsOf(sink);
    if (sinkChannels == dataChannels)
        return sink;
    if (dataChannels == 2 && sinkChannels == 1)
        return LSoundSinkPtr(new LSinkStereoToMono(sink));
    if (dataChannels == 1 && sinkChannels == 2)
        return LSoundSinkPtr(new LSinkMonoToStereo(sink));
    return LSoundSinkPtr();
}

void LSinkConvertChannels::Seek(int frame)
{
    if (inner)
    {
        inner->Seek(frame);
        nWritten = inner->nWritten;
    }
    else
        nWritten = 0;
}

void LSinkConvertChannels::Pass(int count)
{
    if (!inner)
        return;
    inner->Write(buffer, count);
    // A write that failed behind it shows at the front of the chain, so
    // that the writer stops.
    if (inner->bError)
        bError = 1;
}

void LSinkStereoToMono::Write(const int32_t* frames, int count)
{
    nWritten += count;
    while (count > 0)
    {
        const int n = count < BRIDGE_BLOCK_FRAMES ? count : BRIDGE_BLOCK_FRAMES;
        for (int i = 0; i < n; ++i)
            buffer[i] = static_cast<int32_t>((static_cast<int64_t>(frames[2 * i]) + frames[2 * i + 1]) >> 1);
        Pass(n);
        frames += 2 * n;
        count -= n;
    }
}

void LSinkMonoToStereo::Write(const int32_t* frames, int count)
{
    nWritten += count;
    while (count > 0)
    {
        const int n = count < BRIDGE_BLOCK_FRAMES ? count : BRIDGE_BLOCK_FRAMES;
        for (int i = 0; i < n; ++i)
            buffer[2 * i] = buffer[2 * i + 1] = frames[i];
        Pass(n);
        frames += n;
        count -= n;
    }
}
