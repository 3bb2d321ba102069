// PNG files written without a compression library: the image data goes into
// stored (uncompressed) deflate blocks, which every PNG reader accepts. The
// files are larger than compressed ones, which matters little for screenshots.
#pragma once

#include <cstdint>

// Writes a width x height, 8-bit RGB PNG file. `pixels` holds the rows top row
// first, 4 bytes a pixel in the order of a 32-bit Windows DIB: blue, green,
// red, and an unused byte that is ignored; rows follow each other without
// padding. False when a dimension is not positive, the image is too large (1 GiB
// of RGB and more), or the file cannot be written.
bool WritePng(const char* path, int width, int height, const uint8_t* pixels);
