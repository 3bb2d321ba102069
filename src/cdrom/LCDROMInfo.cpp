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
        info.szDriveName[i][0] = '\0';
        LSCSI scsi;
        if (!scsi.OpenCDROMDrive(static_cast<BYTE>(i)))
            continue;
        CDTableOfContents toc;
        const ProcessResult r = ProcessSCSICDGetTOC(job, scsi, toc);
        // The name after the disc, so that a drive's first command stays the
        // table of contents the list waits for; not while a command the drive
        // never answered still holds the request.
        if (!scsi.CommandPending())
            ProcessSCSIGetDriveName(job, scsi, info.szDriveName[i]);
        if (r != Done)
            continue;
        info.nTracks[i] = toc.nTracks;
        for (int j = 0; j < toc.nTracks; ++j)
        {
            info.nStartSector[i][j] = toc.nStartSector[j];
            info.nEndSector[i][j] = TrackEndSector(toc, j);
            info.nSeconds[i][j] = static_cast<uint16_t>(TrackSeconds(toc.nStartSector[j], info.nEndSector[i][j]));
        }
    }
    return Done;
}
