// The track list of one drive's disc with its names, as the main window shows
// it and the disc database fills it. Sector numbers are the drive's logical
// block addresses; a track runs from its start sector up to, not including,
// its end sector: the next track's start, or the lead-out, or, for the last
// audio track before a CD-Extra disc's data session, the end of its audio.
#pragma once

#include <cstdint>

#include "files/TextBuffer.h"

constexpr int CD_MAX_TRACKS = 255;

struct LCDTrack
{
    int32_t nSeconds;
    char szName[TEXT_BUFFER_SIZE];  // "Track %.2d" until the disc database names it
    // The database's name in UTF-8 as it came, for the tags, which keep what
    // the code page of szName lacks; empty when the name came in no UTF-8.
    char szNameUtf8[TEXT_BUFFER_SIZE];
    int32_t nStartSector;
    int32_t nEndSector;
    uint8_t bData;  // a data track: listed, but never ripped or played
    char szIsrc[13];  // the track's ISRC as the disc carries it; empty when none
    uint8_t bPreEmphasis;
    // Where the gap before the track (its index 0) starts, once the gaps were
    // looked for; nStartSector when it has none.
    int32_t nGapStart;
};

struct LCDDBInfo
{
    uint8_t iDrive;
    uint8_t bUseCDDB;
    char szCDDBServer[TEXT_BUFFER_SIZE];  // "host" or "host:port" asked when bUseCDDB
    uint32_t nCDDBTimeoutMs;              // each wait of the lookup: connecting, sending, each line
    char szTitle[TEXT_BUFFER_SIZE];  // artist " / " album; empty when unknown
    char szTitleUtf8[TEXT_BUFFER_SIZE];  // szTitle in UTF-8 as the database sent it; empty when not
    char szCatalog[14];              // the disc's media catalog number; empty when none
    uint8_t bNamedByCDText;          // the names are the disc's own CD-Text
    uint8_t bCDTextSkipped;          // CD-Text blocks in MS-JIS were passed by (the log says so)
    // Track 1 starts after sector 0 and the audio before it is not digital
    // silence: a hidden track, listed as a row of its own above track 1.
    uint8_t bHiddenAudio;
    char szYear[TEXT_BUFFER_SIZE];   // the database's year of the disc; empty when unknown
    char szGenre[TEXT_BUFFER_SIZE];  // the database's genre of the disc; empty when unknown
    uint8_t nTracks;
    LCDTrack Tracks[CD_MAX_TRACKS + 1];
};

// Whole seconds of a track (75 sectors a second); 0 for a reversed range.
inline int32_t TrackSeconds(int32_t startSector, int32_t endSector)
{
    return endSector > startSector ? (endSector - startSector) / 75 : 0;
}
