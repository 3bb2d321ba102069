// CRC-32 as zip and PNG use it (IEEE, reflected polynomial 0xEDB88320). A run
// starts from 0 and carries on with the value it returned: any split of the
// bytes gives the same result.
#pragma once

#include <cstddef>
#include <cstdint>

uint32_t Crc32(uint32_t crc, const void* data, std::size_t size);
