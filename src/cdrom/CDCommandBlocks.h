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

// START STOP UNIT (SBC 1Bh), 6 bytes: LoEj set; Start set to load, clear to eject.
void MakeStartStopUnitCdb(uint8_t cdb[6], bool load);

// Reads a READ TOC (format 0, LBA) response of `responseSize` bytes. The data
// length in bytes 0-1 counts 2 header bytes and 8 bytes per descriptor, one per
// track plus the lead-out. On success `nTracks` is the track count and
// `startSectors[0..nTracks]` the tracks' starts followed by the lead-out's.
// Descriptors that would lie beyond the response are not read: the track count
// is cut to what the response holds. Failed, with `nTracks` 0, when the data
// length is below 10 (no lead-out descriptor).
ProcessResult ParseTOCResponse(const uint8_t* response, std::size_t responseSize, uint8_t& nTracks,
                               int32_t startSectors[TOC_MAX_ENTRIES]);

// Converts `nFrames` stereo frames of a sector's 16-bit little-endian samples
// (left first) to the pipeline's sample form.
void CDFramesToSamples(const uint8_t* bytes, int nFrames, int32_t* samples);
