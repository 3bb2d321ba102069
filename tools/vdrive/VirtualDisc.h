// A disc image described by a cue sheet: raw 2352-byte sectors in one or more
// BINARY files, laid end to end. Sector numbers are logical block addresses:
// sector 0 is the first sector of the first file. "REM SESSION nn" starts the
// disc's next session: as on a multisession disc, its first track's first
// index lies kSessionGap sectors later on the disc than in the files, and the
// sectors between cannot be read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// The previous session's lead-out (6750 sectors), the next one's lead-in
// (4500) and its first track's pregap (150).
constexpr int32_t kSessionGap = 11400;

struct VirtualTrack
{
    int number = 0;
    bool bAudio = true;
    int32_t startSector = 0;  // INDEX 01
};

class VirtualDisc
{
public:
    // Reads the cue sheet and measures its files; false with `error` set when
    // the sheet or one of its files cannot be used.
    bool Load(const std::string& cuePath, std::string& error);

    const std::vector<VirtualTrack>& Tracks() const { return tracks; }
    int32_t LeadOut() const { return leadOut; }

    // Copies `nSectors` sectors from `lba` on into `out`; false when they are
    // not all on the disc or a file cannot be read. Each file is opened at its
    // first read and stays open with the disc: an open costs a drive far more
    // than its read. Not for reads from two threads at once.
    bool ReadSectors(int32_t lba, int nSectors, uint8_t* out);

private:
    // Sectors of a file that lie together on the disc.
    struct Segment
    {
        std::string path;
        int32_t fileSector;   // the first one's place in the file
        int32_t firstSector;  // and on the disc
        int32_t nSectors;
        std::shared_ptr<FILE> file;  // open once read, unbuffered
    };
    std::vector<Segment> segments;
    std::vector<VirtualTrack> tracks;
    int32_t leadOut = 0;
};

// Joins a path from a file (a cue sheet, a configuration) to the file's folder,
// unless it is absolute. Both separators are understood.
std::string ResolveBesideFile(const std::string& file, const std::string& path);
