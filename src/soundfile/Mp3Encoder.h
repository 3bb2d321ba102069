// What the MP3 encoder component is told: its options, the input it is fed
// (rate and channels chosen from the bit rates) and its command line. The
// encoder reads headerless little-endian 16-bit PCM on its standard input and
// writes the named MP3 file.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
struct Mp3EncoderSettings
{
    uint8_t bConstantBitRate;   // "ConstantBitRate"
    uint16_t nCBRBitRate;       // "CBRBitRate", kbit/s
    uint8_t bHighQuality;       // "HighQuality", CBR only
    uint16_t nVBRMinBitRate;    // "VBRMinBitRate", kbit/s
    uint16_t nVBRMaxBitRate;    // "VBRMaxBitRate", kbit/s
    uint8_t nVBRQuality;        // "VBRQuality": 0 highest ... 9 lowest
    uint8_t bErrorProtection;   // "ErrorProtection"
    uint8_t nChannelMode;       // "ChannelMode": 0 stereo, 1 joint, 2 forced, 3 mono
};
#pragma pack(pop)
static_assert(sizeof(Mp3EncoderSettings) == 11, "the packed settings record");

// The defaults: VBR 32 to 128 kbit/s at quality 4, joint stereo.
constexpr Mp3EncoderSettings MP3_DEFAULT_SETTINGS = {0, 128, 0, 32, 128, 4, 0, 1};

// After reading: a VBR maximum above 160 needs a minimum of at least 32.
void ApplyMp3MinimumRule(Mp3EncoderSettings& settings);

// The lowest and highest bit rates the settings ask for.
int Mp3LowBitRate(const Mp3EncoderSettings& settings);
int Mp3HighBitRate(const Mp3EncoderSettings& settings);

// The encoder's input for what is offered: the rate snapped to one an MP3
// file can have, 22050 Hz below 32 kbit/s, one channel below 24 kbit/s.
void ChooseMp3Input(const Mp3EncoderSettings& settings, int32_t offeredRate, uint8_t offeredChannels,
                    int32_t& rate, uint8_t& channels);

// The ID3 tags the rip adds, in UTF-8; null texts and a track number of 0 are
// left out.
struct Mp3Tags
{
    const char* szTitle;
    const char* szArtist;
    const char* szAlbum;
    int nTrack;
    const char* szIsrc;  // the track's ISRC, as a TSRC frame
};

// Command lines hold two paths and three tag texts, each up to 259 characters
// (three bytes each in UTF-8), quoted and escaped.
constexpr std::size_t MP3_COMMAND_LINE_SIZE = 8192;

// The encoder's command line: the quoted encoder path, " -m x", " -p", the
// bit-rate options, " -r -x -s 44.100", " --frames N" when `frames` (the
// sample frames it will be fed) is not negative, " -S - " and the quoted
// output path, then the tags (the ISRC as " --tv TSRC=..."). False when it does not fit, or the encoder's
// path holds a quote (nothing then may be started).
bool MakeMp3CommandLine(const Mp3EncoderSettings& settings, const char* encoderPath, int32_t rate,
                        uint8_t channels, const char* outputPath, const Mp3Tags* tags, char* out,
                        std::size_t outSize, int64_t frames = -1);

// Appends `text` as one argument of a Windows command line: in double quotes,
// with quotes and the backslashes before them escaped, so that the program's
// start-up code gives back exactly `text`. False when it does not fit.
bool AppendQuotedArgument(char* out, std::size_t outSize, const char* text);
