#include "vdrive/VirtualDrive.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "files/Crc.h"

namespace {

const int kSectorSize = 2352;
const int kFramesPerSector = 588;
const int kC2Size = kSectorSize / 8;  // one bit a byte
const int kQSize = 16;

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
CommandResult OutOfRange() { return CheckCondition(SENSE_ILLEGAL_REQUEST, 0x21, 0x00); }
CommandResult UnrecoveredReadError() { return CheckCondition(SENSE_MEDIUM_ERROR, 0x11, 0x00); }

void PutBigEndian32(uint8_t* p, uint32_t value)
{
    p[0] = static_cast<uint8_t>(value >> 24);
    p[1] = static_cast<uint8_t>(value >> 16);
    p[2] = static_cast<uint8_t>(value >> 8);
    p[3] = static_cast<uint8_t>(value);
}

uint32_t BigEndian32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | p[2] << 8 | p[3];
}

uint8_t Bcd(int value) { return static_cast<uint8_t>((value / 10) << 4 | value % 10); }

// The splitmix64 finaliser: a well-mixed value for any key, so that every
// random choice of the drive follows from its seed and what was read.
uint64_t Mix(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Damages about one sample in sixteen, chosen by `key`: each byte of such a
// sample changes, and is flagged in `wrong`.
void Damage(uint64_t key, uint8_t* sector, uint8_t* wrong)
{
    for (int sample = 0; sample < kSectorSize / 2; ++sample)
    {
        const uint64_t bits = Mix(key + static_cast<uint64_t>(sample) * 0x9E3779B97F4A7C15ull);
        if ((bits & 15) != 0)
            continue;
        sector[2 * sample] ^= static_cast<uint8_t>((bits >> 8) | 1);
        sector[2 * sample + 1] ^= static_cast<uint8_t>((bits >> 16) | 1);
        wrong[2 * sample] = wrong[2 * sample + 1] = 1;
    }
}

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Frames of a count of sectors, as minutes, seconds and frames.
void PutMsf(uint8_t* p, int64_t sectors, bool bBcd)
{
    if (sectors < 0)
        sectors = 0;
    const int m = static_cast<int>(sectors / 4500 % 100), s = static_cast<int>(sectors / 75 % 60),
              f = static_cast<int>(sectors % 75);
    p[0] = bBcd ? Bcd(m) : static_cast<uint8_t>(m);
    p[1] = bBcd ? Bcd(s) : static_cast<uint8_t>(s);
    p[2] = bBcd ? Bcd(f) : static_cast<uint8_t>(f);
}

// "A-B" or "A", sectors from 0.
bool ParseRange(const std::string& text, SectorRange& range)
{
    long long first, last;
    char dash, tail;
    const int n = sscanf(text.c_str(), "%lld%c%lld%c", &first, &dash, &last, &tail);
    if (n == 1)
        last = first;
    else if (n != 3 || dash != '-')
        return false;
    if (first < 0 || last < first || last > INT32_MAX)
        return false;
    range.first = first;
    range.last = last;
    return true;
}

// A whole decimal number from `min` to `max`.
bool ParseNumber(const std::string& text, long long min, long long max, long long& value)
{
    char tail;
    return sscanf(text.c_str(), "%lld%c", &value, &tail) == 1 && value >= min && value <= max;
}

bool ParseSetting(const std::string& key, const std::string& text, DriveConfig& drive)
{
    long long value = 0;
    const auto number = [&](long long min, long long max) { return ParseNumber(text, min, max, value); };
    if (key == "delay_ms" && number(0, INT_MAX))
        drive.delayMs = static_cast<int>(value);
    else if (key == "busy" && number(0, INT_MAX))
        drive.busy = static_cast<int>(value);
    else if (key == "fail_lba" && number(0, LLONG_MAX))
        drive.failLba = value;
    else if (key == "hang_lba" && number(0, LLONG_MAX))
        drive.hangLba = value;
    else if (key == "reject" && number(0, 1))
        drive.bReject = value != 0;
    else if (key == "toc_claim" && number(0, INT_MAX))
        drive.tocClaim = static_cast<int>(value);
    else if (key == "offset" && number(-kMaxOffsetFrames, kMaxOffsetFrames))
        drive.offset = static_cast<int>(value);
    else if (key == "overread" && number(0, 1))
        drive.bOverread = value != 0;
    else if (key == "jitter" && number(0, kMaxJitterFrames))
        drive.jitter = static_cast<int>(value);
    else if (key == "flip")
        return ParseRange(text, drive.flip);
    else if (key == "flip_transient")
        return ParseRange(text, drive.flipTransient);
    else if (key == "seed" && number(0, UINT32_MAX))
        drive.seed = static_cast<uint32_t>(value);
    else if (key == "c2" && (text == "honest" || text == "none" || text == "false"))
        drive.c2 = text == "honest" ? C2Mode::Honest : text == "none" ? C2Mode::None : C2Mode::False;
    else if (key == "cache" && number(0, kMaxCacheSectors))
        drive.cache = static_cast<int>(value);
    else if (key == "unreadable")
        return ParseRange(text, drive.unreadable);
    else if (key == "retry_ms" && number(0, INT_MAX))
        drive.retryMs = static_cast<int>(value);
    else if (key == "cdtext" && number(0, 1))
        drive.bCdText = value != 0;
    else if (key == "vendor" && !text.empty() && text.size() <= 8)
        drive.vendor = text;
    else if (key == "product" && !text.empty() && text.size() <= 16)
        drive.product = text;
    else
        return false;
    return true;
}

// A data-in answer of `size` bytes, cut to the command's allocation length
// and to the caller's buffer.
CommandResult SendData(const uint8_t* response, size_t size, uint32_t allocation, uint8_t* data, uint32_t dataLength)
{
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
            ok = equals != std::string::npos
                 && ParseSetting(setting.substr(0, equals), setting.substr(equals + 1), drive);
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

std::vector<uint8_t> MakeCdTextPacks(const VirtualDisc& disc)
{
    // Sequence numbers are a byte, and the size information takes three.
    const int kMaxTextPacks = 253;
    struct Kind
    {
        uint8_t type;
        const std::string& (VirtualDisc::*discText)() const;
        std::string VirtualTrack::*trackText;
    };
    const Kind kinds[] = {{0x80, &VirtualDisc::Title, &VirtualTrack::title},
                          {0x81, &VirtualDisc::Performer, &VirtualTrack::performer},
                          {0x82, &VirtualDisc::Songwriter, &VirtualTrack::songwriter}};
    const std::vector<VirtualTrack>& tracks = disc.Tracks();
    std::vector<uint8_t> packs;
    uint8_t packCounts[16] = {};
    int nPacks = 0;
    const auto addPack = [&](uint8_t type, uint8_t track, uint8_t carried, const uint8_t* text) {
        uint8_t pack[18] = {type, track, static_cast<uint8_t>(nPacks), carried};
        memcpy(pack + 4, text, 12);
        const uint16_t crc = CdCrc16(pack, 16);
        pack[16] = static_cast<uint8_t>(crc >> 8);
        pack[17] = static_cast<uint8_t>(crc);
        packs.insert(packs.end(), pack, pack + 18);
        ++packCounts[type & 0x0F];
        ++nPacks;
    };
    for (const Kind& kind : kinds)
    {
        bool bAny = !(disc.*kind.discText)().empty();
        for (const VirtualTrack& track : tracks)
            bAny = bAny || !(track.*kind.trackText).empty();
        if (!bAny)
            continue;
        // The strings end to end, each with its track number and each
        // character's place in its string.
        std::string text;
        std::vector<uint8_t> trackOf, placeOf;
        const auto add = [&](const std::string& string, int number) {
            for (size_t i = 0; i <= string.size(); ++i)
            {
                text += i < string.size() ? string[i] : '\0';
                trackOf.push_back(static_cast<uint8_t>(number));
                placeOf.push_back(static_cast<uint8_t>(i < 15 ? i : 15));
            }
        };
        add((disc.*kind.discText)(), 0);
        for (size_t i = 0; i < tracks.size(); ++i)
        {
            const std::string& string = tracks[i].*kind.trackText;
            // A lone TAB: the same as the track before.
            const bool bSame = i > 0 && !string.empty() && string == tracks[i - 1].*kind.trackText;
            add(bSame ? std::string("\t") : string, tracks[i].number);
        }
        for (size_t at = 0; at < text.size() && nPacks < kMaxTextPacks; at += 12)
        {
            uint8_t chunk[12] = {};
            memcpy(chunk, text.data() + at, text.size() - at < 12 ? text.size() - at : 12);
            addPack(kind.type, trackOf[at], placeOf[at], chunk);
        }
    }
    if (packs.empty())
        return packs;
    uint8_t sizeInfo[36] = {};
    sizeInfo[0] = 0x00;  // ISO-8859-1
    sizeInfo[1] = static_cast<uint8_t>(tracks.front().number);
    sizeInfo[2] = static_cast<uint8_t>(tracks.back().number);
    packCounts[0x0F] = 3;
    memcpy(sizeInfo + 4, packCounts, 16);
    sizeInfo[20] = static_cast<uint8_t>(nPacks + 2);  // block 0's last sequence number
    sizeInfo[28] = 0x09;                              // English
    for (uint8_t i = 0; i < 3; ++i)
        addPack(0x8F, i, 0, sizeInfo + 12 * i);
    return packs;
}

VirtualDrive::VirtualDrive(const DriveConfig& config, std::string& errors)
    : config(config), nBusyLeft(config.busy), jitterState(Mix(config.seed))
{
    if (config.image.empty())
        return;
    std::string error;
    bImageLoaded = disc.Load(config.image, error);
    if (!bImageLoaded)
        errors += error + "\n";
    bDiscIn = bImageLoaded;
    if (!bImageLoaded)
        return;
    readCounts.resize(static_cast<size_t>(disc.LeadOut()));
    if (config.bCdText)
        cdText = MakeCdTextPacks(disc);
}

SectorReadCount VirtualDrive::ReadCount(int64_t sector) const
{
    return sector >= 0 && sector < static_cast<int64_t>(readCounts.size()) ? readCounts[sector] : SectorReadCount();
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
    const int opcode = cdbLength >= 6 ? cdb[0] : -1;
    if (opcode == 0x12)  // INQUIRY: answered with or without a disc
        return Inquiry(cdb, data, dataLength);
    if (opcode == 0x1B)  // START STOP UNIT: LoEj with Start loads, LoEj alone ejects
    {
        if (cdb[4] & 0x02)
            bDiscIn = (cdb[4] & 0x01) && bImageLoaded;
        return CommandResult();
    }
    const int minLength = opcode == 0x43 || opcode == 0x42 || opcode == 0x28 ? 10
                          : opcode == 0xBE || opcode == 0xA8                ? 12
                                                                            : -1;
    if (minLength < 0)
        return CheckCondition(SENSE_ILLEGAL_REQUEST, 0x20, 0x00);  // invalid command operation code
    if (!bDiscIn)
        return MediumNotPresent();
    if (cdbLength < minLength)
        return InvalidField();
    switch (opcode)
    {
    case 0x43:  // READ TOC/PMA/ATIP
        return ReadTOC(cdb, data, dataLength);
    case 0x42:  // READ SUB-CHANNEL
        return ReadSubChannel(cdb, data, dataLength);
    case 0xBE:  // READ CD
        return ReadCD(cdb, data, dataLength);
    case 0x28:  // READ(10) and READ(12): whole audio sectors; FUA reads past the cache
    default:
    {
        const int nSectors = opcode == 0x28 ? cdb[7] << 8 | cdb[8] : static_cast<int>(BigEndian32(cdb + 6) & 0xFFFFFF);
        if (opcode == 0xA8 && cdb[6] != 0)
            return InvalidField();
        return Read(static_cast<int32_t>(BigEndian32(cdb + 2)), nSectors, (cdb[1] & 0x08) != 0, kSectorSize, 0,
                    false, data, dataLength);
    }
    }
}

CommandResult VirtualDrive::Inquiry(const uint8_t* cdb, uint8_t* data, uint32_t dataLength)
{
    if (cdb[1] & 0x01)  // vital product data pages: none
        return InvalidField();
    // Standard data: a CD/DVD device, removable, its names space-padded.
    uint8_t response[36] = {0x05, 0x80, 0x05, 0x02, 36 - 5};
    auto put = [&response](const std::string& text, int at, int width) {
        for (int i = 0; i < width; ++i)
        {
            const char c = i < int(text.size()) ? text[i] : ' ';
            response[at + i] = static_cast<uint8_t>(c == '_' ? ' ' : c);
        }
    };
    put(config.vendor, 8, 8);
    put(config.product, 16, 16);
    put("1.0", 32, 4);
    return SendData(response, sizeof(response), cdb[4], data, dataLength);
}

CommandResult VirtualDrive::ReadTOC(const uint8_t* cdb, uint8_t* data, uint32_t dataLength)
{
    const auto send = [&](const uint8_t* response, size_t size) {
        return SendData(response, size, cdb[7] << 8 | cdb[8], data, dataLength);
    };
    const int format = cdb[2] & 0x0F;
    if (format == 5)
    {
        // CD-Text: a header, then the packs (none when the disc or the drive has no text).
        std::vector<uint8_t> response(4 + cdText.size());
        response[0] = static_cast<uint8_t>((cdText.size() + 2) >> 8);
        response[1] = static_cast<uint8_t>(cdText.size() + 2);
        if (!cdText.empty())
            memcpy(response.data() + 4, cdText.data(), cdText.size());
        return send(response.data(), response.size());
    }
    // Format 0 in LBA form only.
    if ((cdb[1] & 0x02) || format != 0)
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
        descriptor[1] = static_cast<uint8_t>(0x10 | (leadOut ? kControlData : tracks[i].control));  // ADR 1
        descriptor[2] = leadOut ? 0xAA : static_cast<uint8_t>(tracks[i].number);
        PutBigEndian32(descriptor + 4, static_cast<uint32_t>(leadOut ? disc.LeadOut() : tracks[i].startSector));
    }
    return send(response, size);
}

CommandResult VirtualDrive::ReadSubChannel(const uint8_t* cdb, uint8_t* data, uint32_t dataLength)
{
    const bool bMsf = (cdb[1] & 0x02) != 0;
    const int format = cdb[3];
    uint8_t response[24] = {};
    response[1] = 0x15;  // no current audio status
    size_t size = 4;
    if (cdb[2] & 0x40)  // SubQ: the data block as well as the header
    {
        response[4] = static_cast<uint8_t>(format);
        if (format == 1)  // current position: where the last read was
        {
            const DiscQPosition at = disc.PositionOf(currentSector);
            response[5] = static_cast<uint8_t>(0x10 | at.control);
            response[6] = static_cast<uint8_t>(at.track);
            response[7] = static_cast<uint8_t>(at.index);
            if (bMsf)
            {
                PutMsf(response + 9, currentSector + 150, false);
                PutMsf(response + 13, at.relative < 0 ? -static_cast<int64_t>(at.relative) : at.relative, false);
            }
            else
            {
                PutBigEndian32(response + 8, static_cast<uint32_t>(currentSector));
                PutBigEndian32(response + 12, static_cast<uint32_t>(at.relative));
            }
            size = 16;
        }
        else if (format == 2)  // media catalog number
        {
            if (!disc.Catalog().empty())
            {
                response[8] = 0x80;
                memcpy(response + 9, disc.Catalog().data(), 13);
            }
            size = 24;
        }
        else if (format == 3)  // the ISRC of the track asked for
        {
            const VirtualTrack* track = nullptr;
            for (const VirtualTrack& t : disc.Tracks())
                if (t.number == cdb[6])
                    track = &t;
            if (!track)
                return InvalidField();
            response[5] = static_cast<uint8_t>(0x10 | track->control);
            response[6] = static_cast<uint8_t>(track->number);
            if (!track->isrc.empty())
            {
                response[8] = 0x80;
                memcpy(response + 9, track->isrc.data(), 12);
            }
            size = 24;
        }
        else
            return InvalidField();
    }
    response[3] = static_cast<uint8_t>(size - 4);
    return SendData(response, size, cdb[7] << 8 | cdb[8], data, dataLength);
}

CommandResult VirtualDrive::ReadCD(const uint8_t* cdb, uint8_t* data, uint32_t dataLength)
{
    const int32_t lba = static_cast<int32_t>(BigEndian32(cdb + 2));
    const int nSectors = (cdb[6] << 16) | (cdb[7] << 8) | cdb[8];
    // Byte 9: the main channel whole (F0h, F8h), audio's user data (10h) or
    // none (00h), and C2 pointers (02h: 294 bytes; 04h: 296, the 294 then a
    // block error byte and a pad byte). Byte 10: no sub-channel, or formatted Q.
    const int main = cdb[9] & 0xF8;
    const int c2 = cdb[9] & 0x07;
    if (!(main == 0xF0 || main == 0xF8 || main == 0x10 || main == 0x00) || !(c2 == 0 || c2 == 2 || c2 == 4)
        || !(cdb[10] == 0 || cdb[10] == 2) || (c2 != 0 && config.c2 == C2Mode::None))
        return InvalidField();
    return Read(lba, nSectors, false, main ? kSectorSize : 0, c2 == 0 ? 0 : c2 == 2 ? kC2Size : kC2Size + 2,
                cdb[10] == 2, data, dataLength);
}

CommandResult VirtualDrive::Read(int64_t lba, int n, bool bFua, int mainBytes, int c2Bytes, bool bQ, uint8_t* data,
                                 uint32_t dataLength)
{
    const int stride = mainBytes + c2Bytes + (bQ ? kQSize : 0);
    if (!data || stride == 0 || static_cast<uint64_t>(n) * stride > dataLength)
        return InvalidField();
    if (!config.bOverread && (lba < 0 || lba + n > disc.LeadOut()))
        return OutOfRange();
    const auto touches = [&](int64_t sector) { return sector >= 0 && sector >= lba && sector < lba + n; };
    if (touches(config.hangLba))
    {
        CommandResult hang;
        hang.bHang = true;
        return hang;
    }
    if (touches(config.failLba))
        return CheckCondition(SENSE_MEDIUM_ERROR, 0x11, 0x05);  // L-EC uncorrectable error
    CommandResult result;
    result.nTransferred = static_cast<uint32_t>(n) * stride;
    if (n == 0)
        return result;
    currentSector = lba;

    // A plain drive reads straight into the request.
    const bool bPlain = config.offset == 0 && config.jitter == 0 && config.flip.Empty() && config.flipTransient.Empty()
                        && config.unreadable.Empty() && config.cache == 0;
    if (bPlain && stride == kSectorSize && lba >= 0 && lba + n <= disc.LeadOut())
    {
        if (!disc.ReadSectors(static_cast<int32_t>(lba), n, data))
            return UnrecoveredReadError();
        for (int i = 0; i < n; ++i)
            ++readCounts[lba + i].physical;
        return result;
    }

    // The disc's sectors under the frames asked for, from 588 lba - offset
    // (and the jitter) on.
    int64_t firstFrame = lba * kFramesPerSector - config.offset;
    if (config.jitter > 0)
    {
        jitterState = Mix(jitterState);
        firstFrame += static_cast<int64_t>(jitterState % (2 * static_cast<uint64_t>(config.jitter) + 1)) - config.jitter;
    }
    const int64_t first = FloorDiv(firstFrame, kFramesPerSector);
    const int64_t last = FloorDiv(firstFrame + static_cast<int64_t>(n) * kFramesPerSector - 1, kFramesPerSector);
    const size_t nPhysical = static_cast<size_t>(last - first + 1);
    // Only the main channel and its C2 pointers come from the disc's sectors.
    if (mainBytes || c2Bytes)
    {
        sectors.resize(nPhysical * kSectorSize);
        wrongBytes.resize(nPhysical * kSectorSize);
        if (!FetchSectors(first, nPhysical, bFua, sectors.data(), wrongBytes.data()))
        {
            CommandResult failed = UnrecoveredReadError();
            failed.delayMs = config.retryMs;
            return failed;
        }
    }
    const size_t skip = static_cast<size_t>(firstFrame - first * kFramesPerSector) * 4;
    for (int i = 0; i < n; ++i)
    {
        uint8_t* out = data + static_cast<size_t>(i) * stride;
        const size_t from = skip + static_cast<size_t>(i) * kSectorSize;
        if (mainBytes)
            memcpy(out, &sectors[from], kSectorSize);
        if (c2Bytes)
        {
            uint8_t* pointers = out + mainBytes;
            memset(pointers, 0, c2Bytes);
            // Most sectors read right: their pointers stay clear without a look at each byte.
            static const uint8_t kRight[kSectorSize] = {};
            if (config.c2 == C2Mode::Honest && memcmp(&wrongBytes[from], kRight, kSectorSize) != 0)
            {
                uint8_t any = 0;
                for (int b = 0; b < kSectorSize; ++b)
                    if (wrongBytes[from + b])
                        pointers[b / 8] |= static_cast<uint8_t>(0x80 >> (b % 8));
                for (int b = 0; b < kC2Size; ++b)
                    any |= pointers[b];
                if (c2Bytes > kC2Size)
                    pointers[kC2Size] = any;  // the block error byte
            }
        }
        if (bQ)
            FormattedQ(lba + i, out + mainBytes + c2Bytes);
    }
    return result;
}

bool VirtualDrive::FetchSectors(int64_t first, size_t n, bool bFua, uint8_t* out, uint8_t* wrong)
{
    const int64_t end = first + static_cast<int64_t>(n);
    bool bAsImaged = config.cache == 0 && first >= 0 && end <= disc.LeadOut();
    for (int64_t sector = first; bAsImaged && sector < end; ++sector)
        bAsImaged = !config.flip.Holds(sector) && !config.flipTransient.Holds(sector) && !config.unreadable.Holds(sector);
    if (!bAsImaged)
    {
        for (size_t i = 0; i < n; ++i)
            if (!FetchSector(first + static_cast<int64_t>(i), bFua, out + i * kSectorSize, wrong + i * kSectorSize))
                return false;
        return true;
    }
    memset(wrong, 0, n * kSectorSize);
    for (int64_t sector = first; sector < end; ++sector)
        ++readCounts[sector].physical;
    return disc.ReadSectors(static_cast<int32_t>(first), static_cast<int>(n), out);
}

bool VirtualDrive::FetchSector(int64_t sector, bool bFua, uint8_t* out, uint8_t* wrong)
{
    memset(wrong, 0, kSectorSize);
    if (sector < 0 || sector >= disc.LeadOut())
    {
        memset(out, 0, kSectorSize);
        return true;
    }
    SectorReadCount& count = readCounts[sector];
    if (config.cache > 0 && !bFua)
    {
        const auto cached = cacheIndex.find(sector);
        if (cached != cacheIndex.end())
        {
            const CachedSector& slot = cacheSlots[cached->second];
            memcpy(out, slot.data, kSectorSize);
            memcpy(wrong, slot.wrong, kSectorSize);
            ++count.cached;
            return true;
        }
    }
    ++count.physical;
    if (config.unreadable.Holds(sector) || !disc.ReadSectors(static_cast<int32_t>(sector), 1, out))
        return false;
    const uint64_t key = Mix(static_cast<uint64_t>(config.seed) << 32 ^ static_cast<uint64_t>(sector));
    if (config.flip.Holds(sector))
        Damage(key, out, wrong);
    if (config.flipTransient.Holds(sector))
    {
        // Each read of the sector draws anew; one in three comes out right.
        const uint64_t draw = Mix(key ^ Mix(count.physical));
        if (draw % 3 != 0)
            Damage(draw, out, wrong);
    }
    if (config.cache > 0)
    {
        if (cacheSlots.empty())
            cacheSlots.resize(static_cast<size_t>(config.cache));
        const auto older = cacheIndex.find(sector);
        if (older != cacheIndex.end())
        {
            cacheSlots[older->second].sector = -1;
            cacheIndex.erase(older);
        }
        CachedSector& slot = cacheSlots[nextCacheSlot];
        if (slot.sector >= 0)
            cacheIndex.erase(slot.sector);
        slot.sector = sector;
        memcpy(slot.data, out, kSectorSize);
        memcpy(slot.wrong, wrong, kSectorSize);
        cacheIndex[sector] = nextCacheSlot;
        nextCacheSlot = (nextCacheSlot + 1) % cacheSlots.size();
    }
    return true;
}

void VirtualDrive::FormattedQ(int64_t sector, uint8_t* out) const
{
    const DiscQPosition at = disc.PositionOf(sector);
    memset(out, 0, kQSize);
    out[0] = static_cast<uint8_t>(at.control << 4 | 1);  // CONTROL, ADR 1
    out[1] = at.track == 0xAA ? 0xAA : Bcd(at.track);
    out[2] = Bcd(at.index);
    PutMsf(out + 3, at.relative < 0 ? -static_cast<int64_t>(at.relative) : at.relative, true);
    PutMsf(out + 7, sector + 150, true);
    const uint16_t crc = CdCrc16(out, 10);
    out[10] = static_cast<uint8_t>(crc >> 8);
    out[11] = static_cast<uint8_t>(crc);
}
