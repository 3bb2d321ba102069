#include "vdrive/VirtualDrive.h"

#include <climits>
#include <cstring>
#include <sstream>

namespace {

// Fixed-format sense data (SPC): response code 70h, sense key, additional
// sense code and qualifier.
CommandResult CheckCondition(uint8_t senseKey, uint8_t asc, uint8_t ascq)
{
    CommandResult result;
    result.status = SCSI_STATUS_CHECK_CONDITION;
    result.sense[0] = 0x70;
    result.sense[2] = senseKey;
    result.sense[7] = SENSE_SIZE - 8;  // additional sense length
    result.sense[12] = asc;
    result.sense[13] = ascq;
    return result;
}

const uint8_t SENSE_NOT_READY = 0x02;
const uint8_t SENSE_MEDIUM_ERROR = 0x03;
const uint8_t SENSE_ILLEGAL_REQUEST = 0x05;

CommandResult MediumNotPresent() { return CheckCondition(SENSE_NOT_READY, 0x3A, 0x00); }
CommandResult InvalidField() { return CheckCondition(SENSE_ILLEGAL_REQUEST, 0x24, 0x00); }

void PutBigEndian32(uint8_t* p, uint32_t value)
{
    p[0] = static_cast<uint8_t>(value >> 24);
    p[1] = static_cast<uint8_t>(value >> 16);
    p[2] = static_cast<uint8_t>(value >> 8);
    p[3] = static_cast<uint8_t>(value);
}

} // namespace

std::vector<DriveConfig> ParseDriveConfig(const std::string& text, const std::string& configPath,
                                          std::string& errors)
{
    std::vector<DriveConfig> drives;
    std::istringstream lines(text);
    std::string line;
    for (int lineNumber = 1; std::getline(lines, line); ++lineNumber)
    {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        DriveConfig drive;
        std::string image;
        if (!(words >> drive.adapter))
            continue;  // blank or comment
        const std::string where = configPath + ":" + std::to_string(lineNumber) + ": ";
        if (!(words >> drive.target >> drive.lun >> image) || drive.adapter < 0 || drive.adapter > 7
            || drive.target < 0 || drive.target > 15 || drive.lun < 0 || drive.lun > 7)
        {
            errors += where + "expected: adapter target lun image [key=value ...]\n";
            continue;
        }
        drive.image = image == "-" ? "" : ResolveBesideFile(configPath, image);
        bool ok = true;
        for (std::string setting; ok && words >> setting;)
        {
            const size_t equals = setting.find('=');
            const std::string key = setting.substr(0, equals);
            long long value = 0;
            ok = equals != std::string::npos && sscanf(setting.c_str() + equals + 1, "%lld", &value) == 1
                 && value >= 0;
            if (!ok)
                break;
            // The counts are ints: a larger one would turn negative.
            const bool bCount = key == "delay_ms" || key == "busy" || key == "toc_claim";
            if (bCount && value > INT_MAX)
                ok = false;
            else if (key == "delay_ms")
                drive.delayMs = static_cast<int>(value);
            else if (key == "busy")
                drive.busy = static_cast<int>(value);
            else if (key == "fail_lba")
                drive.failLba = value;
            else if (key == "hang_lba")
                drive.hangLba = value;
            else if (key == "reject")
                drive.bReject = value != 0;
            else if (key == "toc_claim")
                drive.tocClaim = static_cast<int>(value);
            else
                ok = false;
        }
        if (!ok)
        {
            errors += where + "unknown or bad setting\n";
            continue;
        }
        drives.push_back(drive);
    }
    return drives;
}

VirtualDrive::VirtualDrive(const DriveConfig& config, std::string& errors)
    : config(config), nBusyLeft(config.busy)
{
    if (config.image.empty())
        return;
    std::string error;
    bImageLoaded = disc.Load(config.image, error);
    if (!bImageLoaded)
        errors += error + "\n";
    bDiscIn = bImageLoaded;
}

