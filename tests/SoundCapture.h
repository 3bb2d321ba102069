// The session's sound device writes what is played to a file of raw 16-bit
// samples (cmake/wine-run), which tests hold against what should have played.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "WindowsPath.h"

// The capture file as this Windows program sees it: the Unix path on drive Z:.
inline std::string SoundCapturePath()
{
    const char* unixPath = getenv("CORVANE_SOUND_CAPTURE");
    if (!unixPath || unixPath[0] != '/')
        return "";
    return WindowsPath(unixPath);
}

inline std::vector<int16_t> SoundCaptureSamples()
{
    const std::vector<unsigned char> bytes = FileBytes(SoundCapturePath());
    std::vector<int16_t> samples(bytes.size() / 2);
    if (!samples.empty())
        memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// Each opening of the device starts the file again; a test starts without one.
inline void RemoveSoundCapture() { DeleteFileA(SoundCapturePath().c_str()); }

// The capture holds exactly `expected`, then nothing but silence.
inline ::testing::AssertionResult CaptureIs(const std::vector<int16_t>& expected)
{
    if (SoundCapturePath().empty())
        return ::testing::AssertionFailure() << "CORVANE_SOUND_CAPTURE is not set (run through cmake/wine-run)";
    const std::vector<int16_t> captured = SoundCaptureSamples();
    if (captured.size() < expected.size())
        return ::testing::AssertionFailure() << "captured " << captured.size() << " samples of " << expected.size();
    for (size_t i = 0; i < expected.size(); ++i)
        if (captured[i] != expected[i])
            return ::testing::AssertionFailure() << "sample " << i << " is " << captured[i] << ", not " << expected[i]
                                                 << " (" << captured.size() << " captured, " << expected.size()
                                                 << " expected)";
    for (size_t i = expected.size(); i < captured.size(); ++i)
        if (captured[i] != 0)
            return ::testing::AssertionFailure() << "sample " << i << " after the end is " << captured[i];
    return ::testing::AssertionSuccess();
}
