// A sink that keeps every frame it is given and the size of every Write.
#pragma once

#include <functional>
#include <vector>

#include "sound/LSoundStream.h"

class RecordingSink : public LSoundSinkBase
{
public:
    explicit RecordingSink(int32_t rate = 44100, uint8_t channels = 2) : LSoundSinkBase(rate, channels) {}
    void Write(const int32_t* frames, int count) override
    {
        writeSizes.push_back(count);
        samples.insert(samples.end(), frames, frames + count * nChannels);
        nWritten += count;
        if (onWrite)
            onWrite();
    }

    std::vector<int> writeSizes;
    std::vector<int32_t> samples;
    // Runs after each Write.
    std::function<void()> onWrite;
};
