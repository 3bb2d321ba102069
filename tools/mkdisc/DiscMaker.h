// Test discs: a cue sheet and one raw image file (2352-byte sectors) whose
// every byte is a function of the disc's layout, so that a rip can be checked
// bit for bit against MakeSector without reading the image back.
//
// Audio is signed 16-bit little-endian stereo, left first, 588 frames a
// sector, 75 sectors a second. Disc address 0 is the first track's first
// sector (its INDEX 01, or where its hidden audio or PREGAP starts); the image
// file starts there too, except that no file holds a PREGAP's silence. A CD-Extra disc's
// data track lies kDiscSessionGap sectors further on the disc than in the
// file, and the cue sheet marks its second session ("REM SESSION 02").
//
// A layout may also carry what the sheet tells beyond its tracks: a catalog
// number, ISRCs, texts, pre-emphasis flags, silent pregaps (track 1's as
// PREGAP, silence in no file, so that the disc starts that much before its
// INDEX 01; a later track's as INDEX 00 over silence in the image) and audio
// before track 1's INDEX 01 (hidden first-track audio, from INDEX 00 at the
// image's start).
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

constexpr int kDiscSectorSize = 2352;
constexpr int kDiscFramesPerSector = 588;
constexpr int kDiscSectorsPerSecond = 75;
constexpr int kDiscMaxTracks = 99;
// Sectors a disc may span: every address + 150 stays below 100:00:00.
constexpr int kDiscMaxSectors = 100 * 60 * 75 - 150;
// Between the sessions of a CD-Extra disc: the first session's lead-out
// (6750 sectors), the second's lead-in (4500) and its data track's pregap (150).
constexpr int kDiscSessionGap = 11400;

enum class DiscAudio
{
    Noise,  // seeded noise, from (seed, track number, frame): no two sectors alike
    Demo,   // the five tunes of DemoDiscLayout(), by track index; seed unused
};

struct DiscLayout
{
    std::vector<int> trackSectors;  // audio track lengths in sectors, in disc order
    int dataTrackSectors = 0;       // > 0: a MODE1/2352 data track of this many sectors is track 1
    int extraTrackSectors = 0;      // > 0: a MODE1/2352 data track of this many sectors follows the
                                    // audio in a second session (CD-Extra)
    unsigned seed = 1;
    DiscAudio audio = DiscAudio::Noise;

    int hiddenSectors = 0;                   // noise before track 1's INDEX 01 (no data track first)
    std::map<int, int> pregapSectors;        // audio track number to sectors of silence before it
    std::string catalog;                     // 13 digits, or empty
    std::map<int, std::string> isrc;         // track number to 12 letters and digits
    std::string title, performer;            // the disc's
    std::map<int, std::string> trackTitles;  // track number to text
    std::map<int, std::string> trackPerformers;
    std::set<int> preEmphasis;               // audio tracks flagged PRE
};

// Empty when the layout can be made, else what is wrong with it.
std::string CheckDiscLayout(const DiscLayout& layout);

// Tracks (data and audio), image sectors, and the disc address of track
// `number`'s first sector, its INDEX 01 (1-based, as on the cue sheet; count +
// 1 gives the lead-out).
int DiscTrackCount(const DiscLayout& layout);
int DiscTotalSectors(const DiscLayout& layout);
int DiscTrackStart(const DiscLayout& layout, int number);

// The cue sheet text (CRLF lines) naming `binName` as its image file.
std::string DiscCueSheet(const DiscLayout& layout, const std::string& binName);

// The disc address where track `number`'s index 0 starts: its pregap's or
// hidden audio's first sector, else its INDEX 01.
int DiscPregapStart(const DiscLayout& layout, int number);

// Sector `index` of the image file, 2352 bytes, for a layout CheckDiscLayout
// accepts and 0 <= index < DiscTotalSectors.
void MakeSector(const DiscLayout& layout, int index, unsigned char* out2352);

// The image path for a cue sheet path: its extension replaced by ".bin".
std::string DiscImagePath(const std::string& cuePath);

// Writes the cue sheet and its image; false with `error` set on a bad layout
// or an I/O failure.
bool WriteDisc(const DiscLayout& layout, const std::string& cuePath, std::string& error);

// The demo disc: five short tunes with a fixed table of contents, so that it
// always has the same disc id.
DiscLayout DemoDiscLayout();
