// The program's FLAC sink alone, for the benchmark: raw 44100 Hz stereo
// 16-bit little-endian samples (a disc image) into one FLAC file.
//   corvane-flacenc LEVEL IN.raw OUT.flac
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cdrom/CDCommandBlocks.h"
#include "soundfile/LFlacFile.h"

int main(int argc, char** argv)
{
    if (argc != 4)
    {
        fprintf(stderr, "usage: corvane-flacenc LEVEL IN.raw OUT.flac\n");
        return 2;
    }
    FILE* in = fopen(argv[2], "rb");
    if (!in)
    {
        fprintf(stderr, "corvane-flacenc: cannot open %s\n", argv[2]);
        return 1;
    }
    fseek(in, 0, SEEK_END);
    const long long frames = _ftelli64(in) / 4;
    fseek(in, 0, SEEK_SET);
    const FlacTrackTags tags = {"", "", "", 1, 1, "", "", ""};
    LSoundSinkPtr sink(new LSNKFlacFile(argv[3], 44100, 2, atoi(argv[1]), tags, frames));
    // The rip's own blocks: a read of 27 sectors at a time.
    const int blockFrames = 27 * CD_FRAMES_PER_SECTOR;
    std::vector<uint8_t> bytes(blockFrames * 4);
    std::vector<int32_t> samples(blockFrames * 2);
    size_t got;
    while (!sink->bError && (got = fread(bytes.data(), 4, blockFrames, in)) > 0)
    {
        CDFramesToSamples(bytes.data(), static_cast<int>(got), samples.data());
        sink->Write(samples.data(), static_cast<int>(got));
    }
    fclose(in);
    sink->Finish();
    if (sink->bError)
    {
        fprintf(stderr, "corvane-flacenc: the file could not be written\n");
        return 1;
    }
    return 0;
}
