// The job "Loading CD Information": the track list of one drive's disc, with
// generic names that the disc database may replace.
#pragma once

#include "cdrom/LCDDBInfo.h"

class LProgressDialog;

// Fills `info`'s tracks from the table of contents of drive `info.iDrive`,
// named "Track 01", "Track 02" ...; 1 or 2 when the drive cannot be opened or
// its table of contents read.
int Process(LProgressDialog* job, LCDDBInfo& info);
