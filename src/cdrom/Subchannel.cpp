#include "cdrom/Subchannel.h"

#include <cstring>

#include "files/Crc.h"

namespace {

// Q positions tried past one that cannot be read: a second's worth, beyond
// what a scratch takes from a drive that reads Q at all.
constexpr int UNREADABLE_STEPS = 75;

bool FromBcd(uint8_t value, int max, int& out)
{
    const int high = value >> 4;
    const int low = value & 0x0F;
    if (high > 9 || low > 9 || high * 10 + low > max)
        return false;
    out = high * 10 + low;
    return true;
}

int32_t ReadBE32(const uint8_t* p)
{
    return int32_t(uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]);
}

bool IsUpperOrDigit(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

void MakeReadSubchannelCdb(uint8_t cdb[10], SubchannelFormat format, uint8_t track)
{
    std::memset(cdb, 0, 10);
    cdb[0] = 0x42;        // READ SUB-CHANNEL
    cdb[2] = 0x40;        // SubQ: return the sub-channel data
    cdb[3] = format;      // sub-channel parameter list code
    cdb[6] = track;       // track number (ISRC only)
    cdb[8] = SUBCHANNEL_RESPONSE_SIZE;  // allocation length
}

void MakeReadCDWithQCdb(uint8_t cdb[12], int32_t sector)
{
    std::memset(cdb, 0, 12);
    cdb[0] = 0xBE;                       // READ CD
    cdb[1] = 0x04;                       // expected sector type: CD-DA
    cdb[2] = uint8_t(sector >> 24);      // starting logical block address
    cdb[3] = uint8_t(sector >> 16);
    cdb[4] = uint8_t(sector >> 8);
    cdb[5] = uint8_t(sector);
    cdb[8] = 1;                          // transfer length: one sector
    cdb[9] = 0x10;                       // user data
    cdb[10] = 0x02;                      // sub-channel selection: formatted Q
}

bool ParsePositionAnswer(const uint8_t* answer, std::size_t size, QPosition& position)
{
    if (size < 16 || answer[4] != SUBCHANNEL_POSITION)
        return false;
    position.nControl = answer[5] & 0x0F;
    position.nTrack = answer[6];
    position.nIndex = answer[7];
    position.nSector = ReadBE32(answer + 8);
    return position.nTrack >= 1 && position.nTrack <= 99;
}

bool ParseFormattedQ(const uint8_t* q, QPosition& position)
{
    if ((q[0] & 0x0F) != 1)
        return false;
    if (q[10] != 0 || q[11] != 0)
    {
        const uint16_t crc = CdCrc16(q, 10);
        if (q[10] != uint8_t(crc >> 8) || q[11] != uint8_t(crc))
            return false;
    }
    int track, index, minutes, seconds, frames;
    if (!FromBcd(q[1], 99, track) || track < 1 || !FromBcd(q[2], 99, index) || !FromBcd(q[7], 99, minutes)
        || !FromBcd(q[8], 59, seconds) || !FromBcd(q[9], 74, frames))
        return false;
    position.nControl = q[0] >> 4;
    position.nTrack = track;
    position.nIndex = index;
    position.nSector = (minutes * 60 + seconds) * 75 + frames - 150;
    return true;
}

bool ParseCatalogAnswer(const uint8_t* answer, std::size_t size, char (&catalog)[14])
{
    catalog[0] = '\0';
    if (size < 22 || answer[4] != SUBCHANNEL_CATALOG || !(answer[8] & 0x80))
        return false;
    bool bAllZeros = true;
    for (int i = 0; i < 13; ++i)
    {
        const char c = char(answer[9 + i]);
        if (!IsDigit(c))
            return false;
        bAllZeros = bAllZeros && c == '0';
    }
    if (bAllZeros)
        return false;
    std::memcpy(catalog, answer + 9, 13);
    catalog[13] = '\0';
    return true;
}

bool IsValidIsrc(const char* isrc)
{
    if (std::strlen(isrc) != 12)
        return false;
    for (int i = 0; i < 12; ++i)
    {
        const char c = isrc[i];
        const bool bOk = i < 2 ? (c >= 'A' && c <= 'Z') : i < 5 ? IsUpperOrDigit(c) : IsDigit(c);
        if (!bOk)
            return false;
    }
    return true;
}

bool ParseIsrcAnswer(const uint8_t* answer, std::size_t size, char (&isrc)[13])
{
    isrc[0] = '\0';
    if (size < 21 || answer[4] != SUBCHANNEL_ISRC || !(answer[8] & 0x80))
        return false;
    char code[13];
    std::memcpy(code, answer + 9, 12);
    code[12] = '\0';
    if (!IsValidIsrc(code))
        return false;
    std::memcpy(isrc, code, sizeof(code));
    return true;
}

int32_t FindGapStart(QPositionReader& reader, int track, int32_t previousStart, int32_t start)
{
    // The first sector from `sector` on, in the direction `step`, whose Q can
    // be read, and whether it lies in the track (its gap included); false
    // when none of a few could be read.
    struct Probe
    {
        bool bKnown;
        bool bInTrack;
        int32_t nSector;
    };
    auto probe = [&reader, track, previousStart, start](int32_t sector, int step) {
        QPosition q{};
        for (int i = 0; i < UNREADABLE_STEPS && sector >= previousStart && sector < start; ++i, sector += step)
            if (reader.ReadPosition(sector, q))
                return Probe{true, q.nTrack >= track, sector};
        return Probe{false, false, sector};
    };
    if (start <= previousStart)
        return start;
    const Probe last = probe(start - 1, -1);
    if (!last.bKnown || !last.bInTrack)
        return start;
    const Probe first = probe(previousStart, +1);
    if (first.bKnown && first.bInTrack)
        return first.nSector;
    // The sector at `low` lies before the gap, the one at `high` in it.
    int32_t low = first.bKnown ? first.nSector : previousStart;
    int32_t high = last.nSector;
    while (high - low > 1)
    {
        const int32_t middle = low + (high - low) / 2;
        Probe p = probe(middle, +1);
        if (!p.bKnown || p.nSector >= high)
            p = probe(middle - 1, -1);
        if (!p.bKnown || p.nSector <= low || p.nSector >= high)
            break;  // nothing between can be read: `high` is the best known
        if (p.bInTrack)
            high = p.nSector;
        else
            low = p.nSector;
    }
    return high;
}
