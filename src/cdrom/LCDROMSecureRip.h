// One track read securely (SecureRead) from a drive into a sound sink, as a
// job under the progress window: every sector proven by two reads with the
// drive's cache defeated between them, or reported.
#pragma once

#include <cstdint>

#include "cdrom/AccurateRip.h"
#include "cdrom/SecureRead.h"
#include "jobs/LJobControl.h"
#include "sound/LSoundStream.h"

// What a drive's C2 pointers are: not probed yet, or the bytes it gives a
// sector (294, 296, or 0 when it refuses them).
constexpr int C2_NOT_PROBED = -1;

struct LCDROMSecureRip
{
    uint8_t nDrive;
    int32_t nStartSector;
    int32_t nEndSector;        // the sector after the last one
    LSoundSinkPtr Sink;        // receives the track's frames, as LCDROMRipSectors writes them
    const char* szName = "";   // shown in the progress text
    // How to read; its bC2 is set from nC2Bytes.
    SecureReadSettings Settings;
    // The drive's C2 layout; C2_NOT_PROBED makes the job ask the drive first
    // and set it, so that the caller asks each drive once.
    int nC2Bytes = C2_NOT_PROBED;
    SecureTrackReport Report;  // what became of each sector, and the CRCs
    AccurateRipChecksum* pChecksum = nullptr;  // when given, takes the frames delivered too
    SecureReadBuffers* pBuffers = nullptr;     // kept from track to track by the caller, when given
};

// Asks the drive once which C2 layout it gives, reading `nSector`.
struct LCDROMC2Probe
{
    uint8_t nDrive;
    int32_t nSector;
    int nC2Bytes = C2_NOT_PROBED;  // 294, 296 or 0 after Done
};
ProcessResult Process(LJobControl& job, LCDROMC2Probe& probe);

// Reads the track securely. Done when every frame reached the sink (proven
// or not: the report tells), Stopped on Cancel, Failed when the drive cannot
// be opened, fails other than at the disc, or does not answer within 40 s,
// or when a write to the sink fails.
ProcessResult Process(LJobControl& job, LCDROMSecureRip& rip);
