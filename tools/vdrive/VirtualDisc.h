// A disc image described by a cue sheet: raw 2352-byte sectors in one or more
// BINARY files, laid end to end. Sector numbers are logical block addresses:
// sector 0 is the first sector of the first file, or of a first track's
// PREGAP. "REM SESSION nn" starts the disc's next session: as on a
// multisession disc, its first track's first index lies kSessionGap sectors
// later on the disc than in the files, and the sectors between cannot be read.
// A PREGAP is silence that no file holds, inserted before the track's first
// index. The sheet's CATALOG, ISRC, FLAGS, TITLE, PERFORMER and SONGWRITER are
// kept for the sub-channel and CD-Text; texts are taken as ISO-8859-1 bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// The previous session's lead-out (6750 sectors), the next one's lead-in
// (4500) and its first track's pregap (150).
constexpr int32_t kSessionGap = 11400;

// Bits of a track's CONTROL field (READ TOC, the Q sub-channel).
constexpr uint8_t kControlPreEmphasis = 0x01;
constexpr uint8_t kControlCopyPermitted = 0x02;
constexpr uint8_t kControlData = 0x04;
constexpr uint8_t kControlFourChannel = 0x08;

struct VirtualTrack
{
    int number = 0;
    bool bAudio = true;
    int32_t startSector = 0;   // INDEX 01
    int32_t pregapSector = 0;  // where index 0 begins (INDEX 00 or PREGAP); startSector without a pregap
    uint8_t control = 0;       // kControl... bits
    std::string isrc;          // 12 characters, or empty
    std::string title, performer, songwriter;
};

// Where a sector lies as the Q sub-channel tells it.
struct DiscQPosition
{
    int track;         // a track number, or 0xAA in the lead-out
    int index;         // 0 over a pregap, else 1
    int32_t relative;  // sectors from the track's start: negative over its pregap
    uint8_t control;   // the track's CONTROL bits
};

class VirtualDisc
{
public:
    // Reads the cue sheet and measures its files; false with `error` set when
    // the sheet or one of its files cannot be used.
    bool Load(const std::string& cuePath, std::string& error);

    const std::vector<VirtualTrack>& Tracks() const { return tracks; }
    int32_t LeadOut() const { return leadOut; }
    const std::string& Catalog() const { return catalog; }  // 13 digits, or empty
    // The disc's own texts (those before the first TRACK).
    const std::string& Title() const { return title; }
    const std::string& Performer() const { return performer; }
    const std::string& Songwriter() const { return songwriter; }

    // The Q position of any sector, also before the disc's start (the first
    // track's pregap) and from the lead-out on.
    DiscQPosition PositionOf(int64_t lba) const;

    // Copies `nSectors` sectors from `lba` on into `out`; false when they are
    // not all on the disc or a file cannot be read. Each file is opened at its
    // first read and stays open with the disc: an open costs a drive far more
    // than its read. Not for reads from two threads at once.
    bool ReadSectors(int32_t lba, int nSectors, uint8_t* out);

private:
    // Sectors of a file that lie together on the disc, or silence of a PREGAP.
    struct Segment
    {
        std::string path;     // empty for silence
        int32_t fileSector;   // the first one's place in the file
        int32_t firstSector;  // and on the disc
        int32_t nSectors;
        std::shared_ptr<FILE> file;  // open once read, unbuffered
    };
    std::vector<Segment> segments;
    std::vector<VirtualTrack> tracks;
    int32_t leadOut = 0;
    std::string catalog, title, performer, songwriter;
};

// Joins a path from a file (a cue sheet, a configuration) to the file's folder,
// unless it is absolute. Both separators are understood.
std::string ResolveBesideFile(const std::string& file, const std::string& path);
