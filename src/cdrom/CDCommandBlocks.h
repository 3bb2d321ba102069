// The SCSI multimedia command blocks the program sends to a CD drive, and the
// reading of the table of contents that READ TOC returns. Sector addresses are
// logical block addresses as the drive reports them: sector 0 is the start of
// the first track's program area; no 150-sector offset is added here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jobs/ProcessResult.h"

constexpr int CD_SECTOR_SIZE = 2352;        // bytes of one raw sector
constexpr int CD_FRAMES_PER_SECTOR = 588;   // stereo 16-bit frames
constexpr int CD_SECTORS_PER_SECOND = 75;
constexpr int CD_MAX_READ_SECTORS = 27;     // sectors per READ CD
constexpr int TOC_RESPONSE_SIZE = 2048;     // READ TOC allocation length
constexpr int TOC_MAX_ENTRIES = 256;        // 255 tracks and the lead-out

// READ TOC/PMA/ATIP (MMC 43h), 10 bytes: format 0 (TOC), addresses as LBA
// (MSF bit clear), starting track 1, allocation length TOC_RESPONSE_SIZE.
void MakeReadTOCCdb(uint8_t cdb[10]);

// READ CD (MMC BEh), 12 bytes: any sector type, starting at `startSector`,
// `nSectors` (1-27) whole 2352-byte sectors (sync, headers, user data, EDC/ECC
// flags F0h), no sub-channel.
void MakeReadCDCdb(uint8_t cdb[12], int32_t startSector, uint8_t nSectors);

// READ CD (MMC BEh), 12 bytes, of audio: expected sector type CD-DA, the
// 2352 bytes of user data of `nSectors` sectors from `startSector`, each
// followed by `c2Bytes` of C2 error pointers: 0 (none), 294 (one bit a byte,
// C2 field 01b) or 296 (with a block error byte and a pad byte, 10b).
void MakeReadCDAudioCdb(uint8_t cdb[12], int32_t startSector, uint8_t nSectors, int c2Bytes);

// START STOP UNIT (SBC 1Bh), 6 bytes: LoEj set; Start set to load, clear to eject.
void MakeStartStopUnitCdb(uint8_t cdb[6], bool load);

// INQUIRY (SPC 12h), 6 bytes: the standard data, INQUIRY_RESPONSE_SIZE bytes.
constexpr int INQUIRY_RESPONSE_SIZE = 36;
void MakeInquiryCdb(uint8_t cdb[6]);

// The drive's name as drive offset lists give it, by which its read offset
// correction is stored: INQUIRY's vendor (bytes 8-15) trimmed and padded with
// spaces to 8, " - ", and its product (bytes 16-31) trimmed. Characters other
// than printable ASCII become '_'. False when fewer than 32 bytes arrived.
bool MakeDriveName(const uint8_t* inquiry, std::size_t size, char* name, std::size_t nameSize);

// The last address a table of contents may hold, the last that MSF names
// (99:59:74); the first is sector 0, where the program area starts (00:02:00).
// Track lengths and sector counts within this range cannot overflow.
constexpr int32_t CD_LAST_ADDRESS = 100 * 60 * CD_SECTORS_PER_SECOND - 150 - 1;

// What a READ TOC buffer is filled with before the command: a descriptor that
// is still all of it afterwards was not sent, since no track is numbered FFh.
constexpr uint8_t TOC_UNSENT_FILL = 0xFF;

// Sectors between the last audio track of a CD-Extra disc's first session and
// the data track that starts its second: the first session's lead-out (6750),
// the second's lead-in (4500) and the data track's pregap (150).
constexpr int32_t CD_EXTRA_SESSION_GAP = 11400;

// A disc's table of contents.
struct CDTableOfContents
{
    uint8_t nTracks;
    int32_t nStartSector[TOC_MAX_ENTRIES];  // each track's first sector, then the lead-out's
    bool bData[TOC_MAX_ENTRIES];            // the track's CONTROL field has its data bit set
    bool bPreEmphasis[TOC_MAX_ENTRIES];     // ... its pre-emphasis bit (audio recorded with it)
};

// Reads a READ TOC (format 0, LBA) response of which the first `responseSize`
// bytes arrived. The data length in bytes 0-1 counts 2 header bytes and 8
// bytes per descriptor, one per track plus the lead-out. Descriptors that
// would lie beyond the bytes that arrived are not read: the track count is
// cut to what arrived. Failed, with `toc.nTracks` 0, when the data length is
// below 10 (no lead-out descriptor) or an address read lies outside 0 to
// CD_LAST_ADDRESS: such a table is corrupt as a whole.
ProcessResult ParseTOCResponse(const uint8_t* response, std::size_t responseSize, CDTableOfContents& toc);

// How many of a READ TOC buffer's `bufferSize` bytes the drive sent, for a
// back end that does not say: the header and the descriptors before the first
// one still all TOC_UNSENT_FILL, the buffer having been filled with it before
// the command.
std::size_t TOCResponseBytesSent(const uint8_t* buffer, std::size_t bufferSize);

// The sector after the last one of track `track`: the next track's start or
// the lead-out, except that an audio track followed by a data track (a
// CD-Extra disc's second session) ends CD_EXTRA_SESSION_GAP sectors before
// the data track, when it starts no earlier than that.
int32_t TrackEndSector(const CDTableOfContents& toc, int track);

// Converts `nFrames` stereo frames of a sector's 16-bit little-endian samples
// (left first) to the pipeline's sample form.
void CDFramesToSamples(const uint8_t* bytes, int nFrames, int32_t* samples);
