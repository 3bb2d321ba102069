#include "mp3enc/EncoderOptions.h"

#include <algorithm>
#include <cstring>
#include <iterator>

const char kEncoderUsage[] =
    "usage: mp3enc -m s|j|f|m [-p] (-b N [-h] | -v -b N -B N -V N) -r -x -s KHZ [--frames N] [-S] - OUTPUT "
    "[--tt TITLE] [--ta ARTIST] [--tl ALBUM] [--tn N]";

namespace {

const int kMpeg1BitRates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
const int kMpeg2BitRates[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
const int kSampleRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

template <size_t N>
bool Contains(const int (&values)[N], int value)
{
    return std::find(std::begin(values), std::end(values), value) != std::end(values);
}

// Decimal digits only, at most `maxDigits` of them.
bool ParseDigits(const char* text, std::size_t maxDigits, long long& value)
{
    if (*text == '\0' || strlen(text) > maxDigits)
        return false;
    value = 0;
    for (; *text; ++text)
    {
        if (*text < '0' || *text > '9')
            return false;
        value = value * 10 + (*text - '0');
    }
    return true;
}

// A decimal number from 0 to `max`, digits only.
bool ParseNumber(const char* text, int max, int& value)
{
    long long digits = 0;
    if (!ParseDigits(text, 6, digits) || digits > max)
        return false;
    value = int(digits);
    return true;
}

// A count of sample frames: at most 12 digits (over 700 years at 44100 Hz).
bool ParseFrameCount(const char* text, long long& value)
{
    return ParseDigits(text, 12, value);
}

// Kilohertz as the ripper writes them ("44.100", "22.050", "8.000"; "44.1"
// too) to hertz, for the sample rates MPEG audio has.
bool ParseKilohertz(const char* text, int& hertz)
{
    const char* point = strchr(text, '.');
    const std::string whole = point ? std::string(text, point) : std::string(text);
    std::string fraction = point ? std::string(point + 1) : std::string();
    int kilo = 0;
    int milli = 0;
    if (fraction.size() > 3 || !ParseNumber(whole.c_str(), 48, kilo))
        return false;
    if (point)
    {
        fraction.resize(3, '0');
        if (!ParseNumber(fraction.c_str(), 999, milli))
            return false;
    }
    hertz = kilo * 1000 + milli;
    return Contains(kSampleRates, hertz);
}

const char* MpegVersionName(int sampleRate)
{
    return sampleRate >= 32000 ? "MPEG-1" : sampleRate >= 16000 ? "MPEG-2" : "MPEG-2.5";
}

} // namespace

bool IsMpegBitRate(int sampleRate, int kbps)
{
    return sampleRate >= 32000 ? Contains(kMpeg1BitRates, kbps) : Contains(kMpeg2BitRates, kbps);
}

bool ParseEncoderOptions(int argc, const char* const* argv, EncoderOptions& options, std::string& problem)
{
    options = EncoderOptions();
    bool hasMode = false, hasBitRate = false, hasMaxBitRate = false, hasQuality = false, hasSampleRate = false;
    bool raw = false, littleEndian = false, fromStandardInput = false;
    for (int i = 1; i < argc; ++i)
    {
        const std::string option = argv[i];
        // "-" (standard input) is followed by OUTPUT, which is thus never
        // taken for an option's value, and the tags may come after it.
        const bool takesValue = option == "-m" || option == "-b" || option == "-B" || option == "-V" ||
                                option == "-s" || option == "--tt" || option == "--ta" || option == "--tl" ||
                                option == "--tn" || option == "--tv" || option == "--frames" || option == "-";
        if (takesValue && i + 1 >= argc)
        {
            problem = option == "-" ? "no output file named" : option + " needs a value";
            return false;
        }
        const char* value = takesValue ? argv[++i] : "";
        bool valid = true;
        if (option == "-m")
        {
            static const char kModes[] = "sjfm";
            const char* found = strlen(value) == 1 ? strchr(kModes, value[0]) : nullptr;
            valid = hasMode = found != nullptr;
            if (valid)
                options.mode = static_cast<ChannelMode>(found - kModes);
        }
        else if (option == "-b")
            valid = hasBitRate = ParseNumber(value, 999, options.bitRate);
        else if (option == "-B")
            valid = hasMaxBitRate = ParseNumber(value, 999, options.maxBitRate);
        else if (option == "-V")
            valid = hasQuality = ParseNumber(value, 9, options.vbrQuality);
        else if (option == "-s")
            valid = hasSampleRate = ParseKilohertz(value, options.sampleRate);
        else if (option == "--tt")
            options.title = value;
        else if (option == "--ta")
            options.artist = value;
        else if (option == "--tl")
            options.album = value;
        else if (option == "--tn")
            valid = ParseNumber(value, 255, options.track) && options.track >= 1;
        else if (option == "--tv")
        {
            // Only the recording code: 12 letters and digits.
            valid = strncmp(value, "TSRC=", 5) == 0 && strlen(value + 5) == 12
                    && strspn(value + 5, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789") == 12;
            if (valid)
                options.isrc = value + 5;
        }
        else if (option == "--frames")
            valid = ParseFrameCount(value, options.frames);
        else if (option == "-p")
            options.errorProtection = true;
        else if (option == "-h")
            options.highQuality = true;
        else if (option == "-v")
            options.vbr = true;
        else if (option == "-r")
            raw = true;
        else if (option == "-x")
            littleEndian = true;
        else if (option == "-S")
            options.silent = true;
        else if (option == "-")
        {
            if (value[0] == '-' || value[0] == '\0')
            {
                problem = "no output file named";
                return false;
            }
            valid = !fromStandardInput;
            fromStandardInput = true;
            options.outputPath = value;
        }
        else
        {
            problem = (option[0] == '-' ? "unknown option " : "unexpected argument ") + option;
            return false;
        }
        if (!valid)
        {
            problem = "bad value \"" + std::string(value) + "\" for " + option;
            return false;
        }
    }

    if (options.outputPath.empty())
        problem = "no output file named";
    else if (!hasMode || !hasBitRate || !hasSampleRate)
        problem = !hasMode ? "no channel mode (-m)" : !hasBitRate ? "no bit rate (-b)" : "no sample rate (-s)";
    else if (!raw || !littleEndian || !fromStandardInput)
        problem = "the input is raw (-r) little-endian (-x) samples on standard input (-)";
    else if (options.vbr && (!hasMaxBitRate || !hasQuality))
        problem = "-v needs -B and -V";
    else if (options.vbr && options.highQuality)
        problem = "-h is for a constant bit rate, not with -v";
    else if (!options.vbr && (hasMaxBitRate || hasQuality))
        problem = "-B and -V are for a variable bit rate, with -v";
    else if (!IsMpegBitRate(options.sampleRate, options.bitRate) ||
             (options.vbr && !IsMpegBitRate(options.sampleRate, options.maxBitRate)))
        problem = "bit rate " + std::to_string(IsMpegBitRate(options.sampleRate, options.bitRate) ? options.maxBitRate
                                                                                                  : options.bitRate) +
                  " is not in the " + MpegVersionName(options.sampleRate) + " table";
    else if (options.vbr && options.maxBitRate < options.bitRate)
        problem = "the maximum bit rate (-B) is below the minimum (-b)";
    else
        return true;
    return false;
}
