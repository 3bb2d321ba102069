#include "cdrom/SecureRead.h"

#include <algorithm>
#include <cstring>

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

class TrackReader
{
public:
    TrackReader(AudioSectorReader& reader, const SecureReadSettings& settings, SecureReadEvents& events)
        : reader(reader), settings(settings), events(events)
    {
    }

    SecureReadResult Run(int32_t startSector, int32_t endSector, SecureTrackReport& report);

private:
    SecureReadResult ReadPass(int32_t first, int nSectors, Pass& pass);
    SecureReadResult ReadRun(int32_t first, int nSectors, uint8_t* data, uint8_t* bRead, uint8_t* bFlagged);
    SecureReadResult DefeatCache(int32_t windowFirst, int32_t windowEnd);
    SecureReadResult ProveWindow(const Pass& first, const Pass* second, std::vector<uint8_t>& out,
                                 std::vector<SectorVerdict>& verdicts);
    SecureReadResult DeliverWindow(const Pass& window, const std::vector<uint8_t>& data,
                                   const std::vector<SectorVerdict>& verdicts, SecureTrackReport& report);

    AudioSectorReader& reader;
    const SecureReadSettings& settings;
    SecureReadEvents& events;
    OffsetReadPlan plan{};
    int iDefeat = 0;  // which of the defeat regions comes next
    uint32_t nFramesLeft = 0;
    uint32_t nSkipLeft = 0;
    std::vector<uint8_t> chunkC2;
};

bool AnyBitSet(const uint8_t* bytes, int n)
{
    for (int i = 0; i < n; ++i)
        if (bytes[i])
            return true;
    return false;
}

SecureReadResult TrackReader::ReadRun(int32_t first, int nSectors, uint8_t* data, uint8_t* bRead,
                                      uint8_t* bFlagged)
{
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
        const int maxRun = settings.bC2 ? CD_MAX_READ_SECTORS_WITH_C2 : CD_MAX_READ_SECTORS;
        int n = 1;
        while (n < maxRun && i + n < nSectors
               && AskForSector(sector + n, settings.nLeadOut, settings.bOverread))
            ++n;
        uint8_t* c2 = settings.bC2 ? chunkC2.data() : nullptr;
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

SecureReadResult TrackReader::ReadPass(int32_t first, int nSectors, Pass& pass)
{
    pass.nFirst = first;
    pass.nSectors = nSectors;
    pass.data.resize(std::size_t(nSectors) * CD_SECTOR_SIZE);
    pass.bRead.resize(nSectors);
    pass.bFlagged.resize(nSectors);
    return ReadRun(first, nSectors, pass.data.data(), pass.bRead.data(), pass.bFlagged.data());
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
                                          std::vector<SectorVerdict>& verdicts)
{
    const int n = first.nSectors;
    out = first.data;
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

    std::vector<uint8_t> data(std::size_t(CD_MAX_READ_SECTORS) * CD_SECTOR_SIZE);
    uint8_t bRead[CD_MAX_READ_SECTORS];
    uint8_t bFlagged[CD_MAX_READ_SECTORS];
    for (int round = 0; round < SECURE_MAX_REREADS && !open.empty(); ++round)
    {
        SecureReadResult result = DefeatCache(first.nFirst, first.nFirst + n);
        if (result != SecureReadResult::Done)
            return result;
        // The open sectors again, in runs of neighbours.
        for (std::size_t k = 0; k < open.size();)
        {
            std::size_t m = k + 1;
            while (m < open.size() && open[m] == open[m - 1] + 1 && open[m] - open[k] < CD_MAX_READ_SECTORS_WITH_C2)
                ++m;
            const int from = open[k];
            const int count = open[m - 1] - from + 1;
            result = ReadRun(first.nFirst + from, count, data.data(), bRead, bFlagged);
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

SecureReadResult TrackReader::DeliverWindow(const Pass& window, const std::vector<uint8_t>& data,
                                            const std::vector<SectorVerdict>& verdicts, SecureTrackReport& report)
{
    for (int i = 0; i < window.nSectors; ++i)
    {
        const int32_t sector = window.nFirst + i;
        // Only sectors that hold frames of the track are reported.
        if (verdicts[i] == SectorVerdict::Suspicious)
            report.suspicious.push_back(sector);
        else if (verdicts[i] == SectorVerdict::ReadError)
            report.readErrors.push_back(sector);
        const uint8_t* frames = data.data() + std::size_t(i) * CD_SECTOR_SIZE;
        uint32_t n = CD_FRAMES_PER_SECTOR;
        if (nSkipLeft > 0)
        {
            const uint32_t skip = std::min(nSkipLeft, n);
            frames += skip * 4;
            n -= skip;
            nSkipLeft -= skip;
        }
        n = std::min(n, nFramesLeft);
        if (n == 0)
            continue;
        if (settings.bSecondPass)
            report.test.Add(window.data.data() + (frames - data.data()), n);
        report.copy.Add(frames, n);
        if (!events.Deliver(frames, n))
            return SecureReadResult::Stopped;
        nFramesLeft -= n;
        report.nFrames += n;
    }
    return SecureReadResult::Done;
}

SecureReadResult TrackReader::Run(int32_t startSector, int32_t endSector, SecureTrackReport& report)
{
    report = SecureTrackReport{};
    plan = PlanOffsetRead(startSector, endSector, settings.nCorrectionFrames);
    nFramesLeft = plan.nFrames;
    nSkipLeft = plan.nSkipFrames;
    chunkC2.resize(std::size_t(CD_MAX_READ_SECTORS) * C2_BYTES_PER_SECTOR);
    const int32_t total = plan.nEndSector - plan.nFirstSector;

    // Each window's second pass comes after the next window's first, which
    // pushes the window out of the drive's cache; the last window is pushed
    // out by a read elsewhere.
    Pass current, next, again;
    std::vector<uint8_t> proven;
    std::vector<SectorVerdict> verdicts;
    auto windowSize = [&](int32_t first) {
        return int(std::min<int32_t>(settings.nCacheSectors + CD_MAX_READ_SECTORS, plan.nEndSector - first));
    };
    SecureReadResult result = ReadPass(plan.nFirstSector, windowSize(plan.nFirstSector), current);
    while (result == SecureReadResult::Done)
    {
        const int32_t nextFirst = current.nFirst + current.nSectors;
        const bool bLast = nextFirst >= plan.nEndSector;
        if (settings.bSecondPass)
        {
            result = bLast ? DefeatCache(current.nFirst, nextFirst) : ReadPass(nextFirst, windowSize(nextFirst), next);
            if (result == SecureReadResult::Done)
                result = ReadPass(current.nFirst, current.nSectors, again);
        }
        else if (!bLast)
        {
            result = ReadPass(nextFirst, windowSize(nextFirst), next);
        }
        if (result == SecureReadResult::Done)
            result = ProveWindow(current, settings.bSecondPass ? &again : nullptr, proven, verdicts);
        if (result == SecureReadResult::Done)
            result = DeliverWindow(current, proven, verdicts, report);
        if (result != SecureReadResult::Done || bLast)
            break;
        events.Progress(double(nextFirst - plan.nFirstSector) / total);
        std::swap(current, next);
    }
    return result;
}

} // namespace

SecureReadResult ReadTrackSecurely(AudioSectorReader& reader, const SecureReadSettings& settings,
                                   int32_t startSector, int32_t endSector, SecureReadEvents& events,
                                   SecureTrackReport& report)
{
    TrackReader track(reader, settings, events);
    return track.Run(startSector, endSector, report);
}
