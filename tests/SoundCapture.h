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

// The capture holds `expected` in order, then nothing but silence. Wine's
// ALSA driver starts again with a lead-in of silence when the device has run
// dry (on a loaded machine the player can miss it by a few milliseconds), so
// runs of silence may stand between the samples; nothing may be lost,
// changed or reordered.
inline ::testing::AssertionResult CaptureIs(const std::vector<int16_t>& expected)
{
    if (SoundCapturePath().empty())
        return ::testing::AssertionFailure() << "CORVANE_SOUND_CAPTURE is not set (run through cmake/wine-run)";
    const std::vector<int16_t> captured = SoundCaptureSamples();
    // Taking a zero as the expected one rather than as inserted silence never
    // loses a match: inserted samples are zeros too.
    size_t next = 0;
    for (size_t i = 0; i < captured.size(); ++i)
        if (next < expected.size() && captured[i] == expected[next])
            ++next;
        else if (captured[i] != 0)
            return ::testing::AssertionFailure() << "captured sample " << i << " is " << captured[i] << ", not "
                                                 << (next < expected.size() ? expected[next] : 0) << " (sample "
                                                 << next << " of " << expected.size() << ")";
    if (next < expected.size())
        return ::testing::AssertionFailure() << "captured " << next << " samples of " << expected.size();
    return ::testing::AssertionSuccess();
}
