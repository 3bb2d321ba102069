// A saved wave format record ("WavCodec.wff") on its way to a file, as the rip
// takes it: the checks of a codec record against its codec's suggestion and
// the size of the codec's destination, then a probe sink of the record's rate and channels behind the
// converters the rip puts in front of every file, then the PCM file's header
// and its samples. A format the converters take gets a consistent header
// (sizes, block align, byte rate) and samples that narrow to 16 or 8 bits by
// rounding, clipped at the ends.
#include <algorithm>
#include <cstring>

#include "FuzzCheck.h"
#include "SoundChecks.h"
#include "sound/LSinkConvertChannels.h"
#include "sound/LSinkConvertRate.h"
#include "soundfile/CodecRecordCheck.h"
#include "soundfile/WaveHeader.h"

namespace {

// The record's leading WAVEFORMATEX, little-endian as the file holds it.
struct FormatRecord
{
    uint16_t tag, channels;
    uint32_t rate, byteRate;
    uint16_t blockAlign, bits, extraSize;
};

uint32_t Get32(const uint8_t* at) { return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24; }
uint16_t Get16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }

void CheckHeader(uint16_t channels, uint32_t rate, uint16_t bytesPerSample, uint32_t dataSize)
{
    uint8_t header[WAVE_HEADER_SIZE];
    MakeWaveHeader(header, channels, rate, bytesPerSample, dataSize);
    const uint32_t blockAlign = static_cast<uint32_t>(channels) * bytesPerSample;
    FUZZ_CHECK(memcmp(header, "RIFF", 4) == 0 && memcmp(header + 8, "WAVEfmt ", 8) == 0);
    if (dataSize == WAVE_SIZE_UNKNOWN)
        FUZZ_CHECK(Get32(header + 4) == WAVE_SIZE_UNKNOWN);
    else
        FUZZ_CHECK(Get32(header + 4) == static_cast<uint64_t>(dataSize) + WAVE_HEADER_SIZE - 8);
    FUZZ_CHECK(Get32(header + 16) == 18 && Get16(header + 20) == 1);
    FUZZ_CHECK(Get16(header + 22) == channels && Get32(header + 24) == rate);
    FUZZ_CHECK(Get32(header + 28) == static_cast<uint64_t>(rate) * blockAlign);
    FUZZ_CHECK(Get16(header + 32) == blockAlign && Get16(header + 34) == bytesPerSample * 8);
    FUZZ_CHECK(Get16(header + 36) == 0 && memcmp(header + 38, "data", 4) == 0);
    FUZZ_CHECK(Get32(header + 42) == dataSize);
}

