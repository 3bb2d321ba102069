// A source that keeps the samples of its inner source within a limit. It looks
// three blocks ahead: each block's gain brings its peak down to the limit, and
// the gain ramps across a block towards a target no larger than the gains of
// the block playing and the one after it, so no sample overshoots and the gain
// comes back to unity once the loud part has passed.
#pragma once

#include <cstdint>

#include "sound/LSoundStream.h"

// Gains are Q24.
constexpr int32_t PEAK_GAIN_UNITY = 1 << 24;
constexpr int32_t PEAK_LIMIT_MAX = 4194303;

class LSRCPeakLimit : public LSoundSourceBase
{
public:
    // `limit` is taken within 0...PEAK_LIMIT_MAX.
    LSRCPeakLimit(int32_t limit, const LSoundSourcePtr& source);
    ~LSRCPeakLimit() override;

    void Read(int32_t* buffer, int frames) override;
    int GetPosition() override;
    int GetEndSample() override;
    void Seek(int frame) override;
    bool IsStreaming() override;
    bool WaitForData(int ms) override;

    // The gain that brings a block of peak magnitude `peak` within `limit`.
    static int32_t BlockGain(int64_t peak, int32_t limit);
    // x * gain / 2^24 from 12-bit parts, so that nothing overflows 32 bits.
    static int32_t ApplyGain(int32_t x, int32_t gain);

    // Frames a block, from the rate (1/35 s, 20...8192), and the look-ahead.
    const int nBlock;
    const int nDelay;

private:
    void Prime();
    void NextBlock();
    // Reads one block into `block` and returns its gain.
    int32_t Fill(int32_t* block);
    // Ramps from the current gain to the target across one block.
    void Aim();

    LSoundSourcePtr inner;
    int32_t* current;
    int32_t* next;
    int32_t* nextButOne;
    int32_t g0 = 0, g1 = 0, g2 = 0, g3 = 0;
    int32_t nGain = PEAK_GAIN_UNITY;
    int32_t nGainStep = 0;
    // Frame within the current block; nDelay until the first block is read.
    int iBlock;
    // Frames read ahead past the end of a source that no longer grows.
    int nPastEnd = 0;
};

// Puts a limiter in front of a source only where it is needed.
class LSPPeakLimit
{
public:
    explicit LSPPeakLimit(int32_t limit) : nLimit(limit) {}
    // `source` itself when its nPeak is within the limit.
    LSoundSourcePtr OpenSource(const LSoundSourcePtr& source) const;

    int32_t nLimit;
};
