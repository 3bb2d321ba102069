// CD-Text: the names a disc carries itself, read from the answer to READ
// TOC/PMA/ATIP with format 5. The answer is a 2-byte big-endian length (not
// counting itself), two reserved bytes and 18-byte packs: a type, the track
// of the pack's first character, a sequence number, the block and the
// characters carried over from the previous pack, 12 bytes of text and a
// CRC. Strings end with a NUL and run across packs; each belongs to the next
// track; a lone TAB means "as the previous track".
#pragma once

#include <cstddef>
#include <cstdint>

#include "files/TextBuffer.h"

constexpr int CDTEXT_MAX_TRACKS = 99;
constexpr std::size_t CDTEXT_PACK_SIZE = 18;

enum CDTextCharacterCode : uint8_t
{
    CDTEXT_ISO_8859_1 = 0x00,
    CDTEXT_ASCII = 0x01,
    CDTEXT_MS_JIS = 0x80,
};

struct CDText
{
    uint8_t bFound;              // a block in a character set we read
    uint8_t bSkippedDoubleByte;  // blocks in MS-JIS (or other double-byte text) were passed by
    int nDroppedPacks;           // packs whose CRC was wrong
    char szDiscTitle[TEXT_BUFFER_SIZE];
    char szDiscPerformer[TEXT_BUFFER_SIZE];
    // [n] for track n, from 1; empty where the disc names none.
    char szTrackTitle[CDTEXT_MAX_TRACKS + 1][TEXT_BUFFER_SIZE];
    char szTrackPerformer[CDTEXT_MAX_TRACKS + 1][TEXT_BUFFER_SIZE];
};

// The largest answer asked for: eight blocks of 256 packs, the most a disc
// carries, after the 4-byte header.
constexpr std::size_t CDTEXT_ANSWER_SIZE = 4 + 8 * 256 * CDTEXT_PACK_SIZE;

// READ TOC/PMA/ATIP with format 5 (CD-Text), asking for CDTEXT_ANSWER_SIZE bytes.
void MakeReadCDTextCdb(uint8_t cdb[10]);

// Reads the first block in ISO-8859-1 or ASCII of the answer (`size` bytes,
// its length field included). Packs with a wrong CRC are dropped, and a
// string that lost its beginning with them is left out. False when nothing
// could be read; `text` then holds no names.
bool ParseCDText(const uint8_t* answer, std::size_t size, CDText& text);
