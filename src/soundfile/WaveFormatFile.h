// The wave format the rip writes: a record that starts with a WAVEFORMATEX,
// PCM 44100 Hz 16-bit stereo unless "WavCodec.wff" holds a saved choice: the
// user's own, in the program's folder of the user's application data, or,
// while the user has saved none, the one an earlier install left in the
// install folder (which users may not write).
#pragma once

#include <windows.h>
#include <mmsystem.h>

constexpr int WAVE_FORMAT_RECORD_SIZE = 1024;

union LWaveFormatRecord
{
    WAVEFORMATEX Format;
    BYTE bytes[WAVE_FORMAT_RECORD_SIZE];
};

// Whether the record's codec bytes (cbSize of them) lie within the 1024
// bytes; a record that claims more is refused before anything reads them.
bool IsWholeRecord(const WAVEFORMATEX& format);

// The default record, then as much of the user's "WavCodec.wff" as there is
// over it, or of the install folder's when the user has none.
void LoadWaveFormat(LWaveFormatRecord& record);

#include "files/TextBuffer.h"

// Where the user's "WavCodec.wff" is (GetUserDataFolder); empty when the
// system names no application-data folder.
void WaveFormatFilePath(char (&path)[TEXT_BUFFER_SIZE]);
// Where an installed "WavCodec.wff" is: in the install folder.
void InstalledWaveFormatFilePath(char (&path)[TEXT_BUFFER_SIZE]);

// Writes all of `record` to the user's "WavCodec.wff", making its folder when
// needed and replacing what was there; false when the file cannot be created
// or fully written. The install folder's file is left as it is.
bool SaveWaveFormat(const LWaveFormatRecord& record);

// The system's audio-compression format chooser.
class LWaveFileFormat
{
public:
    // Shows the chooser, owned by `owner`, starting from `record`, until the
    // user cancels or picks a format that a codec can write from PCM; true
    // (with `record` holding the choice) when one was picked. `channels` 0
    // places no restriction on the channel count.
    static bool ChooseFormat(HWND owner, LWaveFormatRecord& record, int channels, const char* title);
    // Whether the record is whole, agrees with what its codec suggests for
    // its tag, channels and rate (block alignment and byte rate), and a
    // codec converts PCM into it. A record read from a file passes this
    // before a rip uses it.
    static bool TestSupportedRecord(const LWaveFormatRecord& record);
    // Whether a codec would convert into the record, but the record's block
    // alignment or byte rate is not what the codec suggests for its tag,
    // channels and rate: a damaged or crafted record, not a missing codec.
    static bool IsInconsistentRecord(const LWaveFormatRecord& record);
};
