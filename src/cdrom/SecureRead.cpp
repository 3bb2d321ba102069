#include "cdrom/SecureRead.h"

#include <algorithm>
#include <cstring>

#include "files/Crc.h"

namespace {

// One version of a sector's audio that reads gave, and how many did.
struct SectorVersion
{
    std::vector<uint8_t> data;
    int nReads = 0;
    int nCleanReads = 0;  // without a C2 flag
};

// A run of sectors read once: their audio, whether each came, and whether C2
// flagged any of its bytes.
struct Pass
{
    int32_t nFirst = 0;
    int nSectors = 0;
    std::vector<uint8_t> data;
    std::vector<uint8_t> bRead;
    std::vector<uint8_t> bFlagged;
};

// Where a read of a drive that misplaces its reads lies: on the drive's
// frames, not known, or (0 and on) on the frames of a run of reads placed on
// each other whose own place on the drive is still to be found.
constexpr int ON_DRIVE = -1;
constexpr int UNPLACED = -2;
// The widest shift between two reads, each off by the most either way.
constexpr int MAX_SHIFT_FRAMES = 2 * SECURE_MAX_JITTER_FRAMES;

// One read of a drive that misplaces its reads, and where it was found to lie.
struct PlacedRead
{
    int32_t nFirst = 0;
    int nSectors = 0;
    bool bGood = false;
    bool bSilent = false;  // all zeros: it could lie anywhere within the jitter
    std::vector<uint8_t> data;
    // Its C2 pointers, when asked for: byte k covers bytes 8k to 8k + 7 of
    // `data`, two frames, whichever sector they end up in once placed.
    std::vector<uint8_t> c2;
    int iRun = UNPLACED;
    int64_t nPos = 0;  // the frame its first frame is, on the drive's or its run's count
};

// One pass over a window: the sectors as compared and, from a drive that
// misplaces its reads, the overlapping reads they were put together from.
struct Window
{
    Pass pass;
    std::vector<PlacedRead> reads;
};

} // namespace

// What a track is read in: the window being proven, the next one, the second
// pass over the first, and what the proof made of it.
struct SecureReadBuffers
{
    Window current;
    Window next;
    Window again;
    std::vector<uint8_t> proven;
    std::vector<SectorVerdict> verdicts;
};

namespace {

// Frames [nFirst, nFirst + nFrames) of some count of frames.
struct FrameRun
{
    const uint8_t* pcm;
    int64_t nFirst;
    int64_t nFrames;
};

uint32_t FrameAt(const uint8_t* pcm, int64_t i)
{
    uint32_t frame;
    std::memcpy(&frame, pcm + i * 4, 4);
    return frame;
}

// The shift, within +-maxShift frames of where `probe` says it lies, that puts
// its frames on those of `ref`. Frames of digital silence prove nothing, so a
// shift needs enough equal frames that are not silence, and no other shift may
// come close: silence, or a sound that repeats, gives no shift rather than a
// wrong one. Flipped samples cost a shift only their own frames.
bool FindShift(const FrameRun& ref, const FrameRun& probe, int maxShift, int64_t& shift)
{
    int64_t best = -1, second = -1, bestShift = 0, bestSound = 0;
    for (int s = -maxShift; s <= maxShift; ++s)
    {
        // Probe frame j lies on ref's frame at + j.
        const int64_t at = probe.nFirst + s - ref.nFirst;
        const int64_t from = std::max<int64_t>(0, -at);
        const int64_t to = std::min<int64_t>(probe.nFrames, ref.nFrames - at);
        if (to - from < 64)
            continue;
        // 64 frames first: most shifts are plainly wrong.
        int nLooked = 0, nEqual = 0;
        for (int k = 0; k < 64; ++k)
        {
            const int64_t j = from + (to - from) * k / 64;
            const uint32_t frame = FrameAt(ref.pcm, at + j);
            nLooked += frame != 0;
            nEqual += frame != 0 && frame == FrameAt(probe.pcm, j);
        }
        if (nLooked < 2 || nEqual * 2 < nLooked)
            continue;
        int64_t nSound = 0, nSame = 0;
        for (int64_t j = from; j < to; ++j)
        {
            const uint32_t frame = FrameAt(ref.pcm, at + j);
            nSound += frame != 0;
            nSame += frame != 0 && frame == FrameAt(probe.pcm, j);
        }
        if (nSame > best)
        {
            second = best;
            best = nSame;
            bestShift = s;
            bestSound = nSound;
        }
        else if (nSame > second)
        {
            second = nSame;
        }
    }
    if (best < 32 || best * 4 < bestSound * 3 || second * 2 > best)
        return false;
    shift = bestShift;
    return true;
}

// Whether the centre of a scatter of samples is known: both its ends have
// stayed put over the last samples, at least 64 and twelve times the values
// the scatter spans (an end of an even scatter is then missed with a
// chance under e^-12), and lie an even number of frames apart.
bool ScatterSettled(const std::vector<int64_t>& samples)
{
    if (samples.empty())
        return false;
    int64_t low = samples[0], high = samples[0];
    std::size_t lastNew = 0;
    for (std::size_t i = 1; i < samples.size(); ++i)
        if (samples[i] < low || samples[i] > high)
        {
            low = std::min(low, samples[i]);
            high = std::max(high, samples[i]);
            lastNew = i;
        }
    const int64_t needed = std::max<int64_t>(64, 12 * (high - low + 1));
    return int64_t(samples.size() - 1 - lastNew) >= needed && (low + high) % 2 == 0;
}

class TrackReader
{
public:
    TrackReader(AudioSectorReader& reader, const SecureReadSettings& settings, SecureReadEvents& events)
        : reader(reader), settings(settings), events(events), bJitter(settings.bMisplacesReads)
    {
    }

