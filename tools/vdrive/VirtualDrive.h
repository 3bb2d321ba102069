// A CD drive that serves a disc image: its configuration and the SCSI commands
// it answers (READ TOC with the table of contents and CD-Text, READ CD with C2
// pointers and the formatted Q sub-channel, READ(10) and READ(12), READ
// SUB-CHANNEL, START STOP UNIT), with the faults of real drives: a read
// offset, jitter, wrong samples, C2 pointers honest or not, a cache and
// unreadable sectors. Its random choices come from the configured seed, so a
// run can be repeated. Platform-free; the ASPI manager DLL and the
// pass-through seam of the tests are thin adapters around it, with the worker
// that completes commands later (CommandQueue.h).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "vdrive/VirtualDisc.h"

// Sectors A to B, both included; empty unless configured.
struct SectorRange
{
    int64_t first = 0;
    int64_t last = -1;
    bool Holds(int64_t sector) const { return sector >= first && sector <= last; }
    bool Empty() const { return last < first; }
};

// What a READ CD asking for C2 pointers gets.
enum class C2Mode
{
    Honest,  // a set bit for every wrong byte
    None,    // the request is refused (ILLEGAL REQUEST)
    False,   // zeros, whatever the data
};

// One configuration line: `adapter target lun image [key=value ...]`.
struct DriveConfig
{
    int adapter = 0;
    int target = 0;
    int lun = 0;
    std::string image;        // path of the cue sheet; empty for a drive without a disc
    int delayMs = 0;          // each command completes this long after issue
    int busy = 0;             // the next N commands complete with status BUSY
    int64_t failLba = -1;     // a read touching this sector fails
    int64_t hangLba = -1;     // a read touching this sector never completes
    bool bReject = false;     // every command is refused at issue
    int tocClaim = 0;         // > 0: READ TOC's data length claims this many descriptors, whatever it sends
    int offset = 0;           // frames the audio comes early: sector x holds the image's frames from 588x - offset
    bool bOverread = false;   // sectors before 0 and from the lead-out on are served (as zeros beyond the image)
    int jitter = 0;           // each read starts up to this many frames off, either way
    SectorRange flip;         // sectors whose samples come back wrong, the same on every read
    SectorRange flipTransient;  // sectors whose samples come back wrong differently each read, right on some
    uint32_t seed = 1;        // of the jitter and the wrong samples
    C2Mode c2 = C2Mode::Honest;
    int cache = 0;            // sectors the drive keeps of those it last read from the disc
    SectorRange unreadable;   // reads touching these fail with MEDIUM ERROR
    int retryMs = 0;          // such a read fails this long after it was issued
    bool bCdText = true;      // READ TOC format 5 gives the sheet's texts
    std::string vendor = "CORVANE";   // INQUIRY's vendor (at most 8 characters; '_' for a space)
    std::string product = "VIRTUAL_DRIVE";  // and product (at most 16)
};

// The most sectors `cache=` keeps, the widest `jitter=` and `offset=`.
constexpr int kMaxCacheSectors = 8192;
constexpr int kMaxJitterFrames = 5880;
constexpr int kMaxOffsetFrames = 588000;

// Parses a configuration file's text ('#' starts a comment; image paths are
// relative to `configPath`'s folder; "-" is no disc). Bad lines are skipped and
// described in `errors`.
std::vector<DriveConfig> ParseDriveConfig(const std::string& text, const std::string& configPath,
                                          std::string& errors);

// SCSI status bytes.
constexpr uint8_t SCSI_STATUS_GOOD = 0x00;
constexpr uint8_t SCSI_STATUS_CHECK_CONDITION = 0x02;
constexpr uint8_t SCSI_STATUS_BUSY = 0x08;
constexpr int SENSE_SIZE = 18;

struct CommandResult
{
    bool bHang = false;           // the command never completes
    uint8_t status = SCSI_STATUS_GOOD;
    uint8_t sense[SENSE_SIZE] = {};  // fixed-format sense data for CHECK CONDITION
    uint32_t nTransferred = 0;       // bytes of data-in delivered
    int delayMs = 0;                 // the command completes this much later than others (retries)
};

// How often a sector was read from the disc (or tried) and served from the cache.
struct SectorReadCount
{
    uint32_t physical = 0;
    uint32_t cached = 0;
};

// A disc's CD-Text as READ TOC format 5 gives it after its 4-byte header:
// 18-byte packs of titles, performers and songwriters (block 0, ISO-8859-1,
// English), then three size-information packs; empty when the sheet has no text.
std::vector<uint8_t> MakeCdTextPacks(const VirtualDisc& disc);

class VirtualDrive
{
public:
    // Loads the configured image; one that cannot be loaded leaves the drive
    // without a disc and is described in `errors`.
    VirtualDrive(const DriveConfig& config, std::string& errors);

    const DriveConfig& Config() const { return config; }
    bool HasDisc() const { return bDiscIn; }

    // Runs one command block; data-in commands write at most `dataLength` bytes.
    CommandResult Execute(const uint8_t* cdb, int cdbLength, uint8_t* data, uint32_t dataLength);

    // Reads of a sector of the disc so far; zeros outside it.
    SectorReadCount ReadCount(int64_t sector) const;
    // The sectors counted: those of the disc.
    int64_t CountedSectors() const { return static_cast<int64_t>(readCounts.size()); }

private:
    CommandResult Inquiry(const uint8_t* cdb, uint8_t* data, uint32_t dataLength);
    CommandResult ReadTOC(const uint8_t* cdb, uint8_t* data, uint32_t dataLength);
    CommandResult ReadCD(const uint8_t* cdb, uint8_t* data, uint32_t dataLength);
    CommandResult ReadSubChannel(const uint8_t* cdb, uint8_t* data, uint32_t dataLength);
    // Sectors [lba, lba + n) with `mainBytes` (0 or 2352) of audio, `c2Bytes`
    // (0, 294 or 296) of C2 pointers and, with `bQ`, 16 bytes of Q each.
    CommandResult Read(int64_t lba, int n, bool bFua, int mainBytes, int c2Bytes, bool bQ, uint8_t* data,
                       uint32_t dataLength);
    // Sector `sector` as the disc gives it now, with one flag byte per wrong
    // byte; false when it cannot be read.
    bool FetchSector(int64_t sector, bool bFua, uint8_t* out, uint8_t* wrong);
    // The `n` sectors from `first` as FetchSector gives them, read from the
    // image in one go when none of them can differ from it.
    bool FetchSectors(int64_t first, size_t n, bool bFua, uint8_t* out, uint8_t* wrong);
    void FormattedQ(int64_t sector, uint8_t* out) const;

    DriveConfig config;
    VirtualDisc disc;
    bool bImageLoaded = false;
    bool bDiscIn = false;
    int nBusyLeft = 0;
    std::vector<uint8_t> cdText;
    std::vector<SectorReadCount> readCounts;  // one per sector of the disc
    uint64_t jitterState;
    int64_t currentSector = 0;                 // of the last read, for the current position
    // The cache: sectors in the order read, the oldest replaced first.
    struct CachedSector
    {
        int64_t sector = -1;
        uint8_t data[2352];
        uint8_t wrong[2352];
    };
    std::vector<CachedSector> cacheSlots;
    std::unordered_map<int64_t, size_t> cacheIndex;  // sector to slot
    size_t nextCacheSlot = 0;
    std::vector<uint8_t> sectors, wrongBytes;  // a read's sectors from the disc, reused
};
