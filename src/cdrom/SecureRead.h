// Secure reading of one track: every sector read twice with the drive's cache
// defeated in between (the first time with the drive's C2 pointers), and
// proven when two reads agree and C2 flags neither; a sector that is not is
// read again, up to SECURE_MAX_REREADS more times, and then kept as the
// version read most often (suspicious) or, never read at all, as silence (a
// read error). The drive's read offset is corrected as the track is read. A
// drive found to misplace its reads (jitter) is read with overlapping reads,
// each placed by its audio before any comparison. Platform-free: the drive
// comes through AudioSectorReader, the caller through SecureReadEvents.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "cdrom/ReadOffset.h"
#include "cdrom/TrackAudioStats.h"

// Reads of a sector after the first two at most, when they do not agree.
constexpr int SECURE_MAX_REREADS = 16;
// Sectors read elsewhere between two reads of the same sector: more than a
// drive's cache holds (5.6 MB and more are rare), so that the second read
// comes from the disc.
constexpr int SECURE_CACHE_DEFEAT_SECTORS = 2400;
// How far a drive that misplaces its reads may put one, either way, in
// frames. Such a drive's reads overlap by a sector and are placed on each
// other by their audio, which leaves at least half a sector to compare.
constexpr int SECURE_MAX_JITTER_FRAMES = 147;
// One-sector reads at most, beyond the passes, to find where a run of such
// reads lies on the track (see SecureRead.cpp).
constexpr int SECURE_MAX_ANCHOR_READS = 2000;
// Bytes of C2 pointers a sector: one bit for each byte of its audio.
constexpr int C2_BYTES_PER_SECTOR = CD_SECTOR_SIZE / 8;
// Sectors a READ CD with C2 pointers asks for: as many as fit the transfer of
// a plain read, the larger (296-byte) layout of the pointers counted.
constexpr int CD_MAX_READ_SECTORS_WITH_C2 = CD_MAX_READ_SECTORS * CD_SECTOR_SIZE / (CD_SECTOR_SIZE + 296);

enum class AudioReadResult
{
    Good,
    MediumError,  // the disc cannot be read there
    Failed,       // any other failure: the drive, the transport
};

// One drive, as secure reading reads it.
class AudioSectorReader
{
public:
    virtual ~AudioSectorReader() = default;
    // Reads `nSectors` (at most CD_MAX_READ_SECTORS) from `sector`: 2352
    // bytes each to `data`, and, when `c2` is given, C2_BYTES_PER_SECTOR
    // each to `c2`.
    virtual AudioReadResult ReadAudio(int32_t sector, int nSectors, uint8_t* data, uint8_t* c2) = 0;
};

struct SecureReadSettings
{
    int32_t nCorrectionFrames;  // the drive's read offset correction
    int32_t nLeadOut;           // the disc's end: later sectors only when overreading
    bool bOverread;
    bool bC2;                   // the drive gives C2 pointers worth asking for
    bool bSecondPass;           // prove every sector (a track that is known right needs one pass)
    // What one cache defeat reads, SECURE_CACHE_DEFEAT_SECTORS; sectors are
    // compared in windows of a read more, so that reading the next window's
    // first pass defeats the cache for the window before.
    int nCacheSectors;
    // The drive was found to misplace its reads (SecureTrackReport's
    // bMisplacedReads): read with overlaps from the start.
    bool bMisplacesReads = false;
};

// What became of a sector of the drive.
enum class SectorVerdict : uint8_t
{
    Proven,      // two reads agree and C2 flags neither
    ReadOnce,    // read once, as asked
    Suspicious,  // no two reads agreed without a C2 flag: the version read most often
    ReadError,   // never read: silence
};

// What secure reading tells its caller and asks it.
class SecureReadEvents
{
public:
    virtual ~SecureReadEvents() = default;
    // The track's next frames, in order (16-bit little-endian stereo); false
    // stops the reading.
    virtual bool Deliver(const uint8_t* pcm, uint32_t nFrames) = 0;
    // Asked between reads: true stops the reading.
    virtual bool IsStopped() = 0;
    virtual void Progress(double fraction) = 0;
};

enum class SecureReadResult
{
    Done,
    Stopped,  // the caller stopped it, or would take no more frames
    Failed,   // the drive failed other than at the disc
};

struct SecureTrackReport
{
    uint32_t nFrames;                    // delivered
    std::vector<int32_t> suspicious;     // drive sectors, in order
    std::vector<int32_t> readErrors;     // drive sectors, in order
    uint32_t nTestCrc;                   // CRC-32 of the first pass, as read (with a second pass only)
    TrackAudioStats copy;                // what was delivered
    bool bMisplacedReads = false;        // the drive misplaced reads: they were re-aligned
};

// The memory a track is read in, some 20 MB. A caller that reads several
// tracks keeps it from one to the next: memory asked for anew costs a page
// fault for each 4 KB of it, about a quarter of the time reading it takes.
struct SecureReadBuffers;
std::shared_ptr<SecureReadBuffers> NewSecureReadBuffers();

// Reads the track [startSector, endSector) of the disc securely, in
// `buffers` when given.
SecureReadResult ReadTrackSecurely(AudioSectorReader& reader, const SecureReadSettings& settings,
                                   int32_t startSector, int32_t endSector, SecureReadEvents& events,
                                   SecureTrackReport& report, SecureReadBuffers* buffers = nullptr);
