// The text of a rip's log, `<artist> - <album>.log` beside the files: what
// was read, how, and what became of each track. The rip writes each part as
// it goes (the disc, then each track as it ends, then the summary), so that a
// rip that is cancelled or fails leaves a log that says so. Lines end in
// CR LF; each part is cut at its buffer's end, and false says it was.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cdrom/AccurateRip.h"
#include "files/TextBuffer.h"

constexpr int RIP_LOG_MAX_TRACKS = 99;
constexpr std::size_t RIP_LOG_PART_SIZE = 16 * 1024;

struct RipLogDisc
{
    char szProgram[TEXT_BUFFER_SIZE];  // "Corvane 1.32"
    char szDate[32];                   // "2026-12-11 14:05"
    char szDrive[TEXT_BUFFER_SIZE];    // "VENDOR   - PRODUCT", as the drive offset lists name it
    char szArtist[TEXT_BUFFER_SIZE];
    char szAlbum[TEXT_BUFFER_SIZE];
    uint8_t bSecure;                   // else burst
    uint8_t bC2;                       // the drive's C2 pointers are used
    uint8_t bOverread;
    int32_t nCorrectionFrames;
    int nCacheSectors;                 // read elsewhere to defeat the drive's cache (secure)
    char szCatalog[14];                // the disc's catalog number; empty when none
    uint8_t bCDTextSkipped;            // CD-Text blocks in MS-JIS were passed by
    int nTracks;
    struct
    {
        int nNumber;
        int32_t nStartSector;
        int32_t nEndSector;  // after the last
        uint8_t bData;
        uint8_t bPreEmphasis;
    } Tracks[RIP_LOG_MAX_TRACKS];
};

enum class RipLogStatus
{
    CopyOk,      // secure: every sector proven
    Ripped,      // burst: read once
    Suspicious,  // some sectors not proven
    ReadError,   // some sectors not read at all
    Cancelled,
    Failed,      // the track's file could not be written, or the drive failed
};

// "Copy OK", "Ripped", "Suspicious", "Read error", "Cancelled", "Failed":
// the log's word for a track, which the track list shows too.
const char* RipLogStatusText(RipLogStatus status);

// "Accurate (confidence N)", "Not accurate (N other rips differ)", "Not in
// database" or "Database not reached": the log's and the track list's words
// for what the AccurateRip database says of a track.
void FormatAccurateRipStatus(const AccurateRipResult& result, char* out, std::size_t outSize);

// What the AccurateRip database says of a track: our checksums, the
// track's entry in each chunk of the disc's (v1 or v2 checksums, which nothing
// tells apart), and the result.
struct RipLogAccurateRip
{
    uint32_t v1;
    uint32_t v2;
    const AccurateRipEntry* pChunkEntries;
    int nChunkEntries;
    AccurateRipResult result;
    uint8_t bReadOnce;  // secure mode read the track once: the database proves it
};

struct RipLogTrack
{
    int nNumber;
    char szFile[TEXT_BUFFER_SIZE];
    int nPeak;          // the loudest sample, 0 to 32768
    uint8_t bTestCrc;   // a test CRC was taken (secure)
    uint32_t testCrc;
    uint32_t copyCrc;
    RipLogStatus status;
    // Sectors from the track's start, in order (suspicious, then not read).
    const int32_t* pSuspicious;
    int nSuspicious;
    const int32_t* pReadErrors;
    int nReadErrors;
    const RipLogAccurateRip* pAccurateRip;  // null when the database was not asked
};

bool FormatRipLogDisc(const RipLogDisc& disc, char* out, std::size_t outSize);
bool FormatRipLogTrack(const RipLogTrack& track, char* out, std::size_t outSize);
// The last line: how many of the tracks the rip was asked for ended how.
// The line before it, when the database was asked: how many of the tracks
// ripped it confirmed.
bool FormatRipLogAccurateRipSummary(int nTracks, int nAccurate, char* out, std::size_t outSize);
bool FormatRipLogSummary(int nTracks, int nCopyOk, int nRipped, int nSuspicious, int nReadErrors, bool bCancelled,
                         char* out, std::size_t outSize);
