// Reads back the PNG files the screenshot writer makes, for the tests: it walks
// the chunks checking every CRC, unpacks the stored deflate blocks, checks the
// Adler-32, and accepts only what the writer produces (8-bit RGB, no
// interlace, every row unfiltered). Written apart from the writer, so that
// the two do not share a mistake.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PngImage
{
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // rows top row first, 3 bytes a pixel

    // The colour at (x, y) as 0xRRGGBB.
    uint32_t Pixel(int x, int y) const;
};

// Empty when the file reads, else what is wrong with it.
std::string ReadPng(const std::string& path, PngImage& image);
