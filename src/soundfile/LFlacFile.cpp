#include "soundfile/LFlacFile.h"

#include <FLAC/metadata.h>

#include <cstring>

#include "files/TextBuffer.h"
#include "sound/SampleFormat.h"

void AnsiToUtf8(const char* text, char (&out)[FLAC_COMMENT_SIZE])
{
    out[0] = '\0';
    if (!text || !text[0])
        return;
    // The program's texts fit a text buffer; so do their UTF-16 forms.
    WCHAR wide[TEXT_BUFFER_SIZE];
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, TEXT_BUFFER_SIZE);
    if (length <= 0)
        return;
    static_assert(sizeof(WCHAR) == sizeof(uint16_t), "UTF-16 units");
    Utf16ToUtf8(reinterpret_cast<const uint16_t*>(wide), static_cast<size_t>(length - 1), out, sizeof(out));
}

LSNKFlacFile::LSNKFlacFile(const char* path, int32_t rate, uint8_t channels, int level, const FlacTrackTags& tags,
                           int64_t frames)
    : LSoundSinkBase(rate, channels),
      pBuffer(new FLAC__int32[static_cast<size_t>(BRIDGE_BLOCK_FRAMES) * nChannels])
{
    // Created anew: an older file of the name is cut, as STREAMINFO must be first.
    if (bError || !file.Open(path, FILE_SHARE_READ, CREATE_ALWAYS))
    {
        bError = 1;
        return;
    }
    pEncoder = FLAC__stream_encoder_new();
    if (!pEncoder || !MakeMetadata(tags, frames))
    {
        Abandon(path);
        return;
    }
    // libFLAC computes the audio's MD5 for STREAMINFO unless told otherwise.
    bool bSet = FLAC__stream_encoder_set_channels(pEncoder, nChannels)
                && FLAC__stream_encoder_set_bits_per_sample(pEncoder, 16)
                && FLAC__stream_encoder_set_sample_rate(pEncoder, static_cast<uint32_t>(nSampleRate))
                && FLAC__stream_encoder_set_compression_level(pEncoder, static_cast<uint32_t>(FlacLevelFromSetting(level)))
                && FLAC__stream_encoder_set_metadata(pEncoder, metadata, static_cast<uint32_t>(nMetadata));
    if (frames > 0)
        bSet = bSet && FLAC__stream_encoder_set_total_samples_estimate(pEncoder, static_cast<FLAC__uint64>(frames));
    if (!bSet
        || FLAC__stream_encoder_init_stream(pEncoder, WriteBytes, SeekTo, Tell, nullptr, this)
               != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        Abandon(path);
}

void LSNKFlacFile::Abandon(const char* path)
{
    // The caller sees a sink that made no file, and so has none to remove.
    bError = 1;
    bFinished = true;
    file.Close();
    DeleteFileA(path);
}

bool LSNKFlacFile::MakeMetadata(const FlacTrackTags& tags, int64_t frames)
{
    // Comments, the seek table when there are points, then the padding, which
    // lets a tag editor grow the tags without rewriting the audio.
    FLAC__uint64 points[FLAC_MAX_SEEK_POINTS];
    const int nPoints = PlanFlacSeekPoints(frames, nSampleRate, points, FLAC_MAX_SEEK_POINTS);
    metadata[nMetadata++] = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (nPoints > 0)
        metadata[nMetadata++] = FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE);
    metadata[nMetadata++] = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING);
    for (int i = 0; i < nMetadata; ++i)
        if (!metadata[i])
            return false;
    metadata[nMetadata - 1]->length = FLAC_PADDING_BYTES;

    char comments[FLAC_MAX_COMMENTS][FLAC_COMMENT_SIZE];
    const int nComments = MakeFlacComments(tags, comments);
    for (int i = 0; i < nComments; ++i)
    {
        FLAC__StreamMetadata_VorbisComment_Entry entry;
        entry.entry = reinterpret_cast<FLAC__byte*>(comments[i]);
        entry.length = static_cast<FLAC__uint32>(strlen(comments[i]));
        if (!FLAC__metadata_object_vorbiscomment_append_comment(metadata[0], entry, true))
            return false;
    }
    return nPoints == 0
           || (FLAC__metadata_object_seektable_template_append_points(metadata[1], points,
                                                                      static_cast<uint32_t>(nPoints))
               && FLAC__metadata_object_seektable_template_sort(metadata[1], true));
}

LSNKFlacFile::~LSNKFlacFile()
{
    Finish();
    if (pEncoder)
        FLAC__stream_encoder_delete(pEncoder);
    for (FLAC__StreamMetadata* block : metadata)
        if (block)
            FLAC__metadata_object_delete(block);
    delete[] pBuffer;
}

void LSNKFlacFile::Write(const int32_t* frames, int count)
{
    nWritten += count;
    if (bError)
        return;
    // The buffer holds one bridge block: a longer write goes in blocks.
    for (int done = 0; done < count && !bError; done += BRIDGE_BLOCK_FRAMES)
    {
        const int block = count - done < BRIDGE_BLOCK_FRAMES ? count - done : BRIDGE_BLOCK_FRAMES;
        const int32_t* from = frames + static_cast<size_t>(done) * nChannels;
        for (int i = 0; i < block * nChannels; ++i)
            pBuffer[i] = SampleTo16(from[i]);
        if (!FLAC__stream_encoder_process_interleaved(pEncoder, pBuffer, static_cast<uint32_t>(block)))
            bError = 1;
    }
}

void LSNKFlacFile::Seek(int frame)
{
    if (frame < nWritten)
        bError = 1;
}

void LSNKFlacFile::Finish()
{
    if (bFinished)
        return;
    bFinished = true;
    // A file that failed is not finished: its encoder's state says why, and
    // the caller removes what it holds.
    if (pEncoder && !bError && !FLAC__stream_encoder_finish(pEncoder))
        bError = 1;
    if (!file.Close())
        bError = 1;
}

FLAC__StreamEncoderWriteStatus LSNKFlacFile::WriteBytes(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                                        size_t bytes, uint32_t, uint32_t, void* self)
{
    return static_cast<LSNKFlacFile*>(self)->file.Write(buffer, static_cast<DWORD>(bytes))
               ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
               : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
}

FLAC__StreamEncoderSeekStatus LSNKFlacFile::SeekTo(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* self)
{
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(static_cast<LSNKFlacFile*>(self)->file.Handle(), to, nullptr, FILE_BEGIN)
               ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
               : FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
}

FLAC__StreamEncoderTellStatus LSNKFlacFile::Tell(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* self)
{
    LARGE_INTEGER zero = {};
    LARGE_INTEGER at;
    if (!SetFilePointerEx(static_cast<LSNKFlacFile*>(self)->file.Handle(), zero, &at, FILE_CURRENT))
        return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    *offset = static_cast<FLAC__uint64>(at.QuadPart);
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}
