// What one rip writes: the checked rows, the output folder and format, and
// what the file names are made of.
#pragma once

#include "app/RipNames.h"
#include "sound/LSoundStream.h"

// Rows past this many are never ripped.
constexpr int MAX_RIP_ROWS = 100;

struct LRipRequest
{
    int nRows;                       // rows looked at, at most MAX_RIP_ROWS
    bool bChecked[MAX_RIP_ROWS];     // the rows to rip
    char szFolder[TEXT_BUFFER_SIZE];
    RipFormat Format;
    LRipNameSettings Names;
    char szArtist[TEXT_BUFFER_SIZE];
    char szAlbum[TEXT_BUFFER_SIZE];
};

// The sector-rip job writes 44100 Hz stereo: the channel and rate converters
// in front of `sink` give it its own. Empty when `sink` is empty or unusable,
// or the converters cannot be built for it.
LSoundSinkPtr OpenConverters(const LSoundSinkPtr& sink);
