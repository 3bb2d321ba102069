// The cue sheet written beside a rip, in the layout the rip produces: one
// file per track, each from its track's index 1 to the next track's, so the
// gap before a track lies at the end of the previous track's file. Sector
// numbers are the drive's (0 = the first sector of the program area); cue
// times count 75 frames a second from the start of the current file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "files/TextBuffer.h"

constexpr int CUE_MAX_TRACKS = 99;

struct CueTrack
{
    int nNumber;              // the disc's track number, 1 to 99
    int32_t nIndex0;          // where the gap before the track starts; nIndex1 when it has none
    int32_t nIndex1;          // where the track starts
    uint8_t bPreEmphasis;     // FLAGS PRE
    uint8_t bCopyPermitted;   // FLAGS DCP
    char szIsrc[13];          // 12 characters, or empty
    char szTitle[TEXT_BUFFER_SIZE];
    char szPerformer[TEXT_BUFFER_SIZE];  // empty: the disc's
    char szFileName[TEXT_BUFFER_SIZE];   // the track's file, as named in its folder
};

struct CueDisc
{
    uint32_t cddbId;
    char szProgram[TEXT_BUFFER_SIZE];    // "Corvane <version>", for the comment
    char szCatalog[14];                  // 13 digits, or empty
    char szPerformer[TEXT_BUFFER_SIZE];
    char szTitle[TEXT_BUFFER_SIZE];
    char szFileType[8];                  // "WAVE" or "MP3"
    // Audio before track 1's index 1: when it is not silence it was ripped
    // to a file of its own, named here; otherwise it is only a pregap.
    char szHiddenFileName[TEXT_BUFFER_SIZE];
    int nTracks;                         // the audio tracks, in disc order
    CueTrack Tracks[CUE_MAX_TRACKS];
};

// Enough for 99 tracks with every field full.
constexpr std::size_t CUE_SHEET_SIZE = 160 * 1024;

// The sheet's text, lines ending in CR LF. False when the disc cannot be
// described (no track, a track number out of order, an index before the
// previous track's start) or the text did not fit.
bool MakeCueSheet(const CueDisc& disc, char* out, std::size_t outSize);
