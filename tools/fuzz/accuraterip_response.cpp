// A database answer, as the lookup reads it from a server it does not
// control: a body that is taken is whole chunks, each read back exactly, and
// a track is called accurate only where a chunk of the disc holds one of our
// checksums; split anywhere, the track checksums are the same.
#include <algorithm>
#include <vector>

#include "FuzzCheck.h"
#include "cdrom/AccurateRip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    std::vector<AccurateRipChunk> chunks;
    if (ParseAccurateRipResponse(data, size, chunks))
    {
        FUZZ_CHECK(!chunks.empty());
        std::vector<uint8_t> again;
        for (const AccurateRipChunk& chunk : chunks)
        {
            FUZZ_CHECK(chunk.nTracks >= 1 && chunk.nTracks <= ACCURATERIP_MAX_TRACKS);
            const uint32_t ids[3] = {chunk.id1, chunk.id2, chunk.cddbId};
            again.push_back(uint8_t(chunk.nTracks));
            for (uint32_t id : ids)
                for (int b = 0; b < 32; b += 8)
                    again.push_back(uint8_t(id >> b));
            for (int i = 0; i < chunk.nTracks; ++i)
            {
                const AccurateRipEntry& entry = chunk.Entries[i];
                again.push_back(entry.nConfidence);
                for (uint32_t value : {entry.crc, entry.frame450})
                    for (int b = 0; b < 32; b += 8)
                        again.push_back(uint8_t(value >> b));
            }
        }
        FUZZ_CHECK(again.size() == size && std::equal(again.begin(), again.end(), data));

        // Our checksums: the first entry's value, so that some tracks match.
        const AccurateRipChunk& first = chunks.front();
        const AccurateRipDisc disc = {first.nTracks, first.id1, first.id2, first.cddbId};
        for (int track = 0; track < disc.nAudioTracks; ++track)
        {
            const uint32_t ours = first.Entries[track].crc;
            const AccurateRipResult result = MatchAccurateRip(chunks, disc, track, ours, ~ours);
            bool bHeld = false;
            int best = 0;
            for (const AccurateRipChunk& chunk : chunks)
            {
                const AccurateRipEntry& entry = chunk.Entries[track];
                if (chunk.nTracks == disc.nAudioTracks && chunk.id1 == disc.id1 && chunk.id2 == disc.id2
                    && chunk.cddbId == disc.cddbId && entry.nConfidence > 0
                    && (entry.crc == ours || entry.crc == ~ours))
                {
                    bHeld = true;
                    best = std::max(best, int(entry.nConfidence));
                }
            }
            FUZZ_CHECK(bHeld == (result.status == AccurateRipStatus::Accurate));
            FUZZ_CHECK(!bHeld || result.nConfidence == best);
            FUZZ_CHECK(result.status != AccurateRipStatus::NotReached);
        }
    }
    else
    {
        FUZZ_CHECK(chunks.empty());
    }

    // As the server's answer: an entry exactly when the body is whole chunks
    // of a size an entry can have; a page never.
    std::vector<AccurateRipChunk> answered;
    const AccurateRipAnswer answer = ReadAccurateRipAnswer(200, "application/octet-stream", data, size, answered);
    FUZZ_CHECK((answer == AccurateRipAnswer::Found) == (!chunks.empty() && size <= ACCURATERIP_MAX_BODY));
    FUZZ_CHECK(answer == AccurateRipAnswer::Found || answer == AccurateRipAnswer::NotReached);
    FUZZ_CHECK(answered.size() == (answer == AccurateRipAnswer::Found ? chunks.size() : 0));
    FUZZ_CHECK(ReadAccurateRipAnswer(200, "text/html", data, size, answered) == AccurateRipAnswer::NotInDatabase);

    // The track checksums over the input as audio, whole and in two blocks.
    const std::size_t nFrames = size / 4;
    const bool bFirst = size % 2 == 1;
    const bool bLast = size % 3 == 1;
    AccurateRipChecksum whole(uint32_t(nFrames), bFirst, bLast);
    whole.Add(data, nFrames);
    AccurateRipChecksum split(uint32_t(nFrames), bFirst, bLast);
    split.Add(data, nFrames / 3);
    split.Add(data + nFrames / 3 * 4, nFrames - nFrames / 3);
    FUZZ_CHECK(whole.V1() == split.V1() && whole.V2() == split.V2() && whole.Frame450() == split.Frame450());
    FUZZ_CHECK(whole.FramesAdded() == nFrames);
    return 0;
}