CommandResult VirtualDrive::Execute(const uint8_t* cdb, int cdbLength, uint8_t* data, uint32_t dataLength)
{
    if (nBusyLeft > 0)
    {
        --nBusyLeft;
        CommandResult busy;
        busy.status = SCSI_STATUS_BUSY;
        return busy;
    }
    switch (cdbLength >= 6 ? cdb[0] : -1)
    {
    case 0x1B:  // START STOP UNIT: LoEj with Start loads, LoEj alone ejects
        if (cdb[4] & 0x02)
            bDiscIn = (cdb[4] & 0x01) && bImageLoaded;
        return CommandResult();
    case 0x43:  // READ TOC/PMA/ATIP
        if (!bDiscIn)
            return MediumNotPresent();
        return cdbLength >= 10 ? ReadTOC(cdb, data, dataLength) : InvalidField();
    case 0xBE:  // READ CD
        if (!bDiscIn)
            return MediumNotPresent();
        return cdbLength >= 12 ? ReadCD(cdb, data, dataLength) : InvalidField();
    default:
        return CheckCondition(SENSE_ILLEGAL_REQUEST, 0x20, 0x00);  // invalid command operation code
    }
}

CommandResult VirtualDrive::ReadTOC(const uint8_t* cdb, uint8_t* data, uint32_t dataLength)
{
    // Format 0 in LBA form only.
    if ((cdb[1] & 0x02) || (cdb[2] & 0x0F) != 0)
        return InvalidField();
    const std::vector<VirtualTrack>& tracks = disc.Tracks();
    uint8_t response[4 + 8 * 100] = {};
    const size_t nDescriptors = tracks.size() + 1;
    const size_t size = 4 + 8 * nDescriptors;
    const size_t claimed = config.tocClaim > 0 ? 4 + 8 * static_cast<size_t>(config.tocClaim) : size;
    const uint16_t dataLengthField = static_cast<uint16_t>(claimed - 2 < 0xFFFF ? claimed - 2 : 0xFFFF);
    response[0] = static_cast<uint8_t>(dataLengthField >> 8);
    response[1] = static_cast<uint8_t>(dataLengthField);
    response[2] = static_cast<uint8_t>(tracks.front().number);
    response[3] = static_cast<uint8_t>(tracks.back().number);
    for (size_t i = 0; i < nDescriptors; ++i)
    {
        uint8_t* descriptor = response + 4 + 8 * i;
        const bool leadOut = i == tracks.size();
        descriptor[1] = leadOut || !tracks[i].bAudio ? 0x14 : 0x10;  // ADR 1; control: data track bit
        descriptor[2] = leadOut ? 0xAA : static_cast<uint8_t>(tracks[i].number);
        PutBigEndian32(descriptor + 4, static_cast<uint32_t>(leadOut ? disc.LeadOut() : tracks[i].startSector));
    }
    const uint32_t allocation = (cdb[7] << 8) | cdb[8];
    uint32_t n = static_cast<uint32_t>(size);
    if (n > allocation)
        n = allocation;
    if (n > dataLength)
        n = dataLength;
    CommandResult result;
    if (data)
    {
        memcpy(data, response, n);
        result.nTransferred = n;
    }
    return result;
}

CommandResult VirtualDrive::ReadCD(const uint8_t* cdb, uint8_t* data, uint32_t dataLength)
{
    const int64_t lba = (static_cast<int64_t>(cdb[2]) << 24) | (cdb[3] << 16) | (cdb[4] << 8) | cdb[5];
    const int nSectors = (cdb[6] << 16) | (cdb[7] << 8) | cdb[8];
    if ((cdb[9] & 0xF8) != 0xF0 || cdb[10] != 0 || !data
        || static_cast<uint64_t>(nSectors) * 2352 > dataLength)
        return InvalidField();
    if (lba + nSectors > disc.LeadOut())
        return CheckCondition(SENSE_ILLEGAL_REQUEST, 0x21, 0x00);  // logical block address out of range
    const auto touches = [&](int64_t sector) { return sector >= lba && sector < lba + nSectors; };
    if (touches(config.hangLba))
    {
        CommandResult hang;
        hang.bHang = true;
        return hang;
    }
    if (touches(config.failLba))
        return CheckCondition(SENSE_MEDIUM_ERROR, 0x11, 0x05);  // L-EC uncorrectable error
    if (!disc.ReadSectors(static_cast<int32_t>(lba), nSectors, data))
        return CheckCondition(SENSE_MEDIUM_ERROR, 0x11, 0x00);  // unrecovered read error
    CommandResult result;
    result.nTransferred = static_cast<uint32_t>(nSectors) * 2352;
    return result;
}
