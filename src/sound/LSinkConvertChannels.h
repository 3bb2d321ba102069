// Sinks that turn stereo data into mono and mono into stereo on the way to
// their inner sink. Without an inner sink they accept and drop the data. They
// carry their inner sink's error, so that a chain shows it at its front.
#pragma once

#include <cstdint>

#include "sound/LSoundStream.h"

class LSinkConvertChannels : public LSoundSinkBase
{
public:
    ~LSinkConvertChannels() override;

    // Forwards to the inner sink and takes over its count of frames.
    void Seek(int frame) override;

    // `sink` itself when it takes `dataChannels` (an empty sink counts as
    // mono), a converter for stereo into mono or mono into stereo, and an
    // empty pointer for any other pair.
    static LSoundSinkPtr OpenSink(uint8_t dataChannels, const LSoundSinkPtr& sink);

protected:
    LSinkConvertChannels(uint8_t dataChannels, const LSoundSinkPtr& sink);

    // Passes `count` frames of the buffer on.
    void Pass(int count);

    LSoundSinkPtr inner;
    // One block of frames in the inner sink's channel count.
    int32_t* buffer;
};

// Each output sample is the mean of left and right, rounded down.
class LSinkStereoToMono : public LSinkConvertChannels
{
public:
    explicit LSinkStereoToMono(const LSoundSinkPtr& sink) : LSinkConvertChannels(2, sink) {}
    void Write(const int32_t* frames, int count) override;
};

// Each sample goes to both channels.
class LSinkMonoToStereo : public LSinkConvertChannels
{
public:
    explicit LSinkMonoToStereo(const LSoundSinkPtr& sink) : LSinkConvertChannels(1, sink) {}
    void Write(const int32_t* frames, int count) override;
};
