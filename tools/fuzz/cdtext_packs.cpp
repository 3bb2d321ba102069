// A drive's CD-Text answer, which the disc and the drive control: every name
// read is terminated within its buffer, an answer that gives nothing leaves
// no name, and a pack with a wrong CRC never contributes a character.
#include <cstring>
#include <memory>
#include <vector>

#include "FuzzCheck.h"
#include "cdrom/CDText.h"
#include "files/Crc.h"

namespace {

bool AllEmpty(const CDText& text)
{
    if (text.szDiscTitle[0] || text.szDiscPerformer[0])
        return false;
    for (int t = 0; t <= CDTEXT_MAX_TRACKS; ++t)
        if (text.szTrackTitle[t][0] || text.szTrackPerformer[t][0])
            return false;
    return true;
}

void CheckTerminated(const CDText& text)
{
    FUZZ_CHECK(memchr(text.szDiscTitle, 0, sizeof(text.szDiscTitle)));
    FUZZ_CHECK(memchr(text.szDiscPerformer, 0, sizeof(text.szDiscPerformer)));
    for (int t = 0; t <= CDTEXT_MAX_TRACKS; ++t)
    {
        FUZZ_CHECK(memchr(text.szTrackTitle[t], 0, TEXT_BUFFER_SIZE));
        FUZZ_CHECK(memchr(text.szTrackPerformer[t], 0, TEXT_BUFFER_SIZE));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    auto text = std::make_unique<CDText>();
    const bool bRead = ParseCDText(data, size, *text);
    CheckTerminated(*text);
    if (!bRead)
        FUZZ_CHECK(AllEmpty(*text));

    // The same answer with every pack's CRC broken reads nothing.
    std::vector<uint8_t> broken(data, data + size);
    for (std::size_t p = 4; p + CDTEXT_PACK_SIZE <= broken.size(); p += CDTEXT_PACK_SIZE)
    {
        const uint16_t crc = CdCrc16(&broken[p], 16);
        if (broken[p + 16] == uint8_t(crc >> 8) && broken[p + 17] == uint8_t(crc))
            broken[p + 17] ^= 0x01;
    }
    auto none = std::make_unique<CDText>();
    FUZZ_CHECK(!ParseCDText(broken.data(), broken.size(), *none));
    FUZZ_CHECK(AllEmpty(*none));
    return 0;
}
