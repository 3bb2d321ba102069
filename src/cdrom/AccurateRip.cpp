#include "cdrom/AccurateRip.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

uint32_t ReadU32LE(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A frame as the checksums take it, (right << 16) | left: its four bytes
// read as one little-endian number.
uint32_t FrameValue(const uint8_t* frame)
{
    return ReadU32LE(frame);
}

} // namespace

bool MakeAccurateRipDisc(const int32_t* starts, const uint8_t* bData, int nTracks, uint32_t cddbId,
                         AccurateRipDisc& disc)
{
    disc = AccurateRipDisc{};
    const uint32_t leadOut = uint32_t(starts[nTracks]);
    uint32_t id1 = 0;
    uint32_t id2 = 0;
    int n = 0;
    for (int i = 0; i < nTracks; ++i)
    {
        if (bData[i])
            continue;
        ++n;
        const uint32_t start = uint32_t(starts[i]);
        id1 += start;
        id2 += (start > 0 ? start : 1) * uint32_t(n);
    }
    if (n == 0 || n > ACCURATERIP_MAX_TRACKS)
        return false;
    disc.nAudioTracks = n;
    disc.id1 = id1 + leadOut;
    disc.id2 = id2 + leadOut * uint32_t(n + 1);
    disc.cddbId = cddbId;
    return true;
}

void AccurateRipPath(const AccurateRipDisc& disc, char* out, std::size_t outSize)
{
    snprintf(out, outSize, "accuraterip/%x/%x/%x/dBAR-%03d-%08x-%08x-%08x.bin", unsigned(disc.id1 & 0xF),
             unsigned(disc.id1 >> 4 & 0xF), unsigned(disc.id1 >> 8 & 0xF), disc.nAudioTracks, unsigned(disc.id1),
             unsigned(disc.id2), unsigned(disc.cddbId));
}

AccurateRipChecksum::AccurateRipChecksum(uint32_t nFrames, bool bFirstTrack, bool bLastTrack)
    : iFrom(bFirstTrack ? ACCURATERIP_EDGE_FRAMES + 1 : 1),
      iTo(bLastTrack ? (nFrames > ACCURATERIP_EDGE_FRAMES + 1 ? nFrames - ACCURATERIP_EDGE_FRAMES - 1 : 0) : nFrames)
{
}

void AccurateRipChecksum::Add(const uint8_t* pcm, std::size_t nFrames)
{
    // Frames m = first .. last (counting from 1) arrive; each sum takes the
    // part of them it covers, in a loop of its own without a test a frame.
    const uint64_t first = uint64_t(iFrame) + 1;
    const uint64_t last = uint64_t(iFrame) + nFrames;
    iFrame = uint32_t(last);
    const uint64_t from = std::max<uint64_t>(first, iFrom);
    const uint64_t to = std::min<uint64_t>(last, iTo);
    uint32_t low = 0;
    uint32_t high = 0;
    for (uint64_t m = from; m <= to; ++m)
    {
        const uint64_t product = uint64_t(uint32_t(m)) * FrameValue(pcm + (m - first) * 4);
        low += uint32_t(product);
        high += uint32_t(product >> 32);
    }
    v1 += low;
    v2 += low + high;
    const uint64_t sectorFrom = std::max<uint64_t>(first, ACCURATERIP_FRAME450_START + 1);
    const uint64_t sectorTo = std::min<uint64_t>(last, ACCURATERIP_FRAME450_START + CD_FRAMES_PER_SECTOR);
    for (uint64_t m = sectorFrom; m <= sectorTo; ++m)
        frame450 += uint32_t(m - ACCURATERIP_FRAME450_START) * FrameValue(pcm + (m - first) * 4);
}

uint32_t AccurateRipFrame450(const uint8_t* pcm)
{
    uint32_t sum = 0;
    for (uint32_t j = 1; j <= uint32_t(CD_FRAMES_PER_SECTOR); ++j, pcm += 4)
        sum += j * FrameValue(pcm);
    return sum;
}

