// The checks a codec format record passes before anything is converted into
// it. A record read from a file may be crafted: a codec's query accepts
// records whose block alignment does not fit the codec's blocks, and the
// codec then reports a destination too small for what it writes. Only a
// record that agrees with the codec's own suggestion for its tag, rate and
// channels is used, and every destination has room to spare.
#pragma once

#include <cstdint>

// The fields of a record's leading 18 bytes, as the file holds them.
struct WaveRecordFields
{
    uint16_t nTag;
    uint16_t nChannels;
    uint32_t nRate;
    uint32_t nByteRate;
    uint16_t nBlockAlign;
    uint16_t nBits;
    uint16_t nExtraSize;
};

// Reads the 18 little-endian bytes at `record`.
WaveRecordFields ReadWaveRecord(const uint8_t* record);

// Whether `record` agrees with `suggested`, the record the codec suggests for
// the record's tag, channels and rate: the same tag, channels and rate, and
// the same block alignment and byte rate, none of them 0.
bool RecordAgreesWithSuggestion(const WaveRecordFields& record, const WaveRecordFields& suggested);

// The most a conversion's destination may hold: the codec's answer for a full
// source buffer is bounded by this, and a larger answer refuses the record.
constexpr uint32_t CODEC_DESTINATION_MAX = 1024 * 1024;

// The destination buffer for a conversion of which the codec says it makes
// at most `reported` bytes: that with a quarter and one 4096-byte block to
// spare, so that a codec that writes a little over its word stays inside;
// 0 when `reported` is 0 or over CODEC_DESTINATION_MAX.
uint32_t CodecDestinationSize(uint32_t reported);

// Whether a conversion that says it wrote `used` bytes into a buffer of
// `size` stayed inside it; one that did not has corrupted memory or lied,
// and its output is not written.
inline bool IsConversionInside(uint32_t used, uint32_t size) { return used <= size; }
