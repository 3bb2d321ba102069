// How much one read of a download asks for. WinINet's FTP read waits until
// the whole block has arrived, so a large block on a slow line would keep
// Cancel waiting: reads grow from 256 bytes to 64 KiB while each takes less
// than a quarter of a second, and shrink to what arrives in a quarter of a
// second at the rate just seen when one takes longer.
#pragma once

#include <cstdint>

constexpr uint32_t READ_SIZE_MIN = 256;
constexpr uint32_t READ_SIZE_MAX = 64 * 1024;
constexpr uint32_t READ_TARGET_MS = 250;

// The size of the next read after one of `size` bytes that brought `received`
// bytes in `elapsedMs`.
uint32_t NextReadSize(uint32_t size, uint32_t received, uint32_t elapsedMs);