    SecureReadResult Run(int32_t startSector, int32_t endSector, SecureTrackReport& report,
                         SecureReadBuffers& buffers);

private:
    // Each read asks for C2 pointers when `bC2` (and the drive gives them).
    SecureReadResult ReadPass(int32_t first, int nSectors, Pass& pass, bool bC2);
    SecureReadResult ReadWindow(int32_t first, int nSectors, Window& window, bool bC2);
    SecureReadResult ReadPlaced(int32_t sector, int nSectors, PlacedRead& read, bool bC2);
    SecureReadResult ReadAligned(int32_t sector, int count, const Pass& window, const std::vector<uint8_t>& canvas,
                                 uint8_t* data, uint8_t* bRead, uint8_t* bFlagged);
    bool LooksMisplaced(const Pass& first, const Pass& second) const;
    SecureReadResult PlaceWindow(Window& current, Window* again);
    SecureReadResult AnchorRun(int iRun, Window& current, Window* again);
    void ComposePass(Window& window);
    SecureReadResult ReadRun(int32_t first, int nSectors, uint8_t* data, uint8_t* bRead, uint8_t* bFlagged,
                             bool bC2);
    SecureReadResult DefeatCache(int32_t windowFirst, int32_t windowEnd);
    // The verdict on each sector, and in `out` the audio to deliver, unless
    // every sector was proven as the first pass read it (`bAsRead`).
    SecureReadResult ProveWindow(const Pass& first, const Pass* second, std::vector<uint8_t>& out,
                                 std::vector<SectorVerdict>& verdicts, bool& bAsRead);
    SecureReadResult DeliverWindow(const Pass& window, const std::vector<uint8_t>& data, bool bAsRead,
                                   const std::vector<SectorVerdict>& verdicts, SecureTrackReport& report);

