// A CD drive that serves a disc image: its configuration and the SCSI commands
// it answers (READ TOC, READ CD, START STOP UNIT). Platform-free; the ASPI
// manager DLL and the pass-through seam of the tests are thin adapters around
// it, with the worker that completes commands later (CommandQueue.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vdrive/VirtualDisc.h"

// One configuration line: `adapter target lun image [key=value ...]`.
struct DriveConfig
{
    int adapter = 0;
    int target = 0;
    int lun = 0;
    std::string image;        // path of the cue sheet; empty for a drive without a disc
    int delayMs = 0;          // each command completes this long after issue
    int busy = 0;             // the next N commands complete with status BUSY
    int64_t failLba = -1;     // a READ CD touching this sector fails
    int64_t hangLba = -1;     // a READ CD touching this sector never completes
    bool bReject = false;     // every command is refused at issue
    int tocClaim = 0;         // > 0: READ TOC's data length claims this many descriptors, whatever it sends
};

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
};

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

private:
    CommandResult ReadTOC(const uint8_t* cdb, uint8_t* data, uint32_t dataLength);
    CommandResult ReadCD(const uint8_t* cdb, uint8_t* data, uint32_t dataLength);

    DriveConfig config;
    VirtualDisc disc;
    bool bImageLoaded = false;
    bool bDiscIn = false;
    int nBusyLeft = 0;
};
