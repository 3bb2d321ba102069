// The converter chain a rip builds, for any pair of rates and channel counts:
// a pair it takes passes every sample on within 16 bits at about the sink's
// rate, channels are mixed or copied exactly, and a pair it refuses raises
// the error and lets nothing through.
#include <algorithm>
#include <cstdlib>

#include "FuzzCheck.h"
#include "SoundChecks.h"
#include "sound/LResampleFilter.h"
#include "sound/LSinkConvertChannels.h"
#include "sound/LSinkConvertRate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    // Rates as a record or the user gives them: any int, the usual ones
    // likelier.
    static const int32_t kRates[] = {44100, 48000, 22050, 8000, 11025, 96000, 64000, 3000, 2756, 705600};
    const uint8_t rateChoice = input.Byte();
    const int32_t dataRate = rateChoice & 0x80 ? input.I32() : kRates[rateChoice % 10];
    const uint8_t sinkChoice = input.Byte();
    const int32_t sinkRate = sinkChoice & 0x80 ? input.I32() : kRates[sinkChoice % 10];
    const uint8_t dataChannels = 1 + input.Byte() % 2;
    const uint8_t sinkChannels = 1 + input.Byte() % 2;
    if (dataRate <= 0 || sinkRate <= 0)
        return -1;  // the sinks stand in 44100 for those, with their error raised

    KeepingSink* keeper = new KeepingSink(sinkRate, sinkChannels);
    const LSoundSinkPtr sink(keeper);
    LSoundSinkPtr chain = LSinkConvertChannels::OpenSink(dataChannels, LSinkConvertRateBase::OpenSink(dataRate, sink));
    FUZZ_CHECK(chain);
    FUZZ_CHECK(chain->nChannels == dataChannels);
    const bool bConverted = dataRate != sinkRate;
    const double ratio = static_cast<double>(dataRate) / sinkRate;
    // Ratios up to 16 are taken, and down to 1/64 at least; none beyond 16 by
    // more than a phase's rounding.
    if (ratio <= 16 && ratio >= 1.0 / 64)
        FUZZ_CHECK(!chain->bError);
    if (!chain->bError)
        FUZZ_CHECK(ratio < 16.5);

    // A pair the rate filter cannot take is refused, whatever stands in front.
    const LResampleFilter filter(sinkRate, dataRate);
    const bool bRefused = chain->bError;
    if (bConverted && !filter.HasTable())
        FUZZ_CHECK(bRefused);

    // No more than some 65536 frames out of a piece, however far the rate
    // goes up.
    const int most = static_cast<int>(std::clamp<int64_t>(int64_t(65536) * dataRate / sinkRate, 1,
                                                          2 * BRIDGE_BLOCK_FRAMES));
    int nIn = 0;
    int nPieces = 0;
    bool bSeeked = false;
    while (input.Left() > 0 && nPieces++ < 8)
    {
        const int frames = input.U16() % (most + 1);
        const std::vector<int32_t> samples = MakeFrames(input, dataChannels, frames);
        // No one hands a converter more than a block at a time.
        for (int at = 0; at < frames; at += BRIDGE_BLOCK_FRAMES)
            chain->Write(samples.data() + static_cast<std::size_t>(at) * dataChannels,
                         std::min(BRIDGE_BLOCK_FRAMES, frames - at));
        nIn += frames;
        if (!bSeeked)
            FUZZ_CHECK(chain->nWritten == nIn);
        if (input.Byte() == 0xFF)
        {
            chain->Seek(0);
            bSeeked = true;
        }
        if (!bConverted && !bSeeked)
        {
            // Channels alone: the mean of left and right (rounded down), or
            // the one channel twice.
            const std::size_t from = keeper->samples.size() - static_cast<std::size_t>(frames) * sinkChannels;
            for (int i = 0; i < frames; ++i)
            {
                const int32_t* in = samples.data() + static_cast<std::size_t>(i) * dataChannels;
                const int32_t* out = keeper->samples.data() + from + static_cast<std::size_t>(i) * sinkChannels;
                if (dataChannels == sinkChannels)
                    FUZZ_CHECK(std::equal(in, in + dataChannels, out));
                else if (dataChannels == 2)
                    FUZZ_CHECK(out[0] == static_cast<int32_t>((static_cast<int64_t>(in[0]) + in[1]) >> 1));
                else
                    FUZZ_CHECK(out[0] == in[0] && out[1] == in[0]);
            }
        }
    }
    chain = nullptr;  // the converter's release flushes what it holds

    const std::vector<int32_t>& out = keeper->samples;
    FUZZ_CHECK(out.size() % sinkChannels == 0);
    if (!bConverted)
        return 0;
    if (bRefused)
    {
        FUZZ_CHECK(out.empty());
        return 0;
    }
    for (int32_t v : out)
        FUZZ_CHECK(v >= SAMPLE_FLOOR_16BIT && v <= SAMPLE_PEAK_16BIT);
    if (bSeeked)
        return 0;
    // Each output frame moves the input on by step / phases frames, from the
    // first frame to the flushed end.
    const int64_t nOut = static_cast<int64_t>(out.size() / sinkChannels);
    const int64_t expected = static_cast<int64_t>(nIn) * filter.phases / filter.step;
    FUZZ_CHECK(std::llabs(nOut - expected) <= 1 + 8LL * filter.phases / filter.step);
    return 0;
}
