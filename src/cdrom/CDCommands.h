// The drive operations built on LSCSI: the table of contents, digital-audio
// reads, and eject and load.
#pragma once

#include <windows.h>

#include "cdrom/CDCommandBlocks.h"
#include "cdrom/CDText.h"
#include "cdrom/LCDDBInfo.h"
#include "cdrom/LSCSI.h"
#include "files/TextBuffer.h"

// Reads the table of contents; `toc.nTracks` is 0 on every failure. Only the
// descriptors the drive sent are read, whatever its data length claims.
ProcessResult ProcessSCSICDGetTOC(LJobControl& job, LSCSI& scsi, CDTableOfContents& toc);

// What the disc carries beside its audio. Done when the drive answered and
// the answer could be read; Failed when the drive has none, refuses the
// command or answers nonsense (`text`, `catalog`, `isrc` are then empty);
// Stopped when the job was.
ProcessResult ProcessSCSICDReadCDText(LJobControl& job, LSCSI& scsi, CDText& text);
ProcessResult ProcessSCSICDReadCatalog(LJobControl& job, LSCSI& scsi, char (&catalog)[14]);
ProcessResult ProcessSCSICDReadIsrc(LJobControl& job, LSCSI& scsi, uint8_t track, char (&isrc)[13]);

// Looks for the gap before each audio track after the first through the Q
// subchannel (READ CD's formatted Q, a halving search over the previous
// track), into the tracks' nGapStart. Stopped when the job was; a drive that
// gives no Q leaves the gaps as they were.
ProcessResult ProcessSCSICDFindGaps(LJobControl& job, LSCSI& scsi, LCDDBInfo& info);

// Whether the audio from sector 0 up to `endSector` holds anything but
// digital silence (reading stops at the first sample that is not zero). Done
// with `bAudio` set; Failed when a read failed, Stopped when the job was.
ProcessResult ProcessSCSICDHasAudioBefore(LJobControl& job, LSCSI& scsi, int32_t endSector, bool& bAudio);

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
