// Reading a track with the drive's read offset corrected. A drive whose
// correction is +c delivers every frame c frames early: the track's frame p
// lies at the drive's frame p + c. Frames are stereo sample pairs, counted
// from the program area's first (sector 0's first frame); a sector holds
// CD_FRAMES_PER_SECTOR of them.
#pragma once

#include <cstdint>

#include "cdrom/CDCommandBlocks.h"

struct OffsetReadPlan
{
    int32_t nFirstSector;  // the first of the drive's sectors that hold the track's frames
    int32_t nEndSector;    // after the last
    uint32_t nSkipFrames;  // frames of the first sector before the track's first frame
    uint32_t nFrames;      // the track's frames
};

// The drive's sectors to read for the track [startSector, endSector) with the
// correction `correctionFrames`.
OffsetReadPlan PlanOffsetRead(int32_t startSector, int32_t endSector, int32_t correctionFrames);

// Whether the drive is asked for a sector at all: those before the disc and
// from its lead-out on only when overreading, which many drives refuse or
// hang on. What is not asked for, or not given, is silence.
inline bool AskForSector(int32_t sector, int32_t leadOut, bool bOverread)
{
    return bOverread || (sector >= 0 && sector < leadOut);
}
