// The FLAC sink: 16-bit samples at the sink's rate and channels, encoded in
// the program by libFLAC into a file the program opened itself (libFLAC's own
// opening takes UTF-8 names, not the program's code page). The file must be
// seekable: finishing writes STREAMINFO again with the length and the MD5.
#pragma once

#include <windows.h>

#include <FLAC/stream_encoder.h>

#include "sound/LSoundStream.h"
#include "soundfile/FlacEncoding.h"
#include "soundfile/WaveFileWriter.h"

constexpr unsigned FLAC_PADDING_BYTES = 8192;
constexpr int FLAC_MAX_SEEK_POINTS = 1024;

class LSNKFlacFile : public LSoundSinkBase
{
public:
    // `tags` are in UTF-8; `level` is 0 to 8; `frames` is
    // how many the sink will be written (at `rate`), for the seek points and
    // the first STREAMINFO; 0 when not known. bError when the file cannot be
    // created or the encoder cannot start (the file is then removed again).
    LSNKFlacFile(const char* path, int32_t rate, uint8_t channels, int level, const FlacTrackTags& tags,
                 int64_t frames);
    // Finishes the file if that has not been done.
    ~LSNKFlacFile() override;
    // bError when the encoder or a write to the file fails (a full disk).
    void Write(const int32_t* frames, int count) override;
    // Encoded audio cannot be taken back: a seek before the end fails the file.
    void Seek(int frame) override;
    // Encodes what is left, rewrites STREAMINFO and the seek table, and closes
    // the file; bError unless every step succeeded.
    void Finish() override;

private:
    static FLAC__StreamEncoderWriteStatus WriteBytes(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                                     size_t bytes, uint32_t, uint32_t, void* self);
    static FLAC__StreamEncoderSeekStatus SeekTo(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* self);
    static FLAC__StreamEncoderTellStatus Tell(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* self);
    bool MakeMetadata(const FlacTrackTags& tags, int64_t frames);
    // An encoder that cannot start: the file just created goes again.
    void Abandon(const char* path);

    WaveFileWriter file;
    FLAC__StreamEncoder* pEncoder = nullptr;
    FLAC__StreamMetadata* metadata[3] = {};
    int nMetadata = 0;
    FLAC__int32* pBuffer = nullptr;
    bool bFinished = false;
};

// A text of the program's code page as UTF-8, cut whole characters at the end.
void AnsiToUtf8(const char* text, char (&out)[FLAC_COMMENT_SIZE]);
