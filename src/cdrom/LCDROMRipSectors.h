// One request to read a range of sectors as digital audio into a sound sink,
// and the job that does it, under the progress window or on a worker thread.
#pragma once

#include <cstdint>

#include "cdrom/AccurateRip.h"
#include "cdrom/TrackAudioStats.h"
#include "jobs/LJobControl.h"
#include "sound/LSoundStream.h"

struct LCDROMRipSectors
{
    uint8_t nDrive;
    int32_t nStartSector;
    int32_t nEndSector;        // the sector after the last one; not below nStartSector
    LSoundSinkPtr Sink;        // may be empty: the sectors are read and dropped
    const char* szName = "";   // shown in the progress text
    // The drive's read offset correction in frames: the range's frame p is
    // read from the drive's frame p + nCorrectionFrames.
    int32_t nCorrectionFrames = 0;
    // Sectors before 0 and from the lead-out on are asked for only when
    // overreading; what is not asked for, or not given, is silence.
    int32_t nLeadOut = INT32_MAX;
    bool bOverread = false;
    TrackAudioStats Stats;     // of the frames delivered, as read
    AccurateRipChecksum* pChecksum = nullptr;  // when given, takes the frames delivered too
};

// Reads the range, its read offset corrected, and writes it to the sink as 2-channel frames, in blocks of
// at most BRIDGE_BLOCK_FRAMES. Failed when the drive cannot be opened or a
// read is refused, fails or does not complete within 40 s, or as soon as the
// sink raises bError (a write failed: no further sector is read), and Done
// only when the frames delivered are the whole range. Frames written stay written.
ProcessResult Process(LJobControl& job, LCDROMRipSectors& rip);
