// The MP3 encoder's command line, from the rip's settings, paths and tags to
// what the encoder reads: the line always fits, the start-up code's splitting
// gives back every text exactly, and the encoder takes the output and the
// tags as they were meant, whatever quotes, backslashes or spaces they hold.
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "files/TextBuffer.h"
#include "mp3enc/EncoderOptions.h"
#include "soundfile/Mp3Encoder.h"

namespace {

// A text as the program holds it: at most 259 characters, up to a NUL.
std::string Text(FuzzInput& input)
{
    std::string line = input.Line();
    line = line.substr(0, strnlen(line.c_str(), TEXT_MAX_LENGTH));
    return line;
}

// The arguments after the program's name, split as the C start-up code
// splits a command line: blanks separate outside quotes; 2n backslashes
// before a quote give n and the quote opens or closes, 2n+1 give n and a
// quote; other backslashes stand for themselves.
std::vector<std::string> SplitArguments(const std::string& line)
{
    size_t i = 0;
    // The program's name: quoted or up to a blank, with no escapes.
    if (i < line.size() && line[i] == '"')
    {
        i = line.find('"', i + 1);
        i = i == std::string::npos ? line.size() : i + 1;
    }
    while (i < line.size() && line[i] != ' ' && line[i] != '\t')
        ++i;
    std::vector<std::string> args;
    for (;;)
    {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size())
            return args;
        std::string arg;
        bool bQuoted = false;
        while (i < line.size())
        {
            size_t n = 0;
            while (i + n < line.size() && line[i + n] == '\\')
                ++n;
            if (i + n < line.size() && line[i + n] == '"')
            {
                arg.append(n / 2, '\\');
                i += n + 1;
                if (n % 2 == 1)
                    arg += '"';
                else
                    bQuoted = !bQuoted;
                continue;
            }
            arg.append(n, '\\');
            i += n;
            if (i >= line.size() || (!bQuoted && (line[i] == ' ' || line[i] == '\t')))
                break;
            arg += line[i++];
        }
        args.push_back(arg);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    Mp3EncoderSettings settings;
    settings.bConstantBitRate = input.Flag();
    settings.nCBRBitRate = input.U16();
    settings.bHighQuality = input.Flag();
    settings.nVBRMinBitRate = input.U16();
    settings.nVBRMaxBitRate = input.U16();
    settings.nVBRQuality = input.Byte();
    settings.bErrorProtection = input.Flag();
    settings.nChannelMode = input.Byte();
    const int32_t offeredRate = input.I32();
    // What a sink chain offers: one or two channels.
    const uint8_t offeredChannels = 1 + input.Byte() % 2;
    const int track = input.Byte();
    // Paths as the program makes them: absolute, a drive first.
    const std::string encoder = "C:\\" + Text(input).substr(0, TEXT_MAX_LENGTH - 3);
    const std::string output = "C:\\" + Text(input).substr(0, TEXT_MAX_LENGTH - 3);
    const std::string title = Text(input);
    const std::string artist = Text(input);
    const std::string album = Text(input);

    int32_t rate = 0;
    uint8_t channels = 0;
    ChooseMp3Input(settings, offeredRate, offeredChannels, rate, channels);
    FUZZ_CHECK(rate >= 8000 && rate <= 48000);
    FUZZ_CHECK(channels == 1 || channels == offeredChannels);

    const Mp3Tags tags = {title.c_str(), artist.c_str(), album.c_str(), track, nullptr};
    // A track's frames, or none given.
    const int64_t frames = static_cast<int64_t>(track) * 588 * 4500 - 1;
    char line[MP3_COMMAND_LINE_SIZE];
    // Every line fits; only an encoder path with a quote, which no file has, is refused.
    const bool bMade = MakeMp3CommandLine(settings, encoder.c_str(), rate, channels, output.c_str(), &tags, line,
                                          sizeof(line), frames);
    FUZZ_CHECK(bMade == (encoder.find('"') == std::string::npos));
    if (!bMade)
        return 0;

    // The output follows "-", and the tags follow it, each given back whole.
    const std::vector<std::string> args = SplitArguments(line);
    size_t at = 0;
    while (at < args.size() && args[at] != "-")
        ++at;
    FUZZ_CHECK(at + 1 < args.size());
    FUZZ_CHECK(args[at + 1] == output);
    std::vector<std::string> expectedTags;
    for (const auto& tag : {std::make_pair("--tt", title), std::make_pair("--ta", artist), std::make_pair("--tl", album)})
        if (!tag.second.empty())
        {
            expectedTags.push_back(tag.first);
            expectedTags.push_back(tag.second);
        }
    if (track > 0)
    {
        expectedTags.push_back("--tn");
        expectedTags.push_back(std::to_string(track));
    }
    FUZZ_CHECK(std::vector<std::string>(args.begin() + at + 2, args.end()) == expectedTags);

    // The encoder either takes the line with the texts as they were, or
    // refuses the options the settings gave it, never the texts.
    std::vector<std::string> all = {"mp3enc.exe"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<const char*> argv;
    for (const std::string& arg : all)
        argv.push_back(arg.c_str());
    EncoderOptions options;
    std::string problem;
    if (ParseEncoderOptions(static_cast<int>(argv.size()), argv.data(), options, problem))
    {
        FUZZ_CHECK(options.outputPath == output);
        FUZZ_CHECK(options.title == title && options.artist == artist && options.album == album);
        FUZZ_CHECK(options.track == track);
        FUZZ_CHECK(options.Channels() == channels);
        FUZZ_CHECK(options.sampleRate == rate);
        FUZZ_CHECK(options.frames == frames);
    }
    else
        FUZZ_CHECK(problem.find("output") == std::string::npos && problem.find("unexpected") == std::string::npos
                   && problem.find("needs a value") == std::string::npos && problem.find("--t") == std::string::npos);
    return 0;
}
