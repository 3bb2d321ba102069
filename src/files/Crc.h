// Checksums of bytes.
#pragma once

#include <cstddef>
#include <cstdint>

// CRC-32 (IEEE 802.3, reflected polynomial 0xEDB88320), the checksum rip logs
// give for the audio they wrote, and a digest of file layouts. Computed in
// pieces: pass the previous result back in, starting from 0, and any split
// of the bytes gives the same value.
uint32_t Crc32(uint32_t crc, const void* data, std::size_t size);

// The CRC a CD's subchannel Q and its CD-Text packs carry: CRC-16 with the
// polynomial 0x1021 (x^16 + x^12 + x^5 + 1), starting from 0, inverted; stored
// high byte first.
uint16_t CdCrc16(const void* data, std::size_t size);