    AudioSectorReader& reader;
    const SecureReadSettings& settings;
    SecureReadEvents& events;
    OffsetReadPlan plan{};
    int iDefeat = 0;  // which of the defeat regions comes next
    uint32_t nFramesLeft = 0;
    uint32_t nSkipLeft = 0;
    // What was delivered so far is the first pass as read, so the test CRC
    // is the copy's, and is not taken twice.
    bool bTestIsCopy = true;
    std::vector<uint8_t> chunkC2;
    bool bJitter = false;  // the drive misplaces its reads
    // The last sector delivered, for the next window's first read to be placed on.
    std::vector<uint8_t> tail;
    int32_t nTailSector = 0;
};

bool AnyBitSet(const uint8_t* bytes, int n)
{
    for (int i = 0; i < n; ++i)
        if (bytes[i])
            return true;
    return false;
}

// Whether C2 flags any byte of frames [from, from + n) of a read. A
// misplaced read's sector straddles two of the drive's: only the pointers of
// the bytes it holds count, or an error next to it would flag it too.
bool FramesFlagged(const PlacedRead& read, int64_t from, int64_t n)
{
    if (read.c2.empty())
        return false;
    const std::size_t first = std::size_t(from * 4 / 8), end = std::size_t(((from + n) * 4 + 7) / 8);
    return AnyBitSet(read.c2.data() + first, int(end - first));
}

SecureReadResult TrackReader::ReadRun(int32_t first, int nSectors, uint8_t* data, uint8_t* bRead,
                                      uint8_t* bFlagged, bool bC2)
{
    bC2 = bC2 && settings.bC2;
    // What the drive may not be asked for is silence, read as such.
    int i = 0;
    while (i < nSectors)
    {
        if (events.IsStopped())
            return SecureReadResult::Stopped;
        const int32_t sector = first + i;
        if (!AskForSector(sector, settings.nLeadOut, settings.bOverread))
        {
            std::memset(data + std::size_t(i) * CD_SECTOR_SIZE, 0, CD_SECTOR_SIZE);
            bRead[i] = 1;
            bFlagged[i] = 0;
            ++i;
            continue;
        }
        const int maxRun = bC2 ? CD_MAX_READ_SECTORS_WITH_C2 : CD_MAX_READ_SECTORS;
        int n = 1;
        while (n < maxRun && i + n < nSectors
               && AskForSector(sector + n, settings.nLeadOut, settings.bOverread))
            ++n;
        uint8_t* c2 = bC2 ? chunkC2.data() : nullptr;
        AudioReadResult result = reader.ReadAudio(sector, n, data + std::size_t(i) * CD_SECTOR_SIZE, c2);
        if (result == AudioReadResult::MediumError && n > 1)
        {
            // Somewhere in the run the disc cannot be read: sector by sector,
            // so that only those sectors are lost.
            n = 1;
            result = reader.ReadAudio(sector, 1, data + std::size_t(i) * CD_SECTOR_SIZE, c2);
        }
        if (result == AudioReadResult::Failed)
        {
            // Beyond the disc's end a drive may refuse what overreading asks for.
            if (sector < 0 || sector >= settings.nLeadOut)
            {
                std::memset(data + std::size_t(i) * CD_SECTOR_SIZE, 0, std::size_t(n) * CD_SECTOR_SIZE);
                std::fill(bRead + i, bRead + i + n, uint8_t(1));
                std::fill(bFlagged + i, bFlagged + i + n, uint8_t(0));
                i += n;
                continue;
            }
            return SecureReadResult::Failed;
        }
        for (int k = 0; k < n; ++k)
        {
            bRead[i + k] = result == AudioReadResult::Good;
            bFlagged[i + k] = result == AudioReadResult::Good && c2
                              && AnyBitSet(c2 + std::size_t(k) * C2_BYTES_PER_SECTOR, C2_BYTES_PER_SECTOR);
        }
        i += n;
    }
    return SecureReadResult::Done;
}

SecureReadResult TrackReader::ReadPass(int32_t first, int nSectors, Pass& pass, bool bC2)
{
    pass.nFirst = first;
    pass.nSectors = nSectors;
    pass.data.resize(std::size_t(nSectors) * CD_SECTOR_SIZE);
    pass.bRead.resize(nSectors);
    pass.bFlagged.resize(nSectors);
    return ReadRun(first, nSectors, pass.data.data(), pass.bRead.data(), pass.bFlagged.data(), bC2);
}

SecureReadResult TrackReader::ReadWindow(int32_t first, int nSectors, Window& window, bool bC2)
{
    window.reads.clear();
    if (!bJitter)
        return ReadPass(first, nSectors, window.pass, bC2);
    window.pass.nFirst = first;
    window.pass.nSectors = nSectors;
    // A sector more at either end, and each read overlapping the one before by
    // a sector: every frame of the window is read whatever the jitter, and
    // each read can be placed on the one before.
    int32_t lo = first - 1, hi = first + nSectors + 1;
    if (!settings.bOverread)
    {
        lo = std::max(lo, 0);
        hi = std::min(hi, settings.nLeadOut);
    }
    const int maxRun = bC2 && settings.bC2 ? CD_MAX_READ_SECTORS_WITH_C2 : CD_MAX_READ_SECTORS;
    for (int32_t s = lo; s < hi; s += maxRun - 1)
    {
        const int n = int(std::min<int32_t>(maxRun, hi - s));
        window.reads.emplace_back();
        const SecureReadResult result = ReadPlaced(s, n, window.reads.back(), bC2);
        if (result != SecureReadResult::Done)
            return result;
        if (s + n >= hi)
            break;
    }
    return SecureReadResult::Done;
}

SecureReadResult TrackReader::ReadPlaced(int32_t sector, int nSectors, PlacedRead& read, bool bC2)
{
    if (events.IsStopped())
        return SecureReadResult::Stopped;
    read = PlacedRead{};
    read.nFirst = sector;
    read.nSectors = nSectors;
    read.data.resize(std::size_t(nSectors) * CD_SECTOR_SIZE);
    uint8_t* c2 = bC2 && settings.bC2 ? chunkC2.data() : nullptr;
    const AudioReadResult result = reader.ReadAudio(sector, nSectors, read.data.data(), c2);
    if (result == AudioReadResult::Failed)
    {
        // Beyond the disc's end a drive may refuse what overreading asks for:
        // those sectors are silence (ComposePass).
        return sector < 0 || sector + nSectors > settings.nLeadOut ? SecureReadResult::Done
                                                                   : SecureReadResult::Failed;
    }
    read.bGood = result == AudioReadResult::Good;
    if (!read.bGood)
        return SecureReadResult::Done;
    if (c2)
        read.c2.assign(c2, c2 + std::size_t(nSectors) * C2_BYTES_PER_SECTOR);
    read.bSilent = !AnyBitSet(read.data.data(), int(read.data.size()));
    return SecureReadResult::Done;
}

bool TrackReader::LooksMisplaced(const Pass& first, const Pass& second) const
{
    // Sectors both passes read cleanly and differently: misplaced reads give
    // the same audio a number of frames away, damaged ones do not.
    int nTried = 0;
    for (int i = 0; i < first.nSectors && nTried < 4; ++i)
    {
        if (!first.bRead[i] || !second.bRead[i] || first.bFlagged[i] || second.bFlagged[i])
            continue;
        const uint8_t* b = second.data.data() + std::size_t(i) * CD_SECTOR_SIZE;
        if (std::memcmp(first.data.data() + std::size_t(i) * CD_SECTOR_SIZE, b, CD_SECTOR_SIZE) == 0)
            continue;
        ++nTried;
        const FrameRun ref{first.data.data(), int64_t(first.nFirst) * CD_FRAMES_PER_SECTOR,
                           int64_t(first.nSectors) * CD_FRAMES_PER_SECTOR};
        const FrameRun probe{b, int64_t(first.nFirst + i) * CD_FRAMES_PER_SECTOR, CD_FRAMES_PER_SECTOR};
        int64_t shift = 0;
        if (FindShift(ref, probe, MAX_SHIFT_FRAMES, shift) && shift != 0)
            return true;
    }
    return false;
}

SecureReadResult TrackReader::PlaceWindow(Window& current, Window* again)
{
    // The first pass: each read placed on the one before, the first on the
    // last sector delivered. A read that cannot be (it follows silence, or a
    // read that failed) starts a run of its own.
    PlacedRead tailRead;
    const PlacedRead* before = nullptr;
    if (!tail.empty())
    {
        tailRead.nFirst = nTailSector;
        tailRead.nSectors = 1;
        tailRead.bGood = true;
        tailRead.data = tail;
        tailRead.iRun = ON_DRIVE;
        tailRead.nPos = int64_t(nTailSector) * CD_FRAMES_PER_SECTOR;
        before = &tailRead;
    }
    int nRuns = 0;
    for (PlacedRead& r : current.reads)
    {
        if (r.bGood && !r.bSilent && before)
        {
            const FrameRun ref{before->data.data(), before->nPos, int64_t(before->nSectors) * CD_FRAMES_PER_SECTOR};
            const FrameRun probe{r.data.data(),
                                 before->nPos + int64_t(r.nFirst - before->nFirst) * CD_FRAMES_PER_SECTOR,
                                 int64_t(r.nSectors) * CD_FRAMES_PER_SECTOR};
            int64_t shift = 0;
            if (FindShift(ref, probe, MAX_SHIFT_FRAMES, shift))
            {
                r.iRun = before->iRun;
                r.nPos = probe.nFirst + shift;
            }
        }
        if (r.bGood && r.iRun == UNPLACED)
        {
            r.iRun = r.bSilent ? ON_DRIVE : nRuns++;
            r.nPos = int64_t(r.nFirst) * CD_FRAMES_PER_SECTOR;
        }
        before = r.bGood && !r.bSilent ? &r : nullptr;
    }
    // The second pass: each read placed on the first pass's read of the same
    // sectors. One that cannot be leaves its sectors to the re-reads.
    for (std::size_t k = 0; again && k < again->reads.size(); ++k)
    {
        PlacedRead& r = again->reads[k];
        if (!r.bGood)
            continue;
        if (r.bSilent)
        {
            r.iRun = ON_DRIVE;
            r.nPos = int64_t(r.nFirst) * CD_FRAMES_PER_SECTOR;
            continue;
        }
        const PlacedRead* same = k < current.reads.size() ? &current.reads[k] : nullptr;
        if (!same || !same->bGood || same->bSilent || same->nFirst != r.nFirst)
            continue;
        const FrameRun ref{same->data.data(), same->nPos, int64_t(same->nSectors) * CD_FRAMES_PER_SECTOR};
        const FrameRun probe{r.data.data(), same->nPos, int64_t(r.nSectors) * CD_FRAMES_PER_SECTOR};
        int64_t shift = 0;
        if (FindShift(ref, probe, MAX_SHIFT_FRAMES, shift))
        {
            r.iRun = same->iRun;
            r.nPos = probe.nFirst + shift;
        }
    }
    for (int iRun = 0; iRun < nRuns; ++iRun)
    {
        const SecureReadResult result = AnchorRun(iRun, current, again);
        if (result != SecureReadResult::Done)
            return result;
    }
    ComposePass(current);
    if (again)
        ComposePass(*again);
    return SecureReadResult::Done;
}

// Where a run of reads placed on each other lies on the drive. Each read is
// off by its own jitter, drawn anew for every command and as likely either
// way, so the reads scatter evenly about their true place: the run lies
// where the centre of its reads' scatter is (the middle of the two ends seen;
// both passes' reads count, and one-sector reads of the run add more until
// the ends have stayed put long enough). This holds for any jitter that is
// bounded and symmetric; a drive that leans one way reads, on average, at an
// offset, which is what its read offset correction is for. A run is placed
// before any of its frames is delivered.
SecureReadResult TrackReader::AnchorRun(int iRun, Window& current, Window* again)
{
    std::vector<int64_t> samples;
    const PlacedRead* sampled = nullptr;  // a read of the run with sound inside, to place more reads on
    int32_t nSampleSector = 0;
    for (Window* window : {&current, again})
        for (std::size_t k = 0; window && k < window->reads.size(); ++k)
        {
            const PlacedRead& r = window->reads[k];
            if (r.iRun != iRun)
                continue;
            samples.push_back(r.nPos - int64_t(r.nFirst) * CD_FRAMES_PER_SECTOR);
            for (int i = 1; !sampled && window == &current && i + 1 < r.nSectors; ++i)
            {
                const uint8_t* sector = r.data.data() + std::size_t(i) * CD_SECTOR_SIZE;
                int nSound = 0;
                for (int f = 0; f < CD_FRAMES_PER_SECTOR; ++f)
                    nSound += FrameAt(sector, f) != 0;
                if (nSound * 2 >= CD_FRAMES_PER_SECTOR)
                {
                    sampled = &r;
                    nSampleSector = r.nFirst + i;
                }
            }
        }
    PlacedRead extra;
    for (int n = 0; sampled && n < SECURE_MAX_ANCHOR_READS && !ScatterSettled(samples); ++n)
    {
        const SecureReadResult result = ReadPlaced(nSampleSector, 1, extra, true);
        if (result != SecureReadResult::Done)
            return result;
        if (!extra.bGood)
            break;
        const FrameRun ref{sampled->data.data(), sampled->nPos, int64_t(sampled->nSectors) * CD_FRAMES_PER_SECTOR};
        const FrameRun probe{extra.data.data(),
                             sampled->nPos + int64_t(nSampleSector - sampled->nFirst) * CD_FRAMES_PER_SECTOR,
                             CD_FRAMES_PER_SECTOR};
        int64_t shift = 0;
        if (FindShift(ref, probe, MAX_SHIFT_FRAMES, shift))
            samples.push_back(probe.nFirst + shift - int64_t(nSampleSector) * CD_FRAMES_PER_SECTOR);
    }
    const int64_t sum = *std::min_element(samples.begin(), samples.end())
                        + *std::max_element(samples.begin(), samples.end());
    const int64_t centre = (sum - (sum & 1)) / 2;
    for (Window* window : {&current, again})
        for (std::size_t k = 0; window && k < window->reads.size(); ++k)
        {
            PlacedRead& r = window->reads[k];
            if (r.iRun == iRun)
            {
                r.iRun = ON_DRIVE;
                r.nPos -= centre;
            }
        }
    return SecureReadResult::Done;
}

void TrackReader::ComposePass(Window& window)
{
    Pass& pass = window.pass;
    const int64_t base = int64_t(pass.nFirst) * CD_FRAMES_PER_SECTOR;
    const int64_t nFrames = int64_t(pass.nSectors) * CD_FRAMES_PER_SECTOR;
    pass.data.assign(std::size_t(nFrames) * 4, 0);
    pass.bRead.assign(pass.nSectors, 0);
    pass.bFlagged.assign(pass.nSectors, 0);
    std::vector<uint8_t> filled(std::size_t(nFrames), 0);
    for (const PlacedRead& r : window.reads)
    {
        if (r.iRun != ON_DRIVE)
            continue;
        // A silent read shows only that silence lies wherever it can have come from.
        const int64_t trim = r.bSilent ? SECURE_MAX_JITTER_FRAMES : 0;
        const int64_t length = int64_t(r.nSectors) * CD_FRAMES_PER_SECTOR;
        const int64_t from = std::max(trim, base - r.nPos), to = std::min(length - trim, base + nFrames - r.nPos);
        for (int64_t j = from; j < to; ++j)
        {
            const int64_t at = r.nPos + j - base;
            if (filled[at])
                continue;
            std::memcpy(pass.data.data() + at * 4, r.data.data() + j * 4, 4);
            filled[at] = 1;
            pass.bFlagged[at / CD_FRAMES_PER_SECTOR] |= FramesFlagged(r, j, 1);
        }
    }
    for (int i = 0; i < pass.nSectors; ++i)
    {
        const auto sector = filled.begin() + std::ptrdiff_t(i) * CD_FRAMES_PER_SECTOR;
        pass.bRead[i] = std::all_of(sector, sector + CD_FRAMES_PER_SECTOR, [](uint8_t f) { return f != 0; });
        const int32_t at = pass.nFirst + i;
        if (!pass.bRead[i] && (at < 0 || at >= settings.nLeadOut))
        {
            // As ReadRun: beyond the disc, what is not asked for or not given is silence.
            std::memset(pass.data.data() + std::size_t(i) * CD_SECTOR_SIZE, 0, CD_SECTOR_SIZE);
            pass.bRead[i] = 1;
            pass.bFlagged[i] = 0;
        }
    }
}

SecureReadResult TrackReader::ReadAligned(int32_t sector, int count, const Pass& window,
                                          const std::vector<uint8_t>& canvas, uint8_t* data, uint8_t* bRead,
                                          uint8_t* bFlagged)
{
    std::fill(bRead, bRead + count, uint8_t(0));
    std::fill(bFlagged, bFlagged + count, uint8_t(0));
    int32_t lo = sector - 1, hi = sector + count + 1;
    if (!settings.bOverread)
    {
        lo = std::max(lo, 0);
        hi = std::min(hi, settings.nLeadOut);
    }
    PlacedRead r;
    SecureReadResult result = ReadPlaced(lo, hi - lo, r, true);
    if (result != SecureReadResult::Done)
        return result;
    if (!r.bGood)
    {
        // Somewhere the disc cannot be read: sector by sector, so that only
        // those sectors are lost.
        for (int i = 0; count > 1 && i < count && result == SecureReadResult::Done; ++i)
            result = ReadAligned(sector + i, 1, window, canvas, data + std::size_t(i) * CD_SECTOR_SIZE, bRead + i,
                                 bFlagged + i);
        return result;
    }
    int64_t trim = 0;
    r.nPos = int64_t(lo) * CD_FRAMES_PER_SECTOR;
    if (r.bSilent)
    {
        trim = SECURE_MAX_JITTER_FRAMES;
    }
    else
    {
        // Placed on the window as read so far; a read that cannot be placed
        // gives nothing, and its sectors stay open.
        const FrameRun ref{canvas.data(), int64_t(window.nFirst) * CD_FRAMES_PER_SECTOR,
                           int64_t(window.nSectors) * CD_FRAMES_PER_SECTOR};
        const FrameRun probe{r.data.data(), r.nPos, int64_t(r.nSectors) * CD_FRAMES_PER_SECTOR};
        int64_t shift = 0;
        if (!FindShift(ref, probe, MAX_SHIFT_FRAMES, shift))
            return SecureReadResult::Done;
        r.nPos += shift;
    }
    const int64_t length = int64_t(r.nSectors) * CD_FRAMES_PER_SECTOR;
    for (int i = 0; i < count; ++i)
    {
        const int64_t from = int64_t(sector + i) * CD_FRAMES_PER_SECTOR - r.nPos;
        if (from < trim || from + CD_FRAMES_PER_SECTOR > length - trim)
            continue;
        std::memcpy(data + std::size_t(i) * CD_SECTOR_SIZE, r.data.data() + from * 4, CD_SECTOR_SIZE);
        bRead[i] = 1;
        bFlagged[i] = FramesFlagged(r, from, CD_FRAMES_PER_SECTOR);
    }
    return SecureReadResult::Done;
}

SecureReadResult TrackReader::DefeatCache(int32_t windowFirst, int32_t windowEnd)
{
    // Two regions far from the window, read in turn: the one read now was
    // last read two defeats ago, so it comes from the disc and pushes
    // everything else out of the cache.
    const int32_t k = settings.nCacheSectors;
    const int32_t candidates[] = {0, std::max(settings.nLeadOut - k, 0), std::max(settings.nLeadOut / 2 - k / 2, 0)};
    int32_t regions[2];
    int nRegions = 0;
    for (int32_t start : candidates)
    {
        const bool bOverlaps = start < windowEnd && start + k > windowFirst;
        const bool bTaken = nRegions > 0 && start < regions[0] + k && start + k > regions[0];
        if (!bOverlaps && !bTaken && nRegions < 2)
            regions[nRegions++] = start;
    }
    if (nRegions == 0)
        return SecureReadResult::Done;  // a disc too small to hold one: nothing to read elsewhere
    const int32_t start = regions[iDefeat++ % nRegions];
    const int32_t n = std::min(k, settings.nLeadOut - start);
    std::vector<uint8_t> discard(std::size_t(CD_MAX_READ_SECTORS) * CD_SECTOR_SIZE);
    for (int32_t s = start; s < start + n; s += CD_MAX_READ_SECTORS)
    {
        if (events.IsStopped())
            return SecureReadResult::Stopped;
        // What it reads is thrown away, so a sector it cannot read does not matter.
        const int m = int(std::min<int32_t>(CD_MAX_READ_SECTORS, start + n - s));
        if (reader.ReadAudio(s, m, discard.data(), nullptr) == AudioReadResult::Failed)
            return SecureReadResult::Failed;
    }
    return SecureReadResult::Done;
}

SecureReadResult TrackReader::ProveWindow(const Pass& first, const Pass* second, std::vector<uint8_t>& out,
                                          std::vector<SectorVerdict>& verdicts, bool& bAsRead)
{
    const int n = first.nSectors;
    verdicts.assign(n, second ? SectorVerdict::Proven : SectorVerdict::ReadOnce);
    // The sectors not yet proven, with the versions their reads gave.
    std::vector<int> open;
    std::vector<std::vector<SectorVersion>> versions(n);
    auto addVersion = [&versions](int i, const uint8_t* data, bool bFlagged) {
        for (SectorVersion& v : versions[i])
            if (std::memcmp(v.data.data(), data, CD_SECTOR_SIZE) == 0)
            {
                ++v.nReads;
                v.nCleanReads += !bFlagged;
                return;
            }
        SectorVersion v;
        v.data.assign(data, data + CD_SECTOR_SIZE);
        v.nReads = 1;
        v.nCleanReads = !bFlagged;
        versions[i].push_back(std::move(v));
    };
    for (int i = 0; i < n; ++i)
    {
        const uint8_t* a = first.data.data() + std::size_t(i) * CD_SECTOR_SIZE;
        bool bOk = first.bRead[i] && !first.bFlagged[i];
        if (second)
        {
            const uint8_t* b = second->data.data() + std::size_t(i) * CD_SECTOR_SIZE;
            bOk = bOk && second->bRead[i] && !second->bFlagged[i] && std::memcmp(a, b, CD_SECTOR_SIZE) == 0;
            if (!bOk && second->bRead[i])
                addVersion(i, b, second->bFlagged[i]);
        }
        if (!bOk)
        {
            if (first.bRead[i])
                addVersion(i, a, first.bFlagged[i]);
            open.push_back(i);
        }
    }
    bAsRead = open.empty();
    if (bAsRead)
        return SecureReadResult::Done;
    out = first.data;

    std::vector<uint8_t> data(std::size_t(CD_MAX_READ_SECTORS) * CD_SECTOR_SIZE);
    uint8_t bRead[CD_MAX_READ_SECTORS];
    uint8_t bFlagged[CD_MAX_READ_SECTORS];
    // A drive that misplaces its reads is read a sector wider either way.
    const int maxRun = bJitter ? (settings.bC2 ? CD_MAX_READ_SECTORS_WITH_C2 : CD_MAX_READ_SECTORS) - 2
                               : CD_MAX_READ_SECTORS_WITH_C2;
    for (int round = 0; round < SECURE_MAX_REREADS && !open.empty(); ++round)
    {
        SecureReadResult result = DefeatCache(first.nFirst, first.nFirst + n);
        if (result != SecureReadResult::Done)
            return result;
        // The open sectors again, in runs of neighbours.
        for (std::size_t k = 0; k < open.size();)
        {
            std::size_t m = k + 1;
            while (m < open.size() && open[m] == open[m - 1] + 1 && open[m] - open[k] < maxRun)
                ++m;
            const int from = open[k];
            const int count = open[m - 1] - from + 1;
            result = bJitter ? ReadAligned(first.nFirst + from, count, first, out, data.data(), bRead, bFlagged)
                             : ReadRun(first.nFirst + from, count, data.data(), bRead, bFlagged, true);
            if (result != SecureReadResult::Done)
                return result;
            for (int j = 0; j < count; ++j)
                if (bRead[j])
                    addVersion(from + j, data.data() + std::size_t(j) * CD_SECTOR_SIZE, bFlagged[j]);
            k = m;
        }
        std::vector<int> stillOpen;
        for (int i : open)
        {
            const auto proven = std::find_if(versions[i].begin(), versions[i].end(),
                                             [](const SectorVersion& v) { return v.nCleanReads >= 2; });
            if (proven != versions[i].end())
            {
                std::memcpy(out.data() + std::size_t(i) * CD_SECTOR_SIZE, proven->data.data(), CD_SECTOR_SIZE);
                verdicts[i] = SectorVerdict::Proven;
            }
            else
            {
                stillOpen.push_back(i);
            }
        }
        open.swap(stillOpen);
    }
    for (int i : open)
    {
        uint8_t* at = out.data() + std::size_t(i) * CD_SECTOR_SIZE;
        if (versions[i].empty())
        {
            std::memset(at, 0, CD_SECTOR_SIZE);
            verdicts[i] = SectorVerdict::ReadError;
            continue;
        }
        const auto most = std::max_element(versions[i].begin(), versions[i].end(),
                                           [](const SectorVersion& a, const SectorVersion& b) {
                                               return a.nReads != b.nReads ? a.nReads < b.nReads
                                                                           : a.nCleanReads < b.nCleanReads;
                                           });
        std::memcpy(at, most->data.data(), CD_SECTOR_SIZE);
        verdicts[i] = SectorVerdict::Suspicious;
    }
    return SecureReadResult::Done;
}

SecureReadResult TrackReader::DeliverWindow(const Pass& window, const std::vector<uint8_t>& data, bool bAsRead,
                                            const std::vector<SectorVerdict>& verdicts, SecureTrackReport& report)
{
    for (int i = 0; i < window.nSectors; ++i)
        if (verdicts[i] == SectorVerdict::Suspicious)
            report.suspicious.push_back(window.nFirst + i);
        else if (verdicts[i] == SectorVerdict::ReadError)
            report.readErrors.push_back(window.nFirst + i);
    // The window's frames in one run, but those before the track's first
    // (the offset) and after its last: the sink is written in large blocks.
    const uint32_t windowFrames = uint32_t(window.nSectors) * CD_FRAMES_PER_SECTOR;
    const uint32_t skip = std::min(nSkipLeft, windowFrames);
    nSkipLeft -= skip;
    const uint32_t n = std::min(windowFrames - skip, nFramesLeft);
    if (n == 0)
        return SecureReadResult::Done;
    const uint8_t* frames = data.data() + std::size_t(skip) * 4;
    if (settings.bSecondPass && !bAsRead && bTestIsCopy)
    {
        // From here on the first pass differs from the copy.
        bTestIsCopy = false;
        report.nTestCrc = report.copy.Crc();
    }
    if (settings.bSecondPass && !bTestIsCopy)
        report.nTestCrc = Crc32(report.nTestCrc, window.data.data() + std::size_t(skip) * 4, std::size_t(n) * 4);
    report.copy.Add(frames, n);
    if (settings.bSecondPass && bTestIsCopy)
        report.nTestCrc = report.copy.Crc();
    if (!events.Deliver(frames, n))
        return SecureReadResult::Stopped;
    nFramesLeft -= n;
    report.nFrames += n;
    return SecureReadResult::Done;
}

SecureReadResult TrackReader::Run(int32_t startSector, int32_t endSector, SecureTrackReport& report,
                                 SecureReadBuffers& buffers)
{
    report = SecureTrackReport{};
    report.bMisplacedReads = bJitter;
    plan = PlanOffsetRead(startSector, endSector, settings.nCorrectionFrames);
    nFramesLeft = plan.nFrames;
    nSkipLeft = plan.nSkipFrames;
    chunkC2.resize(std::size_t(CD_MAX_READ_SECTORS) * C2_BYTES_PER_SECTOR);
    const int32_t total = plan.nEndSector - plan.nFirstSector;

    // Each window's second pass comes after the next window's first, which
    // pushes the window out of the drive's cache. The last window is pushed
    // out by the second pass of the window before it, when that one holds as
    // much as a cache, else by a read elsewhere.
    Window& current = buffers.current;
    Window& next = buffers.next;
    Window& again = buffers.again;
    bool bPushedOut = false;  // the current window's first pass is out of the cache
    std::vector<uint8_t>& proven = buffers.proven;
    std::vector<SectorVerdict>& verdicts = buffers.verdicts;
    auto windowSize = [&](int32_t first) {
        return int(std::min<int32_t>(settings.nCacheSectors + CD_MAX_READ_SECTORS, plan.nEndSector - first));
    };
    SecureReadResult result = ReadWindow(plan.nFirstSector, windowSize(plan.nFirstSector), current, true);
    while (result == SecureReadResult::Done)
    {
        const int32_t nextFirst = current.pass.nFirst + current.pass.nSectors;
        const bool bLast = nextFirst >= plan.nEndSector;
        if (settings.bSecondPass)
        {
            if (!bLast)
                result = ReadWindow(nextFirst, windowSize(nextFirst), next, true);
            else if (!bPushedOut)
                result = DefeatCache(current.pass.nFirst, nextFirst);
            // Without C2 pointers, in fewer reads: a sector is proven only
            // when the first pass read it unflagged, and a read that differs
            // from that needs no pointer to be noticed. A drive that
            // misplaces its reads is read alike in both passes: reads of
            // one length took fewer reads to place on each other.
            if (result == SecureReadResult::Done)
                result = ReadWindow(current.pass.nFirst, current.pass.nSectors, again, bJitter);
        }
        else if (!bLast)
        {
            result = ReadWindow(nextFirst, windowSize(nextFirst), next, true);
        }
        if (result == SecureReadResult::Done && !bJitter && settings.bSecondPass
            && LooksMisplaced(current.pass, again.pass))
        {
            // The drive misplaces its reads: this window again, and the rest
            // of the track, with overlapping reads placed by their audio.
            bJitter = true;
            report.bMisplacedReads = true;
            bPushedOut = false;
            result = ReadWindow(current.pass.nFirst, current.pass.nSectors, current, true);
            continue;
        }
        if (result == SecureReadResult::Done && bJitter)
            result = PlaceWindow(current, settings.bSecondPass ? &again : nullptr);
        bool bAsRead = false;
        if (result == SecureReadResult::Done)
            result = ProveWindow(current.pass, settings.bSecondPass ? &again.pass : nullptr, proven, verdicts,
                                 bAsRead);
        const std::vector<uint8_t>& delivered = bAsRead ? current.pass.data : proven;
        if (result == SecureReadResult::Done)
            result = DeliverWindow(current.pass, delivered, bAsRead, verdicts, report);
        if (result != SecureReadResult::Done || bLast)
            break;
        bPushedOut = current.pass.nSectors >= settings.nCacheSectors;
        tail.assign(delivered.end() - CD_SECTOR_SIZE, delivered.end());
        nTailSector = nextFirst - 1;
        events.Progress(double(nextFirst - plan.nFirstSector) / total);
        std::swap(current, next);
    }
    return result;
}

} // namespace

std::shared_ptr<SecureReadBuffers> NewSecureReadBuffers() { return std::make_shared<SecureReadBuffers>(); }

SecureReadResult ReadTrackSecurely(AudioSectorReader& reader, const SecureReadSettings& settings,
                                   int32_t startSector, int32_t endSector, SecureReadEvents& events,
                                   SecureTrackReport& report, SecureReadBuffers* buffers)
{
    TrackReader track(reader, settings, events);
    if (buffers)
        return track.Run(startSector, endSector, report, *buffers);
    SecureReadBuffers own;
    return track.Run(startSector, endSector, report, own);
}
