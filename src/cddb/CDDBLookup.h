// The job "Loading CD Information": the track list of one drive's disc, with
// generic names, then, when asked, the names a CDDB server has for the disc.
#pragma once

#include "cdrom/LCDDBInfo.h"
#include "jobs/LJobControl.h"

// The server asked unless the setting "CDDBServer" names another
// ("host" or "host:port"; the port is 8880 when none is given).
constexpr const char* CDDB_DEFAULT_SERVER = "gnudb.gnudb.org";
// How long each wait of a lookup may take: connecting, sending, each line.
constexpr unsigned CDDB_TIMEOUT_MS = 10000;

// Fills `info`'s tracks from the table of contents of drive `info.iDrive`,
// named "Track 01", "Track 02" ...; with `info.bUseCDDB` the names that the
// server `info.szCDDBServer` has replace them, each wait of the lookup
// taking up to `info.nCDDBTimeoutMs`. Stopped or Failed only when
// the drive cannot be opened or its table of contents read: the lookup
// itself never fails the job.
ProcessResult Process(LJobControl& job, LCDDBInfo& info);
