#include "cddb/CDDBDiscId.h"

#include "cdrom/CDCommandBlocks.h"
#include "files/TextBuffer.h"

namespace {

constexpr int64_t LEAD_IN_SECTORS = 150;
constexpr int64_t SECTORS_PER_SECOND = 75;

// CDDB_QUERY_SIZE holds 255 offsets of six digits and a disc of four-digit seconds.
constexpr int64_t LAST_OFFSET = CD_LAST_ADDRESS + LEAD_IN_SECTORS;
static_assert(LAST_OFFSET < 1000000 && LAST_OFFSET / SECTORS_PER_SECOND < 10000
                  && 24 + 255 * 7 + 5 + 1 <= CDDB_QUERY_SIZE,
              "the query line's size follows the addresses a table of contents holds");

// The database's offset of a drive address: counted from the lead-in.
int64_t DatabaseOffset(int32_t address)
{
    return address + LEAD_IN_SECTORS;
}

// Whole seconds from the start of the lead-in. Each address is truncated on
// its own, lengths included, as every other client of the database does:
// truncating a difference instead can give a second less, and another id.
uint32_t DatabaseSeconds(int32_t address)
{
    return static_cast<uint32_t>(DatabaseOffset(address) / SECTORS_PER_SECOND);
}

uint32_t DigitSum(uint32_t n)
{
    uint32_t sum = 0;
    for (; n > 0; n /= 10)
        sum += n % 10;
    return sum;
}

} // namespace

uint32_t CDDBDiscId(const int32_t* starts, int nTracks)
{
    uint32_t sum = 0;
    for (int i = 0; i < nTracks; ++i)
        sum += DigitSum(DatabaseSeconds(starts[i]));
    const uint32_t length = DatabaseSeconds(starts[nTracks]) - DatabaseSeconds(starts[0]);
    return (sum % 255) << 24 | length << 8 | static_cast<uint32_t>(nTracks);
}

bool MakeCDDBQuery(const int32_t* starts, int nTracks, char* out, std::size_t outSize)
{
    // Each piece is cut at the buffer's end and returns what it wrote, so
    // `n` stays below outSize and the text stays terminated. The line end
    // comes last, so a line that ends with it was not cut.
    std::size_t n = FormatText(out, outSize, "cddb query %08x %d ", CDDBDiscId(starts, nTracks), nTracks);
    for (int i = 0; i < nTracks; ++i)
        n += FormatText(out + n, outSize - n, "%lld ", static_cast<long long>(DatabaseOffset(starts[i])));
    n += FormatText(out + n, outSize - n, "%u\n", DatabaseSeconds(starts[nTracks]));
    return n > 0 && out[n - 1] == '\n';
}
