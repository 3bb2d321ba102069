#include "soundfile/FlacEncoding.h"

#include "files/TextBuffer.h"

int FlacLevelFromSetting(int stored)
{
    return stored < 0 ? 0 : stored > 8 ? 8 : stored;
}

int PlanFlacSeekPoints(int64_t totalFrames, int32_t rate, uint64_t* points, int maxPoints)
{
    if (rate <= 0)
        return 0;
    const int64_t spacing = static_cast<int64_t>(rate) * FLAC_SEEK_SPACING_SECONDS;
    const int64_t last = totalFrames - rate / 10;
    int n = 0;
    for (int64_t sample = 0; sample < last && n < maxPoints; sample += spacing)
        points[n++] = static_cast<uint64_t>(sample);
    return n;
}

bool Utf16ToUtf8(const uint16_t* text, std::size_t length, char* out, std::size_t outSize)
{
    if (outSize == 0)
        return false;
    std::size_t used = 0;
    for (std::size_t i = 0; i < length; ++i)
    {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        unsigned char bytes[4];
        std::size_t n;
        if (c < 0x80)
        {
            bytes[0] = static_cast<unsigned char>(c);
            n = 1;
        }
        else if (c < 0x800)
        {
            bytes[0] = static_cast<unsigned char>(0xC0 | c >> 6);
            bytes[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
            n = 2;
        }
        else if (c < 0x10000)
        {
            bytes[0] = static_cast<unsigned char>(0xE0 | c >> 12);
            bytes[1] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
            bytes[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
            n = 3;
        }
        else
        {
            bytes[0] = static_cast<unsigned char>(0xF0 | c >> 18);
            bytes[1] = static_cast<unsigned char>(0x80 | (c >> 12 & 0x3F));
            bytes[2] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
            bytes[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
            n = 4;
        }
        if (used + n >= outSize)
        {
            out[used] = '\0';
            return false;
        }
        for (std::size_t k = 0; k < n; ++k)
            out[used++] = static_cast<char>(bytes[k]);
    }
    out[used] = '\0';
    return true;
}

namespace {

void AddText(char (&comments)[FLAC_MAX_COMMENTS][FLAC_COMMENT_SIZE], int& n, const char* name, const char* value)
{
    if (value && value[0])
        FormatText(comments[n++], FLAC_COMMENT_SIZE, "%s=%s", name, value);
}

void AddNumber(char (&comments)[FLAC_MAX_COMMENTS][FLAC_COMMENT_SIZE], int& n, const char* name, int value)
{
    if (value > 0)
        FormatText(comments[n++], FLAC_COMMENT_SIZE, "%s=%d", name, value);
}

} // namespace

int MakeFlacComments(const FlacTrackTags& tags, char (&comments)[FLAC_MAX_COMMENTS][FLAC_COMMENT_SIZE])
{
    int n = 0;
    AddText(comments, n, "TITLE", tags.szTitle);
    AddText(comments, n, "ARTIST", tags.szArtist);
    AddText(comments, n, "ALBUM", tags.szAlbum);
    AddNumber(comments, n, "TRACKNUMBER", tags.nTrack);
    AddNumber(comments, n, "TRACKTOTAL", tags.nTracks);
    AddText(comments, n, "DATE", tags.szDate);
    AddText(comments, n, "GENRE", tags.szGenre);
    AddText(comments, n, "ISRC", tags.szIsrc);
    AddText(comments, n, "COMMENT", FLAC_COMMENT_PROGRAM);
    return n;
}
