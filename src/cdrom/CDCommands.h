// The drive operations built on LSCSI: the table of contents, digital-audio
// reads, and eject and load.
#pragma once

#include <windows.h>

#include "cdrom/CDCommandBlocks.h"
#include "cdrom/LSCSI.h"
#include "files/TextBuffer.h"

// Reads the table of contents; `toc.nTracks` is 0 on every failure. Only the
// descriptors the drive sent are read, whatever its data length claims.
ProcessResult ProcessSCSICDGetTOC(LJobControl& job, LSCSI& scsi, CDTableOfContents& toc);

// Issues a read of `nSectors` (1-27) whole sectors from `startSector` into
// `buffer` (nSectors x 2352 bytes, 16-byte aligned) without waiting: the
// caller waits with ProcessSCSIWaitForCommand and owns the buffer until then.
ProcessResult ProcessSCSICDReadDASectors(LJobControl& job, LSCSI& scsi, void* buffer, BYTE nSectors,
                                         LONG startSector);

// The drive's name as drive offset lists give it (MakeDriveName), from its
// INQUIRY data; empty when the drive does not answer.
ProcessResult ProcessSCSIGetDriveName(LJobControl& job, LSCSI& scsi, char (&name)[TEXT_BUFFER_SIZE]);

// Eject or load the disc of a drive, outside any job; a drive that cannot be
// opened, or that refuses, stays as it is.
void LCDEject(BYTE drive);
void LCDLoad(BYTE drive);
