// A stream position in milliseconds, as the player reports it.
#pragma once

#include <cstdint>

class LSoundTime
{
public:
    // samples * 1000 / rate, rounded towards zero, for any frame count at any
    // rate a sink accepts: 64 bits hold the product, and the time of 2^31
    // frames at 1 Hz. A rate <= 0 gives 0 ms.
    void SetSamples(int32_t samples, int32_t rate);

    int64_t nMilliseconds = 0;
};
