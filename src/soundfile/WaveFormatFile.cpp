#include "soundfile/WaveFormatFile.h"

#include <cstring>

#include <mmreg.h>
#include <msacm.h>

#include "files/LFile.h"
#include "files/TextBuffer.h"
#include "settings/ProgramFolders.h"
#include "soundfile/CodecRecordCheck.h"
#include "soundfile/WaveHeader.h"

static_assert(sizeof(WAVEFORMATEX) == WAVE_RECORD_BASE_SIZE, "the record's fixed fields are the platform's header");

namespace {

// Whether a stream from 16-bit PCM into the record can be opened, first in
// real time, then allowing a slower conversion; nothing is opened.
bool CanConvertFromPcm(const LWaveFormatRecord& record)
{
    WAVEFORMATEX pcm;
    uint8_t pcmRecord[WAVE_RECORD_BASE_SIZE];
    MakePcmRecord(pcmRecord, record.Format.nChannels, record.Format.nSamplesPerSec, 2);
    memcpy(&pcm, pcmRecord, sizeof(pcm));
    WAVEFORMATEX* target = const_cast<WAVEFORMATEX*>(&record.Format);
    return acmStreamOpen(nullptr, nullptr, &pcm, target, nullptr, 0, 0, ACM_STREAMOPENF_QUERY) == MMSYSERR_NOERROR
           || acmStreamOpen(nullptr, nullptr, &pcm, target, nullptr, 0, 0,
                            ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_NONREALTIME) == MMSYSERR_NOERROR;
}

// Whether the record's block alignment and byte rate are those the codec
// suggests for its tag, channels and rate; PCM records, which the program
// writes itself, need no codec.
bool AgreesWithCodec(const LWaveFormatRecord& record)
{
    if (record.Format.wFormatTag == WAVE_FORMAT_PCM)
        return true;
    WAVEFORMATEX pcm;
    uint8_t pcmRecord[WAVE_RECORD_BASE_SIZE];
    MakePcmRecord(pcmRecord, record.Format.nChannels, record.Format.nSamplesPerSec, 2);
    memcpy(&pcm, pcmRecord, sizeof(pcm));
    LWaveFormatRecord suggested = {};
    suggested.Format.wFormatTag = record.Format.wFormatTag;
    suggested.Format.nChannels = record.Format.nChannels;
    suggested.Format.nSamplesPerSec = record.Format.nSamplesPerSec;
    if (acmFormatSuggest(nullptr, &pcm, &suggested.Format, sizeof(suggested.bytes),
                         ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_NCHANNELS
                             | ACM_FORMATSUGGESTF_NSAMPLESPERSEC)
        != MMSYSERR_NOERROR)
        return false;
    return RecordAgreesWithSuggestion(ReadWaveRecord(record.bytes), ReadWaveRecord(suggested.bytes));
}

} // namespace

bool IsWholeRecord(const WAVEFORMATEX& format)
{
    return WAVE_RECORD_BASE_SIZE + format.cbSize <= WAVE_FORMAT_RECORD_SIZE;
}

void WaveFormatFilePath(char (&path)[TEXT_BUFFER_SIZE])
{
    if (GetUserDataFolder(path))
        LFile::FilePathCat(path, "WavCodec.wff");
}

void InstalledWaveFormatFilePath(char (&path)[TEXT_BUFFER_SIZE])
{
    GetInstallProgramFilesPath(path);
    LFile::FilePathCat(path, "WavCodec.wff");
}

void LoadWaveFormat(LWaveFormatRecord& record)
{
    ZeroMemory(&record, sizeof(record));
    record.Format.wFormatTag = WAVE_FORMAT_PCM;
    record.Format.nChannels = 2;
    record.Format.nSamplesPerSec = 44100;
    record.Format.nAvgBytesPerSec = 176400;
    record.Format.nBlockAlign = 4;
    record.Format.wBitsPerSample = 16;
    record.Format.cbSize = 0;

    char path[TEXT_BUFFER_SIZE];
    WaveFormatFilePath(path);
    HANDLE file = path[0] ? CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                          : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE)
    {
        // No choice of the user's yet: the one an earlier install kept, so
        // that none is lost.
        InstalledWaveFormatFilePath(path);
        file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD read = 0;
    ReadFile(file, record.bytes, sizeof(record.bytes), &read, nullptr);
    CloseHandle(file);
}

bool SaveWaveFormat(const LWaveFormatRecord& record)
{
    char path[TEXT_BUFFER_SIZE];
    if (!CreateUserDataFolder(path))
        return false;
    LFile::FilePathCat(path, "WavCodec.wff");
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool bWritten =
        WriteFile(file, record.bytes, sizeof(record.bytes), &written, nullptr) && written == sizeof(record.bytes);
    return CloseHandle(file) && bWritten;
}

bool LWaveFileFormat::TestSupportedRecord(const LWaveFormatRecord& record)
{
    return IsWholeRecord(record.Format) && AgreesWithCodec(record) && CanConvertFromPcm(record);
}

bool LWaveFileFormat::IsInconsistentRecord(const LWaveFormatRecord& record)
{
    // The codec's answers come last: a PCM record agrees without one, and a
    // query of the compression manager costs a hundredth of a second a track.
    return IsWholeRecord(record.Format) && !AgreesWithCodec(record) && CanConvertFromPcm(record);
}

bool LWaveFileFormat::ChooseFormat(HWND owner, LWaveFormatRecord& record, int channels, const char* title)
{
    ACMFORMATCHOOSEA choose = {};
    choose.cbStruct = sizeof(choose);
    choose.fdwStyle = ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT;
    choose.hwndOwner = owner;
    choose.pwfx = &record.Format;
    choose.cbwfx = sizeof(record.bytes);
    choose.pszTitle = title;
    if (channels != 0)
    {
        record.Format.nChannels = static_cast<WORD>(channels);
        choose.fdwEnum = ACM_FORMATENUMF_NCHANNELS;
        choose.pwfxEnum = &record.Format;
    }
    for (;;)
    {
        if (acmFormatChooseA(&choose) != MMSYSERR_NOERROR)
            return false;
        if (TestSupportedRecord(record))
            return true;
        MessageBoxA(owner, "The requested format is not available because the required CODEC is not installed on this "
                           "computer.", "Format Not Available", MB_OK | MB_ICONERROR);
    }
}
