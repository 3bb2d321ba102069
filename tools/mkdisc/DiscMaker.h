// Test discs: a cue sheet and one raw image file (2352-byte sectors) whose
// every byte is a function of the disc's layout, so that a rip can be checked
// bit for bit against MakeSector without reading the image back.
//
// Audio is signed 16-bit little-endian stereo, left first, 588 frames a
// sector, 75 sectors a second. Sector numbers are 0-based from the start of
// the image file (INDEX 01 of the first track is sector 0).
#pragma once

#include <string>
#include <vector>

constexpr int kDiscSectorSize = 2352;
constexpr int kDiscFramesPerSector = 588;
constexpr int kDiscSectorsPerSecond = 75;
constexpr int kDiscMaxTracks = 99;
// Sectors an image may hold: every address + 150 stays below 100:00:00.
constexpr int kDiscMaxSectors = 100 * 60 * 75 - 150;

enum class DiscAudio
{
    Noise,  // seeded noise, from (seed, track number, frame): no two sectors alike
    Demo,   // the five tunes of DemoDiscLayout(), by track index; seed unused
};

struct DiscLayout
{
    std::vector<int> trackSectors;  // audio track lengths in sectors, in disc order
    int dataTrackSectors = 0;       // > 0: a MODE1/2352 data track of this many sectors is track 1
    unsigned seed = 1;
    DiscAudio audio = DiscAudio::Noise;
};

// Empty when the layout can be made, else what is wrong with it.
std::string CheckDiscLayout(const DiscLayout& layout);

// Tracks (data and audio), image sectors, and the first sector of track
// `number` (1-based, as on the cue sheet; count + 1 gives the lead-out).
int DiscTrackCount(const DiscLayout& layout);
int DiscTotalSectors(const DiscLayout& layout);
int DiscTrackStart(const DiscLayout& layout, int number);

// The cue sheet text (CRLF lines) naming `binName` as its image file.
std::string DiscCueSheet(const DiscLayout& layout, const std::string& binName);

// Sector `lba` of the image, 2352 bytes, for a layout CheckDiscLayout accepts
// and 0 <= lba < DiscTotalSectors.
void MakeSector(const DiscLayout& layout, int lba, unsigned char* out2352);

// The image path for a cue sheet path: its extension replaced by ".bin".
std::string DiscImagePath(const std::string& cuePath);

// Writes the cue sheet and its image; false with `error` set on a bad layout
// or an I/O failure.
bool WriteDisc(const DiscLayout& layout, const std::string& cuePath, std::string& error);

// The demo disc: five short tunes with a fixed table of contents, so that it
// always has the same disc id.
DiscLayout DemoDiscLayout();
