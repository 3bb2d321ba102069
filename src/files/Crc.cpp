#include "files/Crc.h"

namespace {

struct Crc32Table
{
    uint32_t entries[8][256];

    // Slicing by eight: a track's CRC runs beside the rip for every byte.
    constexpr Crc32Table() : entries()
    {
        for (uint32_t i = 0; i < 256; ++i)
        {
            uint32_t c = i;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entries[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i)
            for (int k = 1; k < 8; ++k)
                entries[k][i] = (entries[k - 1][i] >> 8) ^ entries[0][entries[k - 1][i] & 0xFF];
    }
};

constexpr Crc32Table kTable;

} // namespace

uint32_t Crc32(uint32_t crc, const void* data, std::size_t size)
{
    const auto* p = static_cast<const unsigned char*>(data);
    const auto& t = kTable.entries;
    crc = ~crc;
    for (; size >= 8; size -= 8, p += 8)
    {
        const uint32_t lo = crc ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
        crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24]
              ^ t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    }
    for (; size > 0; --size, ++p)
        crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint16_t CdCrc16(const void* data, std::size_t size)
{
    const auto* p = static_cast<const unsigned char*>(data);
    uint16_t crc = 0;
    for (std::size_t i = 0; i < size; ++i)
    {
        crc ^= uint16_t(p[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? uint16_t(crc << 1 ^ 0x1021) : uint16_t(crc << 1);
    }
    return uint16_t(~crc);
}
