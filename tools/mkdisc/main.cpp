// mkdisc: writes a test disc, a cue sheet and its raw image, for ripping tests.
//
//   mkdisc OUT.cue [--seed N] [--data SECTORS] [--extra SECTORS] [--hidden SECTORS]
//                  [--pregap N=SECTORS]... [--pre-emphasis N]... [--catalog CODE] [--isrc N=CODE]...
//                  [--title [N=]TEXT]... [--performer [N=]TEXT]... LEN1 [LEN2 ...]
//   mkdisc --demo OUT.cue
//
// Lengths are in sectors (75 a second). --data puts a data track first (mixed
// mode); --extra puts one after the audio, in a second session (CD-Extra);
// --hidden puts audio before track 1's INDEX 01; --pregap gives track N a
// silent pregap (track 1's as PREGAP); N is a track number as on the sheet.
// A text without N= is the disc's. Exit 0 on success, 2 on bad arguments, 1
// on an I/O failure.
#include <cstdio>
#include <string>

#include "mkdisc/DiscMaker.h"

namespace {

const char kUsage[] =
    "usage: mkdisc OUT.cue [--seed N] [--data SECTORS] [--extra SECTORS] [--hidden SECTORS]\n"
    "                      [--pregap N=SECTORS]... [--pre-emphasis N]... [--catalog CODE] [--isrc N=CODE]...\n"
    "                      [--title [N=]TEXT]... [--performer [N=]TEXT]... LEN1 [LEN2 ...]\n"
    "       mkdisc --demo OUT.cue\n";

int Usage(const std::string& problem)
{
    if (!problem.empty())
        fprintf(stderr, "mkdisc: %s\n", problem.c_str());
    fputs(kUsage, stderr);
    return 2;
}

// A decimal number from 0 to `max`, digits only.
bool ParseNumber(const std::string& text, long long max, long long& value)
{
    if (text.empty() || text.size() > 12)
        return false;
    value = 0;
    for (char c : text)
    {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value <= max;
}

// "N=VALUE" with N a track number (1-99); false without one.
bool SplitTrack(const std::string& text, int& number, std::string& value)
{
    const size_t equals = text.find('=');
    long long n = 0;
    if (equals == std::string::npos || !ParseNumber(text.substr(0, equals), kDiscMaxTracks, n) || n < 1)
        return false;
    number = static_cast<int>(n);
    value = text.substr(equals + 1);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    DiscLayout layout;
    std::string cuePath;
    bool demo = false, custom = false;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        long long value = 0;
        if (arg == "--demo")
            demo = true;
        else if (arg == "--seed" || arg == "--data" || arg == "--extra")
        {
            if (i + 1 >= argc || !ParseNumber(argv[++i], arg == "--seed" ? 0xFFFFFFFFll : kDiscMaxSectors, value))
                return Usage("bad or missing value after " + arg);
            if (arg == "--seed")
                layout.seed = static_cast<unsigned>(value);
            else if (arg == "--data")
                layout.dataTrackSectors = static_cast<int>(value);
            else
                layout.extraTrackSectors = static_cast<int>(value);
            custom = true;
        }
        else if (arg == "--hidden" || arg == "--pre-emphasis" || arg == "--catalog" || arg == "--pregap"
                 || arg == "--isrc" || arg == "--title" || arg == "--performer")
        {
            if (i + 1 >= argc)
                return Usage("missing value after " + arg);
            const std::string text = argv[++i];
            int number = 0;
            std::string part;
            const bool bTrack = SplitTrack(text, number, part);
            if (arg == "--hidden" && ParseNumber(text, kDiscMaxSectors, value))
                layout.hiddenSectors = static_cast<int>(value);
            else if (arg == "--pre-emphasis" && ParseNumber(text, kDiscMaxTracks, value))
                layout.preEmphasis.insert(static_cast<int>(value));
            else if (arg == "--catalog")
                layout.catalog = text;
            else if (arg == "--pregap" && bTrack && ParseNumber(part, kDiscMaxSectors, value))
                layout.pregapSectors[number] = static_cast<int>(value);
            else if (arg == "--isrc" && bTrack)
                layout.isrc[number] = part;
            else if (arg == "--title")
                (bTrack ? layout.trackTitles[number] : layout.title) = bTrack ? part : text;
            else if (arg == "--performer")
                (bTrack ? layout.trackPerformers[number] : layout.performer) = bTrack ? part : text;
            else
                return Usage("bad value after " + arg);
            custom = true;
        }
        else if (arg.size() > 1 && arg[0] == '-')
            return Usage("unknown option " + arg);
        else if (cuePath.empty())
            cuePath = arg;
        else if (ParseNumber(arg, kDiscMaxSectors, value) && value >= 1)
            layout.trackSectors.push_back(static_cast<int>(value));
        else
            return Usage("bad track length " + arg);
    }
    if (cuePath.empty())
        return Usage("no cue sheet named");
    if (demo)
    {
        if (custom || !layout.trackSectors.empty())
            return Usage("--demo takes only the cue sheet");
        layout = DemoDiscLayout();
    }
    const std::string problem = CheckDiscLayout(layout);
    if (!problem.empty())
        return Usage(problem);
    std::string error;
    if (!WriteDisc(layout, cuePath, error))
    {
        fprintf(stderr, "mkdisc: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
