// A drive's READ TOC answer as the program reads it: the table of contents,
// the bytes sent of a prefilled buffer, the tracks' ends and seconds, and the
// disc id and query line made from the table.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "cddb/CDDBDiscId.h"
#include "cdrom/CDCommandBlocks.h"
#include "cdrom/LCDDBInfo.h"

namespace {

int32_t AddressAt(const uint8_t* descriptor)
{
    const uint8_t* a = descriptor + 4;
    return static_cast<int32_t>(static_cast<uint32_t>(a[0]) << 24 | static_cast<uint32_t>(a[1]) << 16
                                | static_cast<uint32_t>(a[2]) << 8 | a[3]);
}

// The table read from the first `size` bytes of `response` is what they say.
void CheckTable(const uint8_t* response, std::size_t size, ProcessResult result, const CDTableOfContents& toc)
{
    if (result != Done)
    {
        FUZZ_CHECK(result == Failed && toc.nTracks == 0);
        // A table is refused only when its data length or one of the
        // addresses read is wrong, or no descriptor arrived; a count of
        // descriptor bytes past a signed 16-bit number counts as wrong.
        if (size < 12)
            return;
        const int dataLength = response[0] << 8 | response[1];
        if (dataLength < 10 || dataLength - 10 > 0x7FFF)
            return;
        int entries = (dataLength - 10) / 8 + 1;
        entries = std::min(entries, std::min(TOC_MAX_ENTRIES, static_cast<int>((size - 4) / 8)));
        bool bOutside = false;
        for (int i = 0; i < entries; ++i)
        {
            const int32_t address = AddressAt(response + 4 + 8 * i);
            bOutside = bOutside || address < 0 || address > CD_LAST_ADDRESS;
        }
        FUZZ_CHECK(bOutside);
        return;
    }
    FUZZ_CHECK(size >= 12);
    const int dataLength = response[0] << 8 | response[1];
    FUZZ_CHECK(dataLength >= 10 && dataLength - 10 <= 0x7FFF);
    // The track count is the claim, cut to 255 tracks and to what arrived.
    const int claimed = (dataLength - 10) / 8;
    const int held = static_cast<int>((size - 4) / 8) - 1;
    FUZZ_CHECK(toc.nTracks == std::min(claimed, std::min(held, TOC_MAX_ENTRIES - 1)));
    for (int i = 0; i <= toc.nTracks; ++i)
    {
        const uint8_t* descriptor = response + 4 + 8 * i;
        FUZZ_CHECK(toc.nStartSector[i] == AddressAt(descriptor));
        FUZZ_CHECK(toc.nStartSector[i] >= 0 && toc.nStartSector[i] <= CD_LAST_ADDRESS);
        FUZZ_CHECK(toc.bData[i] == ((descriptor[1] & 0x04) != 0));
    }
}

void CheckTracks(const CDTableOfContents& toc)
{
    for (int i = 0; i < toc.nTracks; ++i)
    {
        const int32_t start = toc.nStartSector[i];
        const int32_t next = toc.nStartSector[i + 1];
        const int32_t end = TrackEndSector(toc, i);
        // The next track's start, or a session gap before a data track.
        if (end != next)
        {
            FUZZ_CHECK(end == next - CD_EXTRA_SESSION_GAP);
            FUZZ_CHECK(!toc.bData[i] && i + 1 < toc.nTracks && toc.bData[i + 1] && end >= start);
        }
        const int32_t seconds = TrackSeconds(start, end);
        FUZZ_CHECK(seconds >= 0 && seconds <= CD_LAST_ADDRESS / CD_SECTORS_PER_SECOND);
        FUZZ_CHECK(seconds == (end > start ? (end - start) / CD_SECTORS_PER_SECOND : 0));
    }
}

// The query line: whole, ending in its line feed, with the id, the count, one
// offset a track and the disc's seconds; a smaller buffer gets a cut of it
// and a false answer exactly when the whole line does not fit.
void CheckQuery(const CDTableOfContents& toc, std::size_t smallSize)
{
    char line[CDDB_QUERY_SIZE];
    FUZZ_CHECK(MakeCDDBQuery(toc.nStartSector, toc.nTracks, line, sizeof(line)));
    const std::size_t length = strlen(line);
    FUZZ_CHECK(length > 0 && length < sizeof(line) && line[length - 1] == '\n');
    FUZZ_CHECK(strchr(line, '\n') == line + length - 1);

    const uint32_t id = CDDBDiscId(toc.nStartSector, toc.nTracks);
    FUZZ_CHECK((id & 0xFF) == toc.nTracks);
    char head[64];
    snprintf(head, sizeof(head), "cddb query %08x %d ", id, toc.nTracks);
    FUZZ_CHECK(strncmp(line, head, strlen(head)) == 0);
    const char* p = line + strlen(head);
    for (int i = 0; i <= toc.nTracks; ++i)
    {
        char* after = nullptr;
        const long long value = strtoll(p, &after, 10);
        FUZZ_CHECK(after != p);
        if (i < toc.nTracks)
            FUZZ_CHECK(value == toc.nStartSector[i] + 150LL && *after == ' ');
        else
            FUZZ_CHECK(value == (toc.nStartSector[i] + 150LL) / 75 && *after == '\n');
        p = after + 1;
    }

    std::vector<char> small(smallSize);
    const bool bWhole = MakeCDDBQuery(toc.nStartSector, toc.nTracks, small.data(), small.size());
    FUZZ_CHECK(bWhole == (length < smallSize));
    if (smallSize > 0)
    {
        const std::size_t cut = strnlen(small.data(), smallSize);
        FUZZ_CHECK(cut < smallSize);
        FUZZ_CHECK(memcmp(small.data(), line, cut) == 0);
        FUZZ_CHECK(bWhole ? cut == length : cut == smallSize - 1);
    }
}

void CheckResponse(const uint8_t* response, std::size_t size, std::size_t smallSize)
{
    CDTableOfContents toc;
    toc.nTracks = 77;
    const ProcessResult result = ParseTOCResponse(response, size, toc);
    CheckTable(response, size, result, toc);
    if (result != Done)
        return;
    CheckTracks(toc);
    CheckQuery(toc, smallSize);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    // The first two bytes size a short query buffer; the rest is the answer,
    // read as it stands (exactly that many bytes, so that a sanitizer sees
    // any read past them) and as a prefilled READ TOC buffer would hold it.
    FuzzInput input(data, size);
    const std::size_t smallSize = input.U16() % (CDDB_QUERY_SIZE + 1);
    const std::string rest = input.Rest();
    const std::vector<uint8_t> response(rest.begin(), rest.end());
    CheckResponse(response.data(), response.size(), smallSize);

    std::vector<uint8_t> buffer(TOC_RESPONSE_SIZE, TOC_UNSENT_FILL);
    std::copy_n(response.begin(), std::min(response.size(), buffer.size()), buffer.begin());
    const std::size_t sent = TOCResponseBytesSent(buffer.data(), buffer.size());
    // The header, then whole descriptors up to the first one still all fill.
    FUZZ_CHECK(sent >= 4 && sent <= buffer.size() && (sent - 4) % 8 == 0);
    for (std::size_t at = 4; at + 8 <= buffer.size(); at += 8)
    {
        const bool bUnsent = std::all_of(buffer.begin() + at, buffer.begin() + at + 8,
                                         [](uint8_t b) { return b == TOC_UNSENT_FILL; });
        if (at < sent)
            FUZZ_CHECK(!bUnsent);
        else
        {
            FUZZ_CHECK(at == sent && bUnsent);
            break;
        }
    }
    FUZZ_CHECK(TOCResponseBytesSent(buffer.data(), response.size() % 4) == 0);
    CheckResponse(buffer.data(), sent, smallSize);
    return 0;
}
