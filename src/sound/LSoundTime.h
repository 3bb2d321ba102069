// A stream position in milliseconds, as the player reports it.
#pragma once

#include <cstdint>

class LSoundTime
{
public:
    // Whole seconds first, then the remainder, so that no intermediate passes
    // 32 bits for any frame count at audio rates. A rate <= 0 gives 0 ms.
    void SetSamples(int32_t samples, int32_t rate);

    int32_t nMilliseconds = 0;
};
