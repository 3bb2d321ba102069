// Blocks of samples between the pipeline's form and 16-bit little-endian
// bytes, as a CD and a 16-bit WAV file hold them. The block forms are SSE2;
// SampleFrom16 and SampleTo16 are their reference, sample by sample, and the
// results are the same bit for bit.
#pragma once

#include <cstdint>

// `count` samples (not frames) from `bytes` into `samples`.
void SamplesFrom16LE(const uint8_t* bytes, int count, int32_t* samples);
// `count` samples into `bytes`, rounded and held at the 16-bit ends.
void SamplesTo16LE(const int32_t* samples, int count, uint8_t* bytes);
