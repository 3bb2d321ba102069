#include "soundfile/Mp3Encoder.h"

#include <cstring>

#include "files/TextBuffer.h"

namespace {

const char MODE_LETTERS[] = {'s', 'j', 'f', 'm'};
constexpr uint8_t MODE_MONO = 3;

} // namespace

void ApplyMp3MinimumRule(Mp3EncoderSettings& settings)
{
    if (settings.nVBRMaxBitRate > 160 && settings.nVBRMinBitRate < 32)
        settings.nVBRMinBitRate = 32;
}

int Mp3LowBitRate(const Mp3EncoderSettings& settings)
{
    return settings.bConstantBitRate ? settings.nCBRBitRate : settings.nVBRMinBitRate;
}

int Mp3HighBitRate(const Mp3EncoderSettings& settings)
{
    return settings.bConstantBitRate ? settings.nCBRBitRate : settings.nVBRMaxBitRate;
}

void ChooseMp3Input(const Mp3EncoderSettings& settings, int32_t offeredRate, uint8_t offeredChannels,
                    int32_t& rate, uint8_t& channels)
{
    const int low = Mp3LowBitRate(settings);
    const int high = Mp3HighBitRate(settings);
    int32_t r = offeredRate < 48000 ? offeredRate : 48000;
    if (high > 160 && offeredRate < 32000)
        r = 44100;  // bit rates above 160 need a full-rate input
    else
    {
        if (low < 32 && r > 22050)
            r = 22050;
        if (r > 44100 && r < 48000)
            r = 44100;
        else if (r > 32000 && r < 44100)
            r = 44100;
        else if (r > 24000 && r < 32000)
            r = 32000;
        else if (r > 22050 && r < 24000)
            r = 22050;
        else if (r > 16000 && r < 22050)
            r = 22050;
        else if (r > 11025 && r < 16000)
            r = 11025;
        else if (r > 8000 && r < 11025)
            r = 11025;
        else if (r < 8000)
            r = 8000;
    }
    rate = r;
    channels = low < 24 ? 1 : offeredChannels;
}

bool AppendQuotedArgument(char* out, std::size_t outSize, const char* text)
{
    const std::size_t start = strlen(out);
    std::size_t n = start;
    auto put = [&](char c) {
        if (n + 1 >= outSize)
            return false;
        out[n++] = c;
        return true;
    };
    bool bFits = put('"');
    for (const char* p = text; bFits && *p != '\0'; ++p)
    {
        // Backslashes are literal unless a quote follows them: then each is
        // doubled, and the quote itself escaped.
        std::size_t nBackslashes = 0;
        while (p[nBackslashes] == '\\')
            ++nBackslashes;
        const char next = p[nBackslashes];
        const std::size_t copies = next == '"' || next == '\0' ? 2 * nBackslashes : nBackslashes;
        for (std::size_t i = 0; bFits && i < copies; ++i)
            bFits = put('\\');
        p += nBackslashes;
        if (*p == '\0')
            break;
        if (*p == '"')
            bFits = bFits && put('\\');
        bFits = bFits && put(*p);
    }
    bFits = bFits && put('"');
    out[bFits ? n : start] = '\0';
    return bFits;
}

bool MakeMp3CommandLine(const Mp3EncoderSettings& settings, const char* encoderPath, int32_t rate,
                        uint8_t channels, const char* outputPath, const Mp3Tags* tags, char* out,
                        std::size_t outSize, int64_t frames)
{
    out[0] = '\0';
    // A program's name is read up to its closing quote, with no escapes: a
    // path holding a quote cannot be given (nor can a file have such a name).
    if (strchr(encoderPath, '"'))
        return false;
    uint8_t mode = settings.nChannelMode > MODE_MONO ? 1 : settings.nChannelMode;
    if (Mp3HighBitRate(settings) < 24)
        mode = MODE_MONO;
    // The encoder is told the channel layout of the raw data it receives.
    if (channels != 2)
        mode = MODE_MONO;
    else if (mode == MODE_MONO)
        mode = 0;

    bool bFits = AppendQuotedArgument(out, outSize, encoderPath)
                 && AppendFormat(out, outSize, " -m %c", MODE_LETTERS[mode]);
    if (settings.bErrorProtection)
        bFits = bFits && AppendFormat(out, outSize, " -p");
    if (settings.bConstantBitRate)
    {
        bFits = bFits && AppendFormat(out, outSize, " -b %d", settings.nCBRBitRate);
        if (settings.bHighQuality)
            bFits = bFits && AppendFormat(out, outSize, " -h");
    }
    else
        bFits = bFits && AppendFormat(out, outSize, " -v -b %d -B %d -V %d", settings.nVBRMinBitRate,
                                settings.nVBRMaxBitRate, settings.nVBRQuality);
    bFits = bFits && AppendFormat(out, outSize, " -r -x -s %d.%.3d", static_cast<int>(rate / 1000),
                            static_cast<int>(rate % 1000));
    if (frames >= 0)
        bFits = bFits && AppendFormat(out, outSize, " --frames %lld", static_cast<long long>(frames));
    bFits = bFits && AppendFormat(out, outSize, " -S - ") && AppendQuotedArgument(out, outSize, outputPath);
    if (tags)
    {
        const struct
        {
            const char* option;
            const char* text;
        } texts[] = {{" --tt ", tags->szTitle}, {" --ta ", tags->szArtist}, {" --tl ", tags->szAlbum}};
        for (const auto& t : texts)
            if (t.text && t.text[0] != '\0')
                bFits = bFits && AppendFormat(out, outSize, "%s", t.option) && AppendQuotedArgument(out, outSize, t.text);
        if (tags->nTrack > 0)
            bFits = bFits && AppendFormat(out, outSize, " --tn %d", tags->nTrack);
        if (tags->szIsrc && tags->szIsrc[0] != '\0')
        {
            char frame[TEXT_BUFFER_SIZE];
            bFits = bFits && FormatText(frame, sizeof(frame), "TSRC=%s", tags->szIsrc) < TEXT_MAX_LENGTH
                    && AppendFormat(out, outSize, " --tv ") && AppendQuotedArgument(out, outSize, frame);
        }
    }
    if (!bFits)
        out[0] = '\0';
    return bFits;
}
