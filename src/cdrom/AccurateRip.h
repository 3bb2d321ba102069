// AccurateRip: a disc's ids and its entry's path in the database, the
// checksums of a track's audio as other people's drives read it, and the
// database's answer. Sector numbers are the drive's (0 = the first sector of
// the program area); a frame is one stereo sample pair, 588 to a sector, in
// 16-bit little-endian samples, left first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cdrom/CDCommandBlocks.h"

constexpr int ACCURATERIP_MAX_TRACKS = 99;
// The first and the last audio track of a disc leave out this many frames at
// the disc's edge (five sectors, less one frame at the start): drives with
// different read offsets cannot all read them.
constexpr uint32_t ACCURATERIP_EDGE_FRAMES = 5 * CD_FRAMES_PER_SECTOR - 1;
// The frame-450 checksum covers the 451st sector of a track.
constexpr uint32_t ACCURATERIP_FRAME450_START = 450 * CD_FRAMES_PER_SECTOR;

struct AccurateRipDisc
{
    int nAudioTracks;
    uint32_t id1;
    uint32_t id2;
    uint32_t cddbId;
};

// `starts` holds each track's first sector and, at [nTracks], the disc's
// final lead-out: for a CD-Extra disc the end of its data session, not the
// first session's lead-out. `bData` marks the data tracks, which the ids
// leave out, counting the audio tracks from 1 whatever comes first. `cddbId`
// is the disc's CDDB id, over all tracks. False when there is no audio track
// or more than the database knows.
bool MakeAccurateRipDisc(const int32_t* starts, const uint8_t* bData, int nTracks, uint32_t cddbId,
                         AccurateRipDisc& disc);

// The entry's path below the server's root, "accuraterip/a/b/c/dBAR-NNN-
// id1-id2-cddb.bin"; a buffer of ACCURATERIP_PATH_SIZE bytes always holds it.
constexpr std::size_t ACCURATERIP_PATH_SIZE = 64;
void AccurateRipPath(const AccurateRipDisc& disc, char* out, std::size_t outSize);

// The checksums of one audio track, its frames read with the drive's offset
// corrected and fed in order, in blocks of whole frames.
class AccurateRipChecksum
{
public:
    // `nFrames` is the track's length; the disc's first audio track skips its
    // first ACCURATERIP_EDGE_FRAMES frames, the last its last ones and one more.
    AccurateRipChecksum(uint32_t nFrames, bool bFirstTrack, bool bLastTrack);

    void Add(const uint8_t* pcm, std::size_t nFrames);

    uint32_t FramesAdded() const { return iFrame; }
    uint32_t V1() const { return v1; }
    uint32_t V2() const { return v2; }
    uint32_t Frame450() const { return frame450; }

private:
    uint32_t iFrame = 0;  // frames added; the next frame's number, counting from 1, less one
    uint32_t iFrom;
    uint32_t iTo;
    uint32_t v1 = 0;
    uint32_t v2 = 0;
    uint32_t frame450 = 0;
};

// The frame-450 checksum of the CD_FRAMES_PER_SECTOR frames at `pcm`: what a
// track's would be if they were its 451st sector. Offset detection slides it.
uint32_t AccurateRipFrame450(const uint8_t* pcm);

// Finding a drive's read offset correction from a disc the database knows:
// `frames` holds one track's frames as the drive reads them with no
// correction, from frame ACCURATERIP_FRAME450_START - `search` to
// ACCURATERIP_FRAME450_START + CD_FRAMES_PER_SECTOR + `search` of the track.
// Each correction c within +-`search` whose frame-450 checksum is one of
// `wanted` (zeros, which say nothing, are passed by) is added to
// `corrections`: the corrections most drives have first, then the smaller.
// Reading the track at each then tells which is right (its v1 or v2).
constexpr int32_t ACCURATERIP_OFFSET_SEARCH = int32_t(ACCURATERIP_EDGE_FRAMES);
void FindReadOffsets(const uint8_t* frames, int32_t search, const uint32_t* wanted, int nWanted,
                     std::vector<int32_t>& corrections);

struct AccurateRipEntry
{
    uint8_t nConfidence;  // how many rips agreed; 0 with a checksum of 0: no value
    uint32_t crc;
    uint32_t frame450;
};

// One submitted set of a disc's checksums; nothing tells whether they are v1
// or v2 checksums.
struct AccurateRipChunk
{
    int nTracks;
    uint32_t id1;
    uint32_t id2;
    uint32_t cddbId;
    AccurateRipEntry Entries[ACCURATERIP_MAX_TRACKS];
};

// The body of a dBAR answer: chunks of a 13-byte header and 9 bytes a track,
// back to back. False, with no chunk kept, when the body is empty, is not
// whole chunks, or names a chunk of no or of more than 99 tracks: such an
// answer says nothing, and must never pass for a match.
bool ParseAccurateRipResponse(const uint8_t* body, std::size_t size, std::vector<AccurateRipChunk>& chunks);

// What the server's answer for a disc's entry says.
enum class AccurateRipAnswer
{
    Found,          // the entry, in whole chunks
    NotInDatabase,  // 404, or a page (HTML) instead of an entry
    NotReached,     // no answer, another status, or a body that is not whole chunks
};
// Bodies past this size are no entry (a disc's entry holds a few chunks of
// at most 904 bytes each).
constexpr std::size_t ACCURATERIP_MAX_BODY = 256 * 1024;

// Reads an HTTP answer: its status code, its Content-Type ("" when none) and
// its body; `chunks` holds the entry when Found and is empty otherwise.
AccurateRipAnswer ReadAccurateRipAnswer(int httpStatus, const char* contentType, const uint8_t* body,
                                        std::size_t size, std::vector<AccurateRipChunk>& chunks);

enum class AccurateRipStatus
{
    Accurate,       // a chunk holds our v1 or v2 checksum
    NotAccurate,    // the database knows the track, with other checksums
    NotInDatabase,  // no entry for the disc, or none with a value for the track
    NotReached,     // no answer that could be read
};

struct AccurateRipResult
{
    AccurateRipStatus status;
    int nConfidence;  // Accurate: the highest confidence among the matching chunks
    int nDiffering;   // NotAccurate: the rips of the track whose checksums differ
};

// Whether the chunk is one of `disc`'s (a server may send others').
bool IsChunkOfDisc(const AccurateRipChunk& chunk, const AccurateRipDisc& disc);

// Rips that must agree with ours before a track read once counts as proven.
constexpr int ACCURATERIP_PROVEN_CONFIDENCE = 2;

// The result of audio track `track` (from 0 among the audio tracks) with our
// checksums, over the chunks for `disc` (chunks of another disc are passed by).
AccurateRipResult MatchAccurateRip(const std::vector<AccurateRipChunk>& chunks, const AccurateRipDisc& disc,
                                   int track, uint32_t v1, uint32_t v2);
