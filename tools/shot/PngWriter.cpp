#include "shot/PngWriter.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "files/Crc.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A stored deflate block carries at most this many bytes (its length is 16 bits).
constexpr size_t kStoredBlockMax = 65535;

uint32_t Adler32(const Bytes& data)
{
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data)
    {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

void PutBigEndian32(Bytes& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutLittleEndian16(Bytes& out, size_t value)
{
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

// Length, type, data, and the CRC of type and data.
void PutChunk(Bytes& out, const char* type, const Bytes& data)
{
    PutBigEndian32(out, static_cast<uint32_t>(data.size()));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBigEndian32(out, Crc32(0, out.data() + typeAt, out.size() - typeAt));
}

// A zlib stream (RFC 1950) of stored deflate blocks (RFC 1951, BTYPE 00).
Bytes StoredZlib(const Bytes& raw)
{
    Bytes out{0x78, 0x01};  // deflate with a 32 KiB window; no dictionary, and the check bits
    size_t at = 0;
    do
    {
        const size_t size = std::min(kStoredBlockMax, raw.size() - at);
        const bool bFinal = at + size == raw.size();
        out.push_back(bFinal ? 1 : 0);  // BFINAL, BTYPE 00; the rest of the byte pads to the boundary
        PutLittleEndian16(out, size);   // LEN
        PutLittleEndian16(out, ~size);  // NLEN
        out.insert(out.end(), raw.begin() + at, raw.begin() + at + size);
        at += size;
    } while (at < raw.size());
    PutBigEndian32(out, Adler32(raw));
    return out;
}

}  // namespace

bool WritePng(const char* path, int width, int height, const uint8_t* pixels)
{
    if (width <= 0 || height <= 0)
        return false;
    // Each row is a filter type byte (0, none) and the RGB bytes. The limit
    // keeps the IDAT chunk, with its block headers, below the 2^31 bytes a
    // chunk may hold.
    const uint64_t rowBytes = 1 + 3 * uint64_t(width);
    if (rowBytes * uint64_t(height) >= (1ull << 30))
        return false;

    Bytes raw;
    raw.reserve(rowBytes * height);
    for (int y = 0; y < height; ++y)
    {
        raw.push_back(0);
        const uint8_t* p = pixels + 4 * size_t(width) * y;
        for (int x = 0; x < width; ++x, p += 4)
            raw.insert(raw.end(), {p[2], p[1], p[0]});
    }

    Bytes header;
    PutBigEndian32(header, static_cast<uint32_t>(width));
    PutBigEndian32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits a sample, RGB, deflate, adaptive filters, no interlace

    Bytes file{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(file, "IHDR", header);
    PutChunk(file, "IDAT", StoredZlib(raw));
    PutChunk(file, "IEND", {});

    std::FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    const bool bWritten = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    return std::fclose(f) == 0 && bWritten;
}
