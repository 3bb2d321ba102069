// The look-ahead peak limiter over any source: whatever the rate, channels,
// limit and samples, no sample comes out above the limit, none below -limit
// by more than the 2 its rounding may take, and input that stays within the
// limit comes out untouched. The opener puts a limiter in front of a source
// only when the source's peak is above the limit.
#include <algorithm>
#include <cstring>

#include "FuzzCheck.h"
#include "SoundChecks.h"
#include "sound/LSRCPeakLimit.h"

namespace {

// Frames from memory, zeros after them.
class MemorySource : public LSoundSourceBase
{
public:
    MemorySource(int32_t rate, uint8_t channels, int32_t peak, std::vector<int32_t> samples)
        : LSoundSourceBase(rate, channels, peak), samples(std::move(samples))
    {
    }
    void Read(int32_t* buffer, int frames) override
    {
        FUZZ_CHECK(frames >= 0);
        const int n = std::max(0, std::min(frames, GetEndSample() - position));
        std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(position) * nChannels, n * nChannels, buffer);
        std::fill(buffer + n * nChannels, buffer + frames * nChannels, 0);
        position += n;
    }
    int GetPosition() override { return position; }
    int GetEndSample() override { return static_cast<int>(samples.size() / nChannels); }
    void Seek(int frame) override { position = std::clamp(frame, 0, GetEndSample()); }

    std::vector<int32_t> samples;
    int position = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const int32_t rate = input.Flag() ? input.I32() : 44100;
    const uint8_t channels = input.Byte() % 9;
    const int32_t limitAsked = input.Flag() ? input.I32() : SAMPLE_PEAK_16BIT;
    const int32_t sourcePeak = input.I32();
    const int frames = input.U16() % (3 * BRIDGE_BLOCK_FRAMES);
    const std::vector<int32_t> samples = MakeFrames(input, channels > 0 ? channels : 1, frames);

    const LSoundSourcePtr source(new MemorySource(rate, channels, sourcePeak, samples));
    const LSoundSourcePtr opened = LSPPeakLimit(limitAsked).OpenSource(source);
    if (limitAsked >= sourcePeak)
    {
        FUZZ_CHECK(opened.Get() == source.Get());
        return 0;
    }
    FUZZ_CHECK(opened.Get() != source.Get());
    const int32_t limit = opened->nPeak;
    FUZZ_CHECK(limit == std::clamp(limitAsked, 0, PEAK_LIMIT_MAX));
    FUZZ_CHECK(opened->nChannels == source->nChannels && opened->nSampleRate == source->nSampleRate);
    FUZZ_CHECK(opened->bError == source->bError);

    bool bQuiet = true;
    for (int32_t v : samples)
        bQuiet = bQuiet && std::abs(static_cast<int64_t>(v)) <= limit;

    // Read in pieces of any size up to a block, past the end, perhaps from
    // somewhere else after a seek.
    const int nChannels = opened->nChannels;
    std::vector<int32_t> out(static_cast<std::size_t>(BRIDGE_BLOCK_FRAMES) * nChannels);
    int position = 0;
    for (int piece = 0; piece < 16 && position < frames + 3 * BRIDGE_BLOCK_FRAMES; ++piece)
    {
        const uint16_t choice = input.U16();
        if (choice == 0xFFFF)
        {
            position = input.U16() % (frames + 1);
            opened->Seek(position);
        }
        const int n = 1 + choice % BRIDGE_BLOCK_FRAMES;
        opened->Read(out.data(), n);
        for (int i = 0; i < n * nChannels; ++i)
        {
            FUZZ_CHECK(out[i] <= limit && out[i] >= -limit - 2);
            if (bQuiet)
            {
                const std::size_t at = static_cast<std::size_t>(position) * nChannels + i;
                FUZZ_CHECK(out[i] == (at < samples.size() ? samples[at] : 0));
            }
        }
        position += n;
    }
    return 0;
}
