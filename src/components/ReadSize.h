// How a download is bounded: in time and in size; and how much one read of
// it asks for. WinINet's FTP read waits until
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

// Connecting, and each wait for data, give up after this: a server that never
// greets or stalls mid-file fails the download instead of holding it.
constexpr uint32_t DOWNLOAD_TIMEOUT_MS = 30000;
// The most a download takes when the server lists no size for the file.
constexpr uint32_t DOWNLOAD_UNLISTED_LIMIT = 64u * 1024 * 1024;

// The most bytes a download of a file listed at `listed` bytes (0: not
// listed) may bring: the listed size, or the cap without one.
uint32_t DownloadLimit(uint32_t listed);
// Whether `received` more bytes after `total` stay within `limit`; a server
// that sends more is sending some other file than the one listed, and the
// download stops there rather than fill the disk.
bool IsWithinDownloadLimit(uint32_t total, uint32_t received, uint32_t limit);
