#include "cddb/CDDBLookup.h"

#include "cdrom/CDCommands.h"
#include "cdrom/LSCSI.h"
#include "jobs/LProgressDialog.h"

int Process(LProgressDialog* job, LCDDBInfo& info)
{
    job->SetText(0, "Loading Table of Contents");
    job->SetText(1, "Please wait...");
    LSCSI scsi;
    if (!scsi.OpenCDROMDrive(info.iDrive))
        return Failed;
    LONG starts[TOC_MAX_ENTRIES];
    const int r = ProcessSCSICDGetTOC(job, scsi, info.nTracks, starts);
    if (r != 0)
        return r;
    for (int i = 0; i < info.nTracks; ++i)
    {
        LCDTrack& track = info.Tracks[i];
        FormatText(track.szName, sizeof(track.szName), "Track %.2d", i + 1);
        track.nStartSector = starts[i];
        track.nEndSector = starts[i + 1];
        track.nSeconds = TrackSeconds(starts[i], starts[i + 1]);
    }
    // The disc database is asked when info.bUseCDDB is set; that lookup is
    // not built yet, so the generic names stand.
    return Done;
}
