// One request to read a range of sectors as digital audio into a sound sink,
// and the job that does it: under the progress window, or on a worker thread
// with its stop signal.
#pragma once

#include <cstdint>

#include "sound/LSoundStream.h"

class LProgressDialog;
class LSignalObject;

struct LCDROMRipSectors
{
    uint8_t nDrive;
    int32_t nStartSector;
    int32_t nEndSector;        // the sector after the last one; not below nStartSector
    LSoundSinkPtr Sink;        // may be empty: the sectors are read and dropped
    const char* szName = "";   // shown in the progress text
};

// Reads the range and writes it to the sink as 2-channel frames, in blocks of
// at most BRIDGE_BLOCK_FRAMES. 0 when the range was delivered, 1 when the
// user stopped, 2 when the drive cannot be opened or a read is refused,
// fails or does not complete within 40 s. Frames written stay written.
int Process(LProgressDialog* job, LCDROMRipSectors& rip);
// The same on a worker thread: no progress shown; `stop` ends it with 1.
int Process(LCDROMRipSectors& rip, LSignalObject& stop);
