// Saves a codec format as the program's wave format, as choosing it in the
// settings dialog's format chooser does: the first format the installed
// codecs list for the tag with those channels at that rate, tested and saved
// whole to "WavCodec.wff" by the program's own code.
//   corvane-wavformat TAG CHANNELS RATE
//     TAG   the format tag, decimal or 0x hexadecimal (0x11 is IMA ADPCM)
//   corvane-wavformat --default
//     removes "WavCodec.wff" (the user's, and the install folder's): the
//     program writes its default, CD audio
// Exit code 0 when the format was saved (or removed), 1 when no codec lists
// or writes it or the file cannot be written (or removed), 2 for arguments it
// does not understand.
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "files/LFile.h"
#include "settings/ProgramFolders.h"
#include "soundfile/WaveFormatFile.h"

namespace {

// A format as the chooser lists it: its record and its description.
struct ListedFormat
{
    LWaveFormatRecord record;
    char szFormat[ACMFORMATDETAILS_FORMAT_CHARS];
};

BOOL CALLBACK KeepFirstFormat(HACMDRIVERID, LPACMFORMATDETAILSA details, DWORD_PTR kept, DWORD)
{
    ListedFormat& listed = *reinterpret_cast<ListedFormat*>(kept);
    memcpy(listed.record.bytes, details->pwfx, sizeof(WAVEFORMATEX) + details->pwfx->cbSize);
    CopyText(listed.szFormat, details->szFormat);
    return FALSE;
}

bool ParseNumber(const char* text, unsigned long max, unsigned long& value)
{
    char* end = nullptr;
    value = strtoul(text, &end, 0);
    return *text && !*end && value >= 1 && value <= max;
}

int Usage()
{
    fprintf(stderr, "usage: corvane-wavformat TAG CHANNELS RATE | --default\n");
    return 2;
}

void GetFormatFilePath(char (&path)[TEXT_BUFFER_SIZE]) { WaveFormatFilePath(path); }

int RemoveFormatFile()
{
    // The user's, and the one an earlier install left, which is read
    // while the user has none. A folder that is not there holds neither.
    char installed[TEXT_BUFFER_SIZE];
    InstalledWaveFormatFilePath(installed);
    char path[TEXT_BUFFER_SIZE];
    GetFormatFilePath(path);
    for (const char* file : {static_cast<const char*>(installed), static_cast<const char*>(path)})
        if (file[0] && !DeleteFileA(file) && GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND)
        {
            fprintf(stderr, "corvane-wavformat: \"%s\" could not be removed\n", file);
            return 1;
        }
    printf("corvane-wavformat: no \"%s\": the program writes CD audio\n", path);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && strcmp(argv[1], "--default") == 0)
        return RemoveFormatFile();
    unsigned long tag = 0, channels = 0, rate = 0;
    if (argc != 4 || !ParseNumber(argv[1], 0xFFFF, tag) || !ParseNumber(argv[2], 2, channels)
        || !ParseNumber(argv[3], 192000, rate))
        return Usage();

    ListedFormat listed = {};
    LWaveFormatRecord wanted = {};
    wanted.Format.wFormatTag = static_cast<WORD>(tag);
    wanted.Format.nChannels = static_cast<WORD>(channels);
    wanted.Format.nSamplesPerSec = rate;
    ACMFORMATDETAILSA details = {};
    details.cbStruct = sizeof(details);
    details.dwFormatTag = tag;
    details.pwfx = &wanted.Format;
    details.cbwfx = sizeof(wanted.bytes);
    acmFormatEnumA(nullptr, &details, KeepFirstFormat, reinterpret_cast<DWORD_PTR>(&listed),
                   ACM_FORMATENUMF_WFORMATTAG | ACM_FORMATENUMF_NCHANNELS | ACM_FORMATENUMF_NSAMPLESPERSEC);
    if (listed.record.Format.wFormatTag != tag)
    {
        fprintf(stderr, "corvane-wavformat: no codec lists format tag 0x%lx with %lu channel(s) at %lu Hz\n", tag,
                channels, rate);
        return 1;
    }
    if (!LWaveFileFormat::TestSupportedRecord(listed.record))
    {
        fprintf(stderr, "corvane-wavformat: no codec writes format tag 0x%lx (%s) from PCM\n", tag, listed.szFormat);
        return 1;
    }
    char path[TEXT_BUFFER_SIZE];
    GetFormatFilePath(path);
    if (!SaveWaveFormat(listed.record))
    {
        fprintf(stderr, "corvane-wavformat: \"%s\" could not be written\n", path);
        return 1;
    }
    ACMFORMATTAGDETAILSA tagDetails = {};
    tagDetails.cbStruct = sizeof(tagDetails);
    tagDetails.dwFormatTag = tag;
    if (acmFormatTagDetailsA(nullptr, &tagDetails, ACM_FORMATTAGDETAILSF_FORMATTAG) != MMSYSERR_NOERROR)
        CopyText(tagDetails.szFormatTag, "?");
    printf("corvane-wavformat: saved %s, %s (%u bytes a block) to \"%s\"\n", tagDetails.szFormatTag, listed.szFormat,
           listed.record.Format.nBlockAlign, path);
    return 0;
}