void FindReadOffsets(const uint8_t* frames, int32_t search, const uint32_t* wanted, int nWanted,
                     std::vector<int32_t>& corrections)
{
    corrections.clear();
    for (int32_t c = -search; c <= search; ++c)
    {
        const uint32_t sum = AccurateRipFrame450(frames + std::size_t(search + c) * 4);
        for (int i = 0; i < nWanted; ++i)
            if (wanted[i] != 0 && wanted[i] == sum)
            {
                corrections.push_back(c);
                break;
            }
    }
    // The corrections most often published for drives.
    static const int32_t kPopular[] = {6, 667, 48, 102, 30};
    auto rank = [](int32_t c) {
        const auto* at = std::find(std::begin(kPopular), std::end(kPopular), c);
        return at != std::end(kPopular) ? int(at - std::begin(kPopular)) : int(std::size(kPopular));
    };
    std::stable_sort(corrections.begin(), corrections.end(), [&rank](int32_t a, int32_t b) {
        return rank(a) != rank(b) ? rank(a) < rank(b) : std::abs(a) < std::abs(b);
    });
}

bool ParseAccurateRipResponse(const uint8_t* body, std::size_t size, std::vector<AccurateRipChunk>& chunks)
{
    chunks.clear();
    std::size_t at = 0;
    while (at < size)
    {
        if (size - at < 13)
            break;
        AccurateRipChunk chunk{};
        chunk.nTracks = body[at];
        if (chunk.nTracks < 1 || chunk.nTracks > ACCURATERIP_MAX_TRACKS
            || size - at - 13 < std::size_t(chunk.nTracks) * 9)
            break;
        chunk.id1 = ReadU32LE(body + at + 1);
        chunk.id2 = ReadU32LE(body + at + 5);
        chunk.cddbId = ReadU32LE(body + at + 9);
        at += 13;
        for (int i = 0; i < chunk.nTracks; ++i, at += 9)
        {
            chunk.Entries[i].nConfidence = body[at];
            chunk.Entries[i].crc = ReadU32LE(body + at + 1);
            chunk.Entries[i].frame450 = ReadU32LE(body + at + 5);
        }
        chunks.push_back(chunk);
    }
    if (size == 0 || at != size)
    {
        chunks.clear();
        return false;
    }
    return true;
}

AccurateRipAnswer ReadAccurateRipAnswer(int httpStatus, const char* contentType, const uint8_t* body,
                                        std::size_t size, std::vector<AccurateRipChunk>& chunks)
{
    chunks.clear();
    if (httpStatus == 404)
        return AccurateRipAnswer::NotInDatabase;
    if (httpStatus != 200)
        return AccurateRipAnswer::NotReached;
    // Some front ends answer a missing entry with a page of their own.
    char type[64] = "";
    std::size_t n = 0;
    for (; contentType[n] && n + 1 < sizeof(type); ++n)
        type[n] = char(contentType[n] >= 'A' && contentType[n] <= 'Z' ? contentType[n] - 'A' + 'a' : contentType[n]);
    type[n] = '\0';
    if (std::strstr(type, "html"))
        return AccurateRipAnswer::NotInDatabase;
    if (size > ACCURATERIP_MAX_BODY || !ParseAccurateRipResponse(body, size, chunks))
        return AccurateRipAnswer::NotReached;
    return AccurateRipAnswer::Found;
}

bool IsChunkOfDisc(const AccurateRipChunk& chunk, const AccurateRipDisc& disc)
{
    return chunk.nTracks == disc.nAudioTracks && chunk.id1 == disc.id1 && chunk.id2 == disc.id2
           && chunk.cddbId == disc.cddbId;
}

AccurateRipResult MatchAccurateRip(const std::vector<AccurateRipChunk>& chunks, const AccurateRipDisc& disc,
                                   int track, uint32_t v1, uint32_t v2)
{
    AccurateRipResult result{AccurateRipStatus::NotInDatabase, 0, 0};
    if (track < 0 || track >= disc.nAudioTracks)
        return result;
    for (const AccurateRipChunk& chunk : chunks)
    {
        if (!IsChunkOfDisc(chunk, disc))
            continue;
        const AccurateRipEntry& entry = chunk.Entries[track];
        if (entry.nConfidence == 0)
            continue;
        if (entry.crc == v1 || entry.crc == v2)
        {
            result.status = AccurateRipStatus::Accurate;
            if (entry.nConfidence > result.nConfidence)
                result.nConfidence = entry.nConfidence;
        }
        else
        {
            result.nDiffering += entry.nConfidence;
        }
    }
    if (result.status != AccurateRipStatus::Accurate && result.nDiffering > 0)
        result.status = AccurateRipStatus::NotAccurate;
    if (result.status == AccurateRipStatus::Accurate)
        result.nDiffering = 0;
    return result;
}
