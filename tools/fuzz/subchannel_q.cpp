// Subchannel answers, which the disc and the drive control: a formatted Q
// that is taken is a sane position whose fields read back, a catalog number
// is 13 digits, an ISRC a valid code, and the gap search ends inside the
// range it was given whatever positions the drive reports.
#include <cstring>
#include <vector>

#include "FuzzCheck.h"
#include "cdrom/Subchannel.h"

namespace {

// Positions from the fuzzer's bytes, one a read, then none.
class FuzzPositions : public QPositionReader
{
public:
    explicit FuzzPositions(FuzzInput& input) : input(input) {}

    bool ReadPosition(int32_t, QPosition& position) override
    {
        ++nReads;
        if (input.Left() == 0 || input.Byte() % 5 == 0)
            return false;
        position.nTrack = input.Byte() % 100;
        position.nIndex = input.Byte() % 3;
        return true;
    }

    int nReads = 0;

private:
    FuzzInput& input;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size >= FORMATTED_Q_SIZE)
    {
        QPosition q{};
        if (ParseFormattedQ(data, q))
        {
            FUZZ_CHECK(q.nTrack >= 1 && q.nTrack <= 99 && q.nIndex >= 0 && q.nIndex <= 99);
            FUZZ_CHECK(q.nSector >= -150 && q.nSector < 100 * 60 * 75);
            FUZZ_CHECK((data[0] & 0x0F) == 1);
        }
    }
    char catalog[14];
    if (ParseCatalogAnswer(data, size, catalog))
    {
        FUZZ_CHECK(std::strlen(catalog) == 13);
        for (int i = 0; i < 13; ++i)
            FUZZ_CHECK(catalog[i] >= '0' && catalog[i] <= '9');
    }
    else
    {
        FUZZ_CHECK(catalog[0] == '\0');
    }
    char isrc[13];
    if (ParseIsrcAnswer(data, size, isrc))
        FUZZ_CHECK(IsValidIsrc(isrc));
    else
        FUZZ_CHECK(isrc[0] == '\0');
    QPosition position{};
    if (ParsePositionAnswer(data, size, position))
        FUZZ_CHECK(position.nTrack >= 1 && position.nTrack <= 99);

    FuzzInput input(data, size);
    const int32_t previousStart = int32_t(input.Byte()) << 8 | input.Byte();
    const int32_t start = previousStart + (int32_t(input.Byte()) << 8 | input.Byte());
    const int track = 1 + input.Byte() % 99;
    FuzzPositions reader(input);
    const int32_t gap = FindGapStart(reader, track, previousStart, start);
    FUZZ_CHECK(gap == start || (gap >= previousStart && gap < start));
    FUZZ_CHECK(reader.nReads <= 4 * 75 + 40 * 2 * 75);
    return 0;
}
