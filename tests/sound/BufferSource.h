// A source of frames from memory, zeros after them; its position stops at the
// end, as a file's does. It can pose as a stream that still grows, and keeps
// the time of every wait for data it is asked for.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "sound/LSoundStream.h"

class BufferSource : public LSoundSourceBase
{
public:
    BufferSource(int32_t rate, uint8_t channels, int32_t peak, std::vector<int32_t> data = {})
        : LSoundSourceBase(rate, channels, peak), data(std::move(data))
    {
    }
    void Read(int32_t* buffer, int frames) override
    {
        const int n = std::max(0, std::min(frames, GetEndSample() - position));
        memcpy(buffer, data.data() + static_cast<size_t>(position) * nChannels, n * nChannels * sizeof(int32_t));
        std::fill(buffer + n * nChannels, buffer + frames * nChannels, 0);
        position += n;
    }
    int GetPosition() override { return position; }
    int GetEndSample() override { return static_cast<int>(data.size()) / nChannels; }
    void Seek(int frame) override { position = frame; }
    bool IsStreaming() override { return bStreaming; }
    bool WaitForData(int ms) override
    {
        waits.push_back(ms);
        return true;
    }

    std::vector<int32_t> data;
    int position = 0;
    bool bStreaming = false;
    std::vector<int> waits;
};
