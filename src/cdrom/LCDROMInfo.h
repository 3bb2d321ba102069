// The drive list: how many CD-ROM drives there are and the track list of each.
#pragma once

#include <cstdint>

#include "cdrom/LCDDBInfo.h"
#include "jobs/LJobControl.h"

constexpr int LCDROMINFO_MAXDRIVES = 8;

struct LCDROMInfo
{
    uint8_t nDrives;                                          // at most 8
    uint8_t nTracks[LCDROMINFO_MAXDRIVES];                    // 0 when the disc cannot be read
    uint16_t nSeconds[LCDROMINFO_MAXDRIVES][CD_MAX_TRACKS + 1];
    int32_t nStartSector[LCDROMINFO_MAXDRIVES][CD_MAX_TRACKS + 1];
    int32_t nEndSector[LCDROMINFO_MAXDRIVES][CD_MAX_TRACKS + 1];
    // "VENDOR   - PRODUCT", by which the drive's read offset is stored; empty
    // when the drive does not say.
    char szDriveName[LCDROMINFO_MAXDRIVES][TEXT_BUFFER_SIZE];
};

// Counts the drives (the first eight are listed) and reads each one's name
// and table of contents; a drive that cannot be read keeps 0 tracks. Always Done: a
// stop only ends the wait in progress, and the other drives are still read.
ProcessResult Process(LJobControl& job, LCDROMInfo& info);
