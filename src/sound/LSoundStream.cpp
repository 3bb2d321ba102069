#include "sound/LSoundStream.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace {

// Rates <= 0 and channel count 0 are invalid; these stand in for them.
int32_t ValidRate(int32_t rate) { return rate > 0 ? rate : DEFAULT_SAMPLE_RATE; }
uint8_t ValidChannels(uint8_t channels) { return channels > 0 ? channels : 1; }

} // namespace

LSoundSourceBase::LSoundSourceBase(int32_t rate, uint8_t channels, int32_t peak) : nPeak(peak), bError(0)
{
    SetSampleRate(rate);
    SetChannels(channels);
}

void LSoundSourceBase::Seek(int /*frame*/) {}

bool LSoundSourceBase::IsStreaming() { return false; }

bool LSoundSourceBase::WaitForData(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms > 0 ? ms : 0));
    return false;
}

void LSoundSourceBase::SetSampleRate(int32_t rate)
{
    nSampleRate = ValidRate(rate);
    if (nSampleRate != rate)
        bError = 1;
}

void LSoundSourceBase::SetChannels(uint8_t channels)
{
    nChannels = ValidChannels(channels);
    if (nChannels != channels)
        bError = 1;
}

LSoundSinkBase::LSoundSinkBase(int32_t rate, uint8_t channels) : bError(0)
{
    SetSampleRate(rate);
    SetChannels(channels);
}

void LSoundSinkBase::Seek(int /*frame*/) {}

void LSoundSinkBase::SetSampleRate(int32_t rate)
{
    nSampleRate = ValidRate(rate);
    if (nSampleRate != rate)
        bError = 1;
}

void LSoundSinkBase::SetChannels(uint8_t channels)
{
    nChannels = ValidChannels(channels);
    if (nChannels != channels)
        bError = 1;
}

LSRCNull::LSRCNull() : LSoundSourceBase(11025, 1, SAMPLE_PEAK_PLACEHOLDER)
{
    bError = 1;
}

void LSRCNull::Read(int32_t* buffer, int frames)
{
    if (frames > 0)
        memset(buffer, 0, static_cast<size_t>(frames) * nChannels * sizeof(int32_t));
}
