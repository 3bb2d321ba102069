// The disc's Q subchannel: where the drive is (track, index and address), the
// media catalog number and each track's ISRC, as READ SUB-CHANNEL (MMC 42h)
// answers them and as READ CD gives them formatted beside each sector; and
// the search for where a track's gap (its index 0) begins. Sector numbers are
// the drive's (0 = the first sector of the program area).
#pragma once

#include <cstddef>
#include <cstdint>

enum SubchannelFormat : uint8_t
{
    SUBCHANNEL_POSITION = 1,  // current position
    SUBCHANNEL_CATALOG = 2,   // media catalog number
    SUBCHANNEL_ISRC = 3,      // a track's ISRC
};

constexpr int SUBCHANNEL_RESPONSE_SIZE = 24;  // the largest answer of the three
constexpr int FORMATTED_Q_SIZE = 16;          // READ CD's formatted Q, per sector
constexpr uint8_t Q_CONTROL_PRE_EMPHASIS = 0x01;
constexpr uint8_t Q_CONTROL_COPY_PERMITTED = 0x02;
constexpr uint8_t Q_CONTROL_DATA = 0x04;

// READ SUB-CHANNEL, 10 bytes: SubQ, the format, addresses as LBA (MSF bit
// clear), `track` for an ISRC (0 otherwise), SUBCHANNEL_RESPONSE_SIZE bytes.
void MakeReadSubchannelCdb(uint8_t cdb[10], SubchannelFormat format, uint8_t track);

// READ CD of one audio sector's user data with its formatted Q (sub-channel
// selection 2): 2352 bytes, then FORMATTED_Q_SIZE.
void MakeReadCDWithQCdb(uint8_t cdb[12], int32_t sector);

struct QPosition
{
    uint8_t nControl;  // Q_CONTROL_... bits
    int nTrack;        // 1-99
    int nIndex;        // 0 in a track's gap, then 1 and on
    int32_t nSector;   // the absolute address, as a sector number
};

// A position answer (format 1). False when it is too short or not one.
bool ParsePositionAnswer(const uint8_t* answer, std::size_t size, QPosition& position);
// READ CD's formatted Q of a sector: ADR 1 (a position) only, its BCD fields
// sane, and its CRC right (a CRC of 0, which some drives send, is not checked).
bool ParseFormattedQ(const uint8_t* q, QPosition& position);

// The catalog answer (format 2): 13 digits, when the drive marks them valid
// and they are not all zeros.
bool ParseCatalogAnswer(const uint8_t* answer, std::size_t size, char (&catalog)[14]);
// The ISRC answer (format 3): 12 characters of a valid code (country and
// owner letters or digits, year and serial digits), when marked valid.
bool ParseIsrcAnswer(const uint8_t* answer, std::size_t size, char (&isrc)[13]);
bool IsValidIsrc(const char* isrc);

// Reads the Q position at a sector, as the drive reports it there.
class QPositionReader
{
public:
    virtual ~QPositionReader() = default;
    // False when the drive gave no position that could be read there.
    virtual bool ReadPosition(int32_t sector, QPosition& position) = 0;
};

// Where the gap before track `track` begins: the first sector of
// [previousStart, start) whose Q names that track, found by halving the
// range; `start` when the track has no gap. A sector whose Q cannot be read
// is passed over for the next one, up to a second's worth, as drives lose
// one now and then.
int32_t FindGapStart(QPositionReader& reader, int track, int32_t previousStart, int32_t start);
