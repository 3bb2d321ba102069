#include "cdrom/CDText.h"

#include <cstring>

#include "files/Crc.h"

namespace {

constexpr uint8_t PACK_TITLE = 0x80;
constexpr uint8_t PACK_PERFORMER = 0x81;
constexpr uint8_t PACK_SIZE_INFO = 0x8F;
constexpr std::size_t PACK_TEXT = 12;
constexpr int MAX_BLOCKS = 8;

int BlockOf(const uint8_t* pack) { return pack[3] >> 4 & 0x07; }
bool DoubleByte(const uint8_t* pack) { return (pack[3] & 0x80) != 0; }

bool CrcValid(const uint8_t* pack)
{
    const uint16_t crc = CdCrc16(pack, 16);
    return pack[16] == uint8_t(crc >> 8) && pack[17] == uint8_t(crc);
}

// Collects the strings of one pack type into a table of names by track.
class StringReader
{
public:
    StringReader(char (*tracks)[TEXT_BUFFER_SIZE], char* disc) : tracks(tracks), disc(disc) {}

    void Pack(const uint8_t* pack, bool bFollows)
    {
        int track = pack[1];
        const int carried = pack[3] & 0x0F;
        std::size_t i = 0;
        if (!bFollows)
        {
            // The packs before this one were lost: a string it continues has
            // lost its beginning, so it starts over after that string's end.
            length = 0;
            iTrack = track;
            if (carried > 0)
            {
                while (i < PACK_TEXT && pack[4 + i] != '\0')
                    ++i;
                if (i == PACK_TEXT)
                {
                    bSkipping = true;
                    return;
                }
                ++i;
                ++iTrack;
            }
            bSkipping = false;
        }
        for (; i < PACK_TEXT; ++i)
        {
            const char c = char(pack[4 + i]);
            if (c == '\0')
            {
                if (!bSkipping)
                    Finish();
                bSkipping = false;
                length = 0;
                ++iTrack;
            }
            else if (!bSkipping && length < TEXT_MAX_LENGTH)
            {
                current[length++] = c;
            }
        }
    }

private:
    void Finish()
    {
        current[length] = '\0';
        const char* text = current;
        // A lone TAB repeats the previous track's string.
        if (std::strcmp(current, "\t") == 0)
            text = iTrack >= 2 && iTrack <= CDTEXT_MAX_TRACKS ? tracks[iTrack - 1] : "";
        if (iTrack == 0)
            CopyText(disc, TEXT_BUFFER_SIZE, text);
        else if (iTrack <= CDTEXT_MAX_TRACKS)
            CopyText(tracks[iTrack], TEXT_BUFFER_SIZE, text);
    }

    char (*tracks)[TEXT_BUFFER_SIZE];
    char* disc;
    char current[TEXT_BUFFER_SIZE] = {};
    std::size_t length = 0;
    int iTrack = 0;
    bool bSkipping = false;
};

} // namespace

bool ParseCDText(const uint8_t* answer, std::size_t size, CDText& text)
{
    std::memset(&text, 0, sizeof(text));
    if (size < 4)
        return false;
    std::size_t end = 2 + (std::size_t(answer[0]) << 8 | answer[1]);
    if (end > size)
        end = size;
    const uint8_t* packs = answer + 4;
    const std::size_t nPacks = end > 4 ? (end - 4) / CDTEXT_PACK_SIZE : 0;

    // Each block says its character set in its size information (the first
    // byte of its first 0x8F pack); a block without one is taken as
    // ISO-8859-1 unless its packs are marked double-byte.
    int codes[MAX_BLOCKS];
    bool bSeen[MAX_BLOCKS] = {};
    bool bDouble[MAX_BLOCKS] = {};
    for (int& code : codes)
        code = -1;
    for (std::size_t p = 0; p < nPacks; ++p)
    {
        const uint8_t* pack = packs + p * CDTEXT_PACK_SIZE;
        if (!CrcValid(pack))
        {
            ++text.nDroppedPacks;
            continue;
        }
        const int block = BlockOf(pack);
        bSeen[block] = true;
        bDouble[block] = bDouble[block] || DoubleByte(pack);
        // The first of the three size packs (sequence within the type: track field 0).
        if (pack[0] == PACK_SIZE_INFO && pack[1] == 0 && codes[block] < 0)
            codes[block] = pack[4];
    }
    int chosen = -1;
    for (int block = 0; block < MAX_BLOCKS && chosen < 0; ++block)
    {
        if (!bSeen[block])
            continue;
        const int code = codes[block] >= 0 ? codes[block] : (bDouble[block] ? CDTEXT_MS_JIS : CDTEXT_ISO_8859_1);
        if ((code == CDTEXT_ISO_8859_1 || code == CDTEXT_ASCII) && !bDouble[block])
            chosen = block;
        else
            text.bSkippedDoubleByte = 1;
    }
    if (chosen < 0)
        return false;
    for (int block = chosen + 1; block < MAX_BLOCKS; ++block)
        if (bSeen[block] && (bDouble[block] || codes[block] == CDTEXT_MS_JIS))
            text.bSkippedDoubleByte = 1;

    StringReader titles(text.szTrackTitle, text.szDiscTitle);
    StringReader performers(text.szTrackPerformer, text.szDiscPerformer);
    int lastSequence[2] = {-2, -2};
    for (std::size_t p = 0; p < nPacks; ++p)
    {
        const uint8_t* pack = packs + p * CDTEXT_PACK_SIZE;
        if (BlockOf(pack) != chosen || (pack[0] != PACK_TITLE && pack[0] != PACK_PERFORMER) || !CrcValid(pack))
            continue;
        const int kind = pack[0] == PACK_TITLE ? 0 : 1;
        const bool bFollows = pack[2] == uint8_t(lastSequence[kind] + 1);
        lastSequence[kind] = pack[2];
        (kind == 0 ? titles : performers).Pack(pack, bFollows);
    }
    text.bFound = 1;
    return true;
}

void MakeReadCDTextCdb(uint8_t cdb[10])
{
    const uint16_t size = static_cast<uint16_t>(CDTEXT_ANSWER_SIZE);
    const uint8_t bytes[10] = {0x43, 0, 5, 0, 0, 0, 0, static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size), 0};
    for (int i = 0; i < 10; ++i)
        cdb[i] = bytes[i];
}
