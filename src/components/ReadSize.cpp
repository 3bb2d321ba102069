#include "components/ReadSize.h"

#include <algorithm>

uint32_t NextReadSize(uint32_t size, uint32_t received, uint32_t elapsedMs)
{
    if (elapsedMs < READ_TARGET_MS)
        return std::min(std::max(size, READ_SIZE_MIN) * 2, READ_SIZE_MAX);
    const uint64_t fits = static_cast<uint64_t>(received) * READ_TARGET_MS / elapsedMs;
    return static_cast<uint32_t>(std::min<uint64_t>(std::max<uint64_t>(fits, READ_SIZE_MIN), READ_SIZE_MAX));
}

uint32_t DownloadLimit(uint32_t listed) { return listed ? listed : DOWNLOAD_UNLISTED_LIMIT; }

bool IsWithinDownloadLimit(uint32_t total, uint32_t received, uint32_t limit)
{
    return total <= limit && received <= limit - total;
}
