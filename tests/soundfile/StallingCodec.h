// A codec of the tests' own, added to this process's audio compression
// manager for as long as the object lives: it copies 16-bit PCM unchanged
// into its format (tag WAVE_FORMAT_DEVELOPMENT) until it has taken a set
// number of bytes, then takes nothing more, as a codec that hangs would.
// The driver structures are declared here as the driver interface documents
// them; the toolchain has no header for the driver side.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstring>

namespace stalling_codec {

constexpr UINT ACMDM_DRIVER_DETAILS = ACMDM_BASE + 10;
constexpr UINT ACMDM_FORMATTAG_DETAILS = ACMDM_BASE + 25;
constexpr UINT ACMDM_FORMAT_SUGGEST = ACMDM_BASE + 27;
constexpr UINT ACMDM_STREAM_OPEN = ACMDM_BASE + 76;
constexpr UINT ACMDM_STREAM_CLOSE = ACMDM_BASE + 77;
constexpr UINT ACMDM_STREAM_SIZE = ACMDM_BASE + 78;
constexpr UINT ACMDM_STREAM_CONVERT = ACMDM_BASE + 79;

struct StreamInstance  // ACMDRVSTREAMINSTANCE
{
    DWORD cbStruct;
    LPWAVEFORMATEX pwfxSrc;
    LPWAVEFORMATEX pwfxDst;
    LPWAVEFILTER pwfltr;
    DWORD_PTR dwCallback;
    DWORD_PTR dwInstance;
    DWORD fdwOpen;
    DWORD fdwDriver;
    DWORD_PTR dwDriver;
    HACMSTREAM has;
};

struct StreamHeader  // ACMDRVSTREAMHEADER, as far as a driver reads it
{
    DWORD cbStruct;
    DWORD fdwStatus;
    DWORD_PTR dwUser;
    LPBYTE pbSrc;
    DWORD cbSrcLength;
    DWORD cbSrcLengthUsed;
    DWORD_PTR dwSrcUser;
    LPBYTE pbDst;
    DWORD cbDstLength;
    DWORD cbDstLengthUsed;
};

struct FormatSuggest  // ACMDRVFORMATSUGGEST
{
    DWORD cbStruct;
    DWORD fdwSuggest;
    LPWAVEFORMATEX pwfxSrc;
    DWORD cbwfxSrc;
    LPWAVEFORMATEX pwfxDst;
    DWORD cbwfxDst;
};

struct StreamSize  // ACMDRVSTREAMSIZE
{
    DWORD cbStruct;
    DWORD fdwSize;
    DWORD cbSrcLength;
    DWORD cbDstLength;
};

inline DWORD acceptBytes = 0;

inline bool IsPcm16(const WAVEFORMATEX& f) { return f.wFormatTag == WAVE_FORMAT_PCM && f.wBitsPerSample == 16; }

inline LRESULT FormatTagDetails(ACMFORMATTAGDETAILSW& details, DWORD query)
{
    DWORD index = details.dwFormatTagIndex;
    if (query == ACM_FORMATTAGDETAILSF_FORMATTAG || query == ACM_FORMATTAGDETAILSF_LARGESTSIZE)
    {
        if (details.dwFormatTag == WAVE_FORMAT_PCM)
            index = 0;
        else if (details.dwFormatTag == WAVE_FORMAT_DEVELOPMENT || details.dwFormatTag == WAVE_FORMAT_UNKNOWN)
            index = 1;
        else
            return ACMERR_NOTPOSSIBLE;
    }
    else if (query != ACM_FORMATTAGDETAILSF_INDEX || index > 1)
        return ACMERR_NOTPOSSIBLE;
    details.dwFormatTagIndex = index;
    details.dwFormatTag = index == 0 ? WAVE_FORMAT_PCM : WAVE_FORMAT_DEVELOPMENT;
    details.cbFormatSize = sizeof(WAVEFORMATEX);
    details.fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
    details.cStandardFormats = 0;
    lstrcpyW(details.szFormatTag, index == 0 ? L"PCM" : L"Stalling");
    return MMSYSERR_NOERROR;
}

// Its one format for 16-bit PCM: the same channels and rate, 16 bits; the
// program takes only records that agree with this.
inline LRESULT FormatSuggestion(FormatSuggest& suggest)
{
    const WAVEFORMATEX& from = *suggest.pwfxSrc;
    WAVEFORMATEX& to = *suggest.pwfxDst;
    if (!IsPcm16(from) || suggest.cbwfxDst < sizeof(WAVEFORMATEX)
        || ((suggest.fdwSuggest & ACM_FORMATSUGGESTF_WFORMATTAG) && to.wFormatTag != WAVE_FORMAT_DEVELOPMENT))
        return ACMERR_NOTPOSSIBLE;
    to = {WAVE_FORMAT_DEVELOPMENT, from.nChannels, from.nSamplesPerSec, from.nAvgBytesPerSec, from.nBlockAlign, 16, 0};
    return MMSYSERR_NOERROR;
}

inline LRESULT StreamOpen(StreamInstance& stream)
{
    const WAVEFORMATEX& from = *stream.pwfxSrc;
    const WAVEFORMATEX& to = *stream.pwfxDst;
    if (!IsPcm16(from) || to.wFormatTag != WAVE_FORMAT_DEVELOPMENT || to.nChannels != from.nChannels
        || to.nSamplesPerSec != from.nSamplesPerSec)
        return ACMERR_NOTPOSSIBLE;
    stream.dwDriver = acceptBytes;  // what this stream still takes
    return MMSYSERR_NOERROR;
}

inline LRESULT StreamConvert(StreamInstance& stream, StreamHeader& header)
{
    DWORD n = header.cbSrcLength < header.cbDstLength ? header.cbSrcLength : header.cbDstLength;
    if (n > stream.dwDriver)
        n = static_cast<DWORD>(stream.dwDriver);
    n -= n % stream.pwfxSrc->nBlockAlign;
    memcpy(header.pbDst, header.pbSrc, n);
    stream.dwDriver -= n;
    header.cbSrcLengthUsed = n;
    header.cbDstLengthUsed = n;
    return MMSYSERR_NOERROR;
}

inline LRESULT CALLBACK DriverProc(DWORD_PTR id, HDRVR driver, UINT message, LPARAM lParam1, LPARAM lParam2)
{
    switch (message)
    {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_OPEN:
    case DRV_CLOSE:
    case DRV_ENABLE:
    case DRV_DISABLE:
        return 1;
    case ACMDM_DRIVER_DETAILS:
    {
        ACMDRIVERDETAILSW& details = *reinterpret_cast<ACMDRIVERDETAILSW*>(lParam1);
        ACMDRIVERDETAILSW filled = {};
        filled.cbStruct = details.cbStruct < sizeof(filled) ? details.cbStruct : sizeof(filled);
        filled.fccType = ACMDRIVERDETAILS_FCCTYPE_AUDIOCODEC;
        filled.fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
        filled.cFormatTags = 2;
        lstrcpyW(filled.szShortName, L"Stalling");
        lstrcpyW(filled.szLongName, L"Stalling test codec");
        memcpy(&details, &filled, filled.cbStruct);
        return MMSYSERR_NOERROR;
    }
    case ACMDM_FORMATTAG_DETAILS:
        return FormatTagDetails(*reinterpret_cast<ACMFORMATTAGDETAILSW*>(lParam1), static_cast<DWORD>(lParam2));
    case ACMDM_FORMAT_SUGGEST:
        return FormatSuggestion(*reinterpret_cast<FormatSuggest*>(lParam1));
    case ACMDM_STREAM_OPEN:
        return StreamOpen(*reinterpret_cast<StreamInstance*>(lParam1));
    case ACMDM_STREAM_CLOSE:
        return MMSYSERR_NOERROR;
    case ACMDM_STREAM_SIZE:
    {
        StreamSize& size = *reinterpret_cast<StreamSize*>(lParam2);
        if ((size.fdwSize & ACM_STREAMSIZEF_QUERYMASK) == ACM_STREAMSIZEF_SOURCE)
            size.cbDstLength = size.cbSrcLength;
        else
            size.cbSrcLength = size.cbDstLength;
        return MMSYSERR_NOERROR;
    }
    case ACMDM_STREAM_CONVERT:
        return StreamConvert(*reinterpret_cast<StreamInstance*>(lParam1), *reinterpret_cast<StreamHeader*>(lParam2));
    default:
        if (message >= ACMDM_BASE)
            return MMSYSERR_NOTSUPPORTED;
        return DefDriverProc(id, driver, message, lParam1, lParam2);
    }
}

} // namespace stalling_codec

class StallingCodec
{
public:
    // Each stream takes `acceptBytes` bytes of PCM, then nothing.
    explicit StallingCodec(DWORD acceptBytes)
    {
        stalling_codec::acceptBytes = acceptBytes;
        if (acmDriverAddA(&id, GetModuleHandleA(nullptr), reinterpret_cast<LPARAM>(&stalling_codec::DriverProc), 0,
                          ACM_DRIVERADDF_FUNCTION | ACM_DRIVERADDF_LOCAL) != MMSYSERR_NOERROR)
            id = nullptr;
    }
    ~StallingCodec()
    {
        if (id)
            acmDriverRemove(id, 0);
    }
    StallingCodec(const StallingCodec&) = delete;
    StallingCodec& operator=(const StallingCodec&) = delete;

    // The record of its format for 16-bit PCM of `channels` at `rate`.
    static WAVEFORMATEX Record(WORD channels, DWORD rate)
    {
        return {WAVE_FORMAT_DEVELOPMENT, channels, rate, rate * channels * 2, static_cast<WORD>(channels * 2), 16, 0};
    }

    HACMDRIVERID id = nullptr;
};
