// CRC-32 (IEEE 802.3, reflected polynomial 0xEDB88320), the checksum rip logs
// give for the audio they wrote, and a digest of file layouts. Computed in
// pieces: pass the previous result back in, starting from 0, and any split
// of the bytes gives the same value.
#pragma once

#include <cstddef>
#include <cstdint>

uint32_t Crc32(uint32_t crc, const void* data, std::size_t size);
