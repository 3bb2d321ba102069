// What a FLAC file of a track holds besides its audio: the compression level
// from its setting, the seek points and the Vorbis comments (UTF-8 texts, as
// the format demands; the program's own texts are in its code page, and the
// Windows side turns them into UTF-16 first).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int FLAC_LEVEL_DEFAULT = 5;
// "FlacLevel" as stored: 0 (fastest) to 8 (smallest); beyond that the nearest end.
int FlacLevelFromSetting(int stored);

// Seek points every 10 s of audio, from the first sample, kept clear of the
// end by a tenth of a second so that none lies past an estimate a little high.
constexpr int FLAC_SEEK_SPACING_SECONDS = 10;
// The sample numbers of the points for `totalFrames` at `rate`, at most
// `maxPoints` of them; returns how many.
int PlanFlacSeekPoints(int64_t totalFrames, int32_t rate, uint64_t* points, int maxPoints);

// UTF-16 (`length` units) as UTF-8 into `out`, terminated; a lone surrogate
// becomes U+FFFD. A character that does not fit whole is left out with all
// after it; false then.
bool Utf16ToUtf8(const uint16_t* text, std::size_t length, char* out, std::size_t outSize);

// The tags of one track, in UTF-8; null or empty texts and a number of 0 are
// left out.
struct FlacTrackTags
{
    const char* szTitle;
    const char* szArtist;
    const char* szAlbum;
    int nTrack;
    int nTracks;
    const char* szDate;
    const char* szGenre;
    const char* szIsrc;
};

// A name and a 259-character text in its code page may take three bytes a
// character in UTF-8.
constexpr std::size_t FLAC_COMMENT_SIZE = 1024;
constexpr int FLAC_MAX_COMMENTS = 9;
// What names the program in every file it writes.
constexpr const char* FLAC_COMMENT_PROGRAM = "Corvane 1.32";

// The comments "NAME=value" in the order TITLE, ARTIST, ALBUM, TRACKNUMBER,
// TRACKTOTAL, DATE, GENRE, ISRC, COMMENT; returns how many.
int MakeFlacComments(const FlacTrackTags& tags, char (&comments)[FLAC_MAX_COMMENTS][FLAC_COMMENT_SIZE]);
