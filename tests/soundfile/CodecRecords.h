// Records of the formats the installed codecs list for the format chooser.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstring>

#include "soundfile/WaveFormatFile.h"

inline BOOL CALLBACK KeepFirstFormat(HACMDRIVERID, LPACMFORMATDETAILSA details, DWORD_PTR kept, DWORD)
{
    memcpy(reinterpret_cast<void*>(kept), details->pwfx, sizeof(WAVEFORMATEX) + details->pwfx->cbSize);
    return FALSE;
}

// The first format a codec lists for `tag` with `channels` at `rate`, as the
// chooser shows it, in a zeroed record; tag 0 when none is listed.
inline LWaveFormatRecord ListedRecord(WORD tag, WORD channels, DWORD rate)
{
    LWaveFormatRecord record = {};
    record.Format.wFormatTag = tag;
    record.Format.nChannels = channels;
    record.Format.nSamplesPerSec = rate;
    ACMFORMATDETAILSA details = {};
    details.cbStruct = sizeof(details);
    details.dwFormatTag = tag;
    details.pwfx = &record.Format;
    details.cbwfx = sizeof(record.bytes);
    LWaveFormatRecord found = {};
    acmFormatEnumA(nullptr, &details, KeepFirstFormat, reinterpret_cast<DWORD_PTR>(&found),
                   ACM_FORMATENUMF_WFORMATTAG | ACM_FORMATENUMF_NCHANNELS | ACM_FORMATENUMF_NSAMPLESPERSEC);
    return found;
}

// The crafted records a codec's query accepts though their blocks are not
// the codec's: IMA ADPCM stereo at 44100 Hz with a block alignment of 1 and
// 2041 samples a block, for which the codec reports 5 bytes of destination
// for 32,768 of source; and mu-law stereo with a block alignment of 1.
inline LWaveFormatRecord CraftedImaAdpcmRecord()
{
    LWaveFormatRecord record = ListedRecord(WAVE_FORMAT_IMA_ADPCM, 2, 44100);
    record.Format.nBlockAlign = 1;
    record.Format.cbSize = 2;
    record.bytes[sizeof(WAVEFORMATEX)] = 2041 & 0xFF;
    record.bytes[sizeof(WAVEFORMATEX) + 1] = 2041 >> 8;
    return record;
}

inline LWaveFormatRecord CraftedMuLawRecord()
{
    LWaveFormatRecord record = ListedRecord(WAVE_FORMAT_MULAW, 2, 8000);
    record.Format.nBlockAlign = 1;
    return record;
}
