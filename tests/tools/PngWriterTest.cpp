// PNG files from the screenshot writer, read back by the tests' own reader:
// chunk CRCs, stored deflate blocks, Adler-32 and every pixel.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "shot/PngWriter.h"
#include "tools/PngReader.h"

namespace {

namespace fs = std::filesystem;

// The colour 0xRRGGBB of pixel (x, y) in the test pattern.
uint32_t PatternColour(int x, int y)
{
    return uint32_t((x * 37 + y) & 0xFF) << 16 | uint32_t((y * 53 + x) & 0xFF) << 8 | uint32_t(((x ^ y) * 7) & 0xFF);
}

// The pattern as a 32-bit DIB holds it; the unused byte is not zero, so that
// a writer which copied it would show.
std::vector<uint8_t> PatternPixels(int width, int height)
{
    std::vector<uint8_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            const uint32_t c = PatternColour(x, y);
            pixels.insert(pixels.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), 0xA5});
        }
    return pixels;
}

class PngWriter : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("png-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        path = (folder / "image.png").string();
    }
    void TearDown() override { fs::remove_all(folder); }

    void ExpectRoundTrip(int width, int height)
    {
        ASSERT_TRUE(WritePng(path.c_str(), width, height, PatternPixels(width, height).data()));
        PngImage image;
        ASSERT_EQ(ReadPng(path, image), "");
        ASSERT_EQ(image.width, width);
        ASSERT_EQ(image.height, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                ASSERT_EQ(image.Pixel(x, y), PatternColour(x, y)) << "at " << x << ", " << y;
    }

    fs::path folder;
    std::string path;
};

TEST_F(PngWriter, SmallImageReadsBackPixelForPixel) { ExpectRoundTrip(7, 5); }

// 100 rows of 1 + 3 * 256 bytes: two stored blocks, the first one full.
TEST_F(PngWriter, ImageLargerThanOneStoredBlockReadsBack) { ExpectRoundTrip(256, 100); }

TEST_F(PngWriter, RefusesEmptyOrHugeImagesAndUnwritablePaths)
{
    const std::vector<uint8_t> pixel(4);
    EXPECT_FALSE(WritePng(path.c_str(), 0, 1, pixel.data()));
    EXPECT_FALSE(WritePng(path.c_str(), 1, 0, pixel.data()));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(WritePng(path.c_str(), 1 << 16, 1 << 14, nullptr));  // 3 GiB of RGB: refused before reading
    EXPECT_FALSE(WritePng((folder / "missing" / "image.png").string().c_str(), 1, 1, pixel.data()));
}

}  // namespace
