#include "files/Crc.h"

namespace {

struct CrcTable
{
    uint32_t entries[256];

    CrcTable()
    {
        for (uint32_t n = 0; n < 256; ++n)
        {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entries[n] = c;
        }
    }
};

} // namespace

uint32_t Crc32(uint32_t crc, const void* data, std::size_t size)
{
    static const CrcTable table;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    // The register holds the complement between calls, so that 0 starts a run.
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = table.entries[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
