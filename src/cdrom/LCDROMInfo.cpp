#include "cdrom/LCDROMInfo.h"

#include <cstring>

#include "cdrom/CDCommands.h"
#include "cdrom/LSCSI.h"

ProcessResult Process(LJobControl& job, LCDROMInfo& info)
{
    job.SetText(0, "Loading CD Track List(s)");
    job.SetText(1, "Please wait...");

    const BYTE nFound = LSCSI::GetCDROMDriveCount();
    info.nDrives = nFound > LCDROMINFO_MAXDRIVES ? LCDROMINFO_MAXDRIVES : nFound;
    for (int i = 0; i < info.nDrives; ++i)
    {
        info.nTracks[i] = 0;
        LSCSI scsi;
        if (!scsi.OpenCDROMDrive(static_cast<BYTE>(i)))
            continue;
        BYTE nTracks = 0;
        LONG starts[TOC_MAX_ENTRIES];
        if (ProcessSCSICDGetTOC(job, scsi, nTracks, starts) != Done)
            continue;
        info.nTracks[i] = nTracks;
        for (int j = 0; j < nTracks; ++j)
        {
            info.nStartSector[i][j] = starts[j];
            info.nEndSector[i][j] = starts[j + 1];
            info.nSeconds[i][j] = static_cast<uint16_t>(TrackSeconds(starts[j], starts[j + 1]));
        }
    }
    return Done;
}
