// The wave format the rip writes: a record that starts with a WAVEFORMATEX,
// PCM 44100 Hz 16-bit stereo unless "WavCodec.wff" in the program folder
// holds a saved choice.
#pragma once

#include <windows.h>
#include <mmsystem.h>

constexpr int WAVE_FORMAT_RECORD_SIZE = 1024;

union LWaveFormatRecord
{
    WAVEFORMATEX Format;
    BYTE bytes[WAVE_FORMAT_RECORD_SIZE];
};

// The default record, then as much of "WavCodec.wff" as there is over it.
void LoadWaveFormat(LWaveFormatRecord& record);
