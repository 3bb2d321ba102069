// The encoder's command line, as the ripper builds it:
//
//   mp3enc -m s|j|f|m [-p] (-b N [-h] | -v -b N -B N -V N) -r -x -s KHZ
//          [--frames N] -S - OUTPUT [--tt TITLE] [--ta ARTIST] [--tl ALBUM] [--tn N] [--tv TSRC=ISRC]
//
// --frames gives the sample frames the input holds: an input that ends
// before that many arrived (the ripper died) or brings more is no track, and
// the file is not made.
// Options come in any order; OUTPUT follows "-" (standard input), so that no
// option's value is ever taken for it, and the ripper adds the tag options
// after it. The input is raw signed 16-bit little-endian PCM
// on standard input, one channel for -m m and two otherwise. Platform-free,
// so that the native build tests it under the sanitizers.
#pragma once

#include <string>

enum class ChannelMode
{
    Stereo,       // s
    Joint,        // j: the encoder picks left/right or mid/side per frame
    ForcedJoint,  // f: mid/side in every frame
    Mono,         // m: the input has one channel
};

struct EncoderOptions
{
    ChannelMode mode = ChannelMode::Joint;
    bool errorProtection = false;  // -p: a CRC in every frame
    bool highQuality = false;      // -h
    bool vbr = false;              // -v
    int bitRate = 0;               // -b, kbit/s: the constant rate, or the minimum with -v
    int maxBitRate = 0;            // -B, kbit/s: the maximum with -v
    int vbrQuality = 0;            // -V: 0 (best) to 9
    int sampleRate = 0;            // -s, in Hz
    bool silent = false;           // -S: no summary line after a file is done
    std::string title, artist, album;  // as the command line gives them (mp3enc makes them UTF-8)
    int track = 0;     // --tn; 0 when not given
    std::string isrc;  // --tv TSRC=CODE: 12 letters and digits
    long long frames = -1;  // --frames; -1 when not given
    std::string outputPath;

    int Channels() const { return mode == ChannelMode::Mono ? 1 : 2; }
    bool HasTags() const
    {
        return !title.empty() || !artist.empty() || !album.empty() || track != 0 || !isrc.empty();
    }
};

// The one line of usage, without its line end.
extern const char kEncoderUsage[];

// Reads argv[1..argc-1] into `options`; false, with what is wrong in `problem`,
// for a command line the encoder does not take.
bool ParseEncoderOptions(int argc, const char* const* argv, EncoderOptions& options, std::string& problem);

// Whether `kbps` is a bit rate of the MPEG version that `sampleRate` belongs
// to: MPEG-1 for 32000, 44100 and 48000 Hz, MPEG-2 and 2.5 below.
bool IsMpegBitRate(int sampleRate, int kbps);