int64_t FloorDivide(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Rounded to the nearest, halves up, and held within the narrower range.
void CheckNarrowing(int32_t v)
{
    FUZZ_CHECK(SampleTo16(v) == std::clamp<int64_t>(FloorDivide(int64_t(v) + 8, 16), -32768, 32767));
    FUZZ_CHECK(SampleTo8(v) == std::clamp<int64_t>(FloorDivide(int64_t(v) + 2048, 4096), -128, 127) + 128);
}

// The checks a codec record passes before a codec sees it: a record agrees
// with a suggestion exactly when the two share tag, channels, rate, block
// alignment and byte rate, none of them 0; a destination is 0 or leaves room
// over the codec's word, never wrapping.
void CheckCodecRecord(const uint8_t* bytes, uint32_t reported)
{
    const WaveRecordFields record = ReadWaveRecord(bytes);
    const bool bSound = record.nChannels != 0 && record.nRate != 0 && record.nBlockAlign != 0 && record.nByteRate != 0;
    FUZZ_CHECK(RecordAgreesWithSuggestion(record, record) == bSound);
    WaveRecordFields other = record;
    other.nBlockAlign = static_cast<uint16_t>(other.nBlockAlign + 1);
    FUZZ_CHECK(!RecordAgreesWithSuggestion(record, other) && !RecordAgreesWithSuggestion(other, record));
    other = record;
    other.nByteRate += 1;
    FUZZ_CHECK(!RecordAgreesWithSuggestion(record, other));
    const uint32_t size = CodecDestinationSize(reported);
    if (reported == 0 || reported > CODEC_DESTINATION_MAX)
        FUZZ_CHECK(size == 0);
    else
        FUZZ_CHECK(size > reported && IsConversionInside(reported, size) && !IsConversionInside(size + 1, size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 18)
        return -1;
    FormatRecord record = {Get16(data), Get16(data + 2), Get32(data + 4), Get32(data + 8),
                           Get16(data + 12), Get16(data + 14), Get16(data + 16)};
    FuzzInput input(data + 18, size - 18);
    CheckCodecRecord(data, Get32(data + 8) * 7);

    // The rip's probe: the record's rate and channels as a sink takes them.
    KeepingSink* probe = new KeepingSink(static_cast<int32_t>(record.rate), static_cast<uint8_t>(record.channels));
    const LSoundSinkPtr probeSink(probe);
    LSoundSinkPtr chain;
    if (!probe->bError)
        chain = LSinkConvertChannels::OpenSink(2, LSinkConvertRateBase::OpenSink(44100, probeSink));
    const bool bTaken = chain && !chain->bError;
    if (!bTaken)
        return 0;
    FUZZ_CHECK(chain->nSampleRate == 44100 && chain->nChannels == 2);
    FUZZ_CHECK(probe->nChannels == 1 || probe->nChannels == 2);
    FUZZ_CHECK(probe->nSampleRate > 0 && 44100.0 / probe->nSampleRate < 16.5);

    // What the rip writes: 44100 Hz stereo, a block at a time.
    // No more than some 65536 frames out, however far the rate goes up.
    const int most = static_cast<int>(std::clamp<int64_t>(int64_t(65536) * 44100 / probe->nSampleRate, 1,
                                                          2 * BRIDGE_BLOCK_FRAMES));
    const int frames = input.U16() % (most + 1);
    const std::vector<int32_t> samples = MakeFrames(input, 2, frames);
    for (int at = 0; at < frames; at += BRIDGE_BLOCK_FRAMES)
        chain->Write(samples.data() + static_cast<std::size_t>(at) * 2, std::min(BRIDGE_BLOCK_FRAMES, frames - at));
    chain = nullptr;
    const bool bConverted = probe->nSampleRate != 44100;
    for (int32_t v : probe->samples)
    {
        if (bConverted)
            FUZZ_CHECK(v >= SAMPLE_FLOOR_16BIT && v <= SAMPLE_PEAK_16BIT);
        CheckNarrowing(v);
    }
    const int16_t sixteen = static_cast<int16_t>(input.U16());
    FUZZ_CHECK(SampleTo16(SampleFrom16(sixteen)) == sixteen);
    const uint8_t eight = input.Byte();
    FUZZ_CHECK(SampleTo8(SampleFrom8(eight)) == eight);
    FUZZ_CHECK(SampleTo8(SampleFrom16(sixteen)) == std::clamp((sixteen + 128) >> 8, -128, 127) + 128);

    // The PCM file the record asks for: 8-bit samples up to 8 bits, 16-bit
    // up to 16, none beyond; its header before and after the data.
    if (record.tag != 1 || record.bits > 16)
        return 0;
    const uint16_t bytesPerSample = record.bits <= 8 ? 1 : 2;
    const uint16_t channels = probe->nChannels;
    const uint32_t rate = static_cast<uint32_t>(probe->nSampleRate);
    CheckHeader(channels, rate, bytesPerSample, WAVE_SIZE_UNKNOWN);
    CheckHeader(channels, rate, bytesPerSample, static_cast<uint32_t>(probe->nWritten) * channels * bytesPerSample);
    // Any data size a RIFF size can count.
    const uint32_t dataSize = input.U32();
    if (dataSize <= WAVE_SIZE_UNKNOWN - (WAVE_HEADER_SIZE - 8))
        CheckHeader(channels, rate, bytesPerSample, dataSize);
    return 0;
}
