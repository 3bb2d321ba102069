#include "soundfile/CodecRecordCheck.h"

namespace {

uint16_t Get16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }
uint32_t Get32(const uint8_t* at) { return Get16(at) | static_cast<uint32_t>(Get16(at + 2)) << 16; }

constexpr uint32_t DESTINATION_SPARE_BYTES = 4096;

} // namespace

WaveRecordFields ReadWaveRecord(const uint8_t* record)
{
    return {Get16(record), Get16(record + 2), Get32(record + 4), Get32(record + 8),
            Get16(record + 12), Get16(record + 14), Get16(record + 16)};
}

bool RecordAgreesWithSuggestion(const WaveRecordFields& record, const WaveRecordFields& suggested)
{
    return record.nTag == suggested.nTag && record.nChannels == suggested.nChannels
           && record.nRate == suggested.nRate && record.nChannels != 0 && record.nRate != 0
           && record.nBlockAlign != 0 && record.nByteRate != 0 && record.nBlockAlign == suggested.nBlockAlign
           && record.nByteRate == suggested.nByteRate;
}

uint32_t CodecDestinationSize(uint32_t reported)
{
    if (reported == 0 || reported > CODEC_DESTINATION_MAX)
        return 0;
    return reported + reported / 4 + DESTINATION_SPARE_BYTES;
}
