#include "sound/LSRCPeakLimit.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// A block is 1/35 s.
constexpr int BLOCKS_PER_SECOND = 35;
constexpr int MIN_BLOCK = 20;
constexpr int LOOK_AHEAD_BLOCKS = 3;

int BlockFrames(int32_t rate) { return std::clamp(rate / BLOCKS_PER_SECOND, MIN_BLOCK, BRIDGE_BLOCK_FRAMES); }

} // namespace

LSRCPeakLimit::LSRCPeakLimit(int32_t limit, const LSoundSourcePtr& source)
    : LSoundSourceBase(source->nSampleRate, source->nChannels, std::clamp(limit, 0, PEAK_LIMIT_MAX)),
      nBlock(BlockFrames(source->nSampleRate)), nDelay(LOOK_AHEAD_BLOCKS * nBlock), inner(source),
      current(new int32_t[nBlock * nChannels]), next(new int32_t[nBlock * nChannels]),
      nextButOne(new int32_t[nBlock * nChannels]), iBlock(nDelay)
{
    bError = source->bError;
}

LSRCPeakLimit::~LSRCPeakLimit()
{
    delete[] nextButOne;
    delete[] next;
    delete[] current;
}

LSoundSourcePtr LSPPeakLimit::OpenSource(const LSoundSourcePtr& source) const
{
    if (nLimit >= source->nPeak)
        return source;
    return LSoundSourcePtr(new LSRCPeakLimit(nLimit, source));
}

int32_t LSRCPeakLimit::BlockGain(int64_t peak, int32_t limit)
{
    if (peak <= limit)
        return PEAK_GAIN_UNITY;
    return static_cast<int32_t>(static_cast<int64_t>(limit) * 512 / ((peak + 64) >> 6)) << 9;
}

int32_t LSRCPeakLimit::ApplyGain(int32_t x, int32_t gain)
{
    const int32_t xHigh = x >> 12;
    const int32_t gHigh = gain >> 12;
    return xHigh * gHigh + ((gHigh * (x & 4095)) >> 12) + ((xHigh * (gain & 4095)) >> 12);
}

int32_t LSRCPeakLimit::Fill(int32_t* block)
{
    const int samples = nBlock * nChannels;
    // Zeros read past a finished source's end count towards the position, so
    // that it reaches the end once every real frame has been delivered.
    if (!inner->IsStreaming())
        nPastEnd += nBlock - std::clamp(inner->GetEndSample() - inner->GetPosition(), 0, nBlock);
    inner->Read(block, nBlock);
    int64_t peak = 0;
    for (int i = 0; i < samples; ++i)
        peak = std::max(peak, std::abs(static_cast<int64_t>(block[i])));
    return BlockGain(peak, nPeak);
}

void LSRCPeakLimit::Aim()
{
    const int32_t target = std::min((g0 + g1 + g2 + g3) / 4, std::min(g1, g2));
    nGainStep = (target - nGain) / nBlock;
    nGain += (target - nGain) % nBlock;
}

void LSRCPeakLimit::Prime()
{
    g1 = Fill(current);
    g0 = g1;
    g2 = Fill(next);
    g3 = Fill(nextButOne);
    nGain = g1;
    Aim();
    iBlock = 0;
}

void LSRCPeakLimit::NextBlock()
{
    int32_t* refill = current;
    current = next;
    next = nextButOne;
    nextButOne = refill;
    g0 = g1;
    g1 = g2;
    g2 = g3;
    g3 = Fill(nextButOne);
    Aim();
    iBlock = 0;
}

void LSRCPeakLimit::Read(int32_t* buffer, int frames)
{
    if (iBlock == nDelay)
        Prime();
    const int channels = nChannels;
    while (frames > 0)
    {
        if (iBlock == nBlock)
            NextBlock();
        const int n = std::min(frames, nBlock - iBlock);
        const int32_t* from = current + iBlock * channels;
        if (nGain >= PEAK_GAIN_UNITY && nGainStep == 0)
            memcpy(buffer, from, static_cast<size_t>(n) * channels * sizeof(int32_t));
        else
        {
            int32_t gain = nGain;
            const int32_t gainStep = nGainStep;
            for (int i = 0; i < n; ++i)
            {
                for (int ch = 0; ch < channels; ++ch)
                    buffer[i * channels + ch] = ApplyGain(from[i * channels + ch], gain);
                gain += gainStep;
            }
            nGain = gain;
        }
        iBlock += n;
        buffer += n * channels;
        frames -= n;
    }
}

int LSRCPeakLimit::GetPosition() { return inner->GetPosition() + nPastEnd + iBlock - nDelay; }

int LSRCPeakLimit::GetEndSample()
{
    const int end = inner->GetEndSample();
    return inner->IsStreaming() ? end - nDelay : end;
}

void LSRCPeakLimit::Seek(int frame)
{
    inner->Seek(frame);
    nPastEnd = 0;
    Prime();
}

bool LSRCPeakLimit::IsStreaming() { return inner->IsStreaming(); }

bool LSRCPeakLimit::WaitForData(int ms) { return inner->WaitForData(ms); }
