#include "tools/PngReader.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

using Bytes = std::vector<uint8_t>;

// Bit by bit, unlike the writer's table.
uint32_t Crc32(const uint8_t* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
    {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

uint32_t BigEndian32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// The zlib stream of stored blocks unpacked into `raw`.
std::string Unpack(const Bytes& stream, Bytes& raw)
{
    if (stream.size() < 6)
        return "zlib stream too short";
    if ((stream[0] & 0x0F) != 8 || (stream[0] * 256 + stream[1]) % 31 != 0 || (stream[1] & 0x20))
        return "bad zlib header";
    size_t at = 2;
    for (bool bFinal = false; !bFinal;)
    {
        if (at + 5 > stream.size())
            return "deflate block cut short";
        bFinal = stream[at] & 1;
        if ((stream[at] >> 1 & 3) != 0)
            return "not a stored deflate block";
        const unsigned size = stream[at + 1] | stream[at + 2] << 8;
        const unsigned check = stream[at + 3] | stream[at + 4] << 8;
        if ((size ^ check) != 0xFFFF)
            return "stored block LEN and NLEN disagree";
        at += 5;
        if (at + size > stream.size())
            return "stored block runs past the stream";
        raw.insert(raw.end(), stream.begin() + at, stream.begin() + at + size);
        at += size;
    }
    if (at + 4 != stream.size())
        return "no Adler-32 right after the last block";
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw)
    {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    if (BigEndian32(&stream[at]) != (b << 16 | a))
        return "Adler-32 mismatch";
    return "";
}

}  // namespace

uint32_t PngImage::Pixel(int x, int y) const
{
    const uint8_t* p = &rgb[3 * (size_t(y) * width + x)];
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}

std::string ReadPng(const std::string& path, PngImage& image)
{
    std::ifstream in(path, std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const Bytes signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (file.size() < signature.size() || !std::equal(signature.begin(), signature.end(), file.begin()))
        return "no PNG signature";

    Bytes stream;
    bool bHeader = false;
    for (size_t at = signature.size();;)
    {
        if (at + 12 > file.size())
            return "file ends without IEND";
        const uint32_t size = BigEndian32(&file[at]);
        if (size > file.size() - at - 12)
            return "chunk runs past the end of the file";
        const std::string type(file.begin() + at + 4, file.begin() + at + 8);
        const uint8_t* data = &file[at + 8];
        if (Crc32(&file[at + 4], size + 4) != BigEndian32(data + size))
            return "CRC mismatch in " + type;
        at += 12 + size;

        if (!bHeader && type != "IHDR")
            return "first chunk is " + type;
        if (type == "IHDR")
        {
            if (bHeader || size != 13)
                return "bad IHDR";
            bHeader = true;
            image.width = static_cast<int>(BigEndian32(data));
            image.height = static_cast<int>(BigEndian32(data + 4));
            if (image.width <= 0 || image.height <= 0)
                return "bad dimensions";
            if (data[8] != 8 || data[9] != 2 || data[10] != 0 || data[11] != 0 || data[12] != 0)
                return "not 8-bit RGB, deflate, no interlace";
        }
        else if (type == "IDAT")
            stream.insert(stream.end(), data, data + size);
        else if (type == "IEND")
        {
            if (at != file.size())
                return "data after IEND";
            break;
        }
    }

    Bytes raw;
    const std::string error = Unpack(stream, raw);
    if (!error.empty())
        return error;
    const size_t rowBytes = 1 + 3 * size_t(image.width);
    if (raw.size() != rowBytes * image.height)
        return "image data of the wrong size";
    image.rgb.clear();
    for (size_t row = 0; row < raw.size(); row += rowBytes)
    {
        if (raw[row] != 0)
            return "row filter other than none";
        image.rgb.insert(image.rgb.end(), raw.begin() + row + 1, raw.begin() + row + rowBytes);
    }
    return "";
}
