// "Detect Read Offset": the drive's read offset correction found from a disc
// the AccurateRip database knows. The frame-450 checksum of some tracks is
// slid over every correction within ACCURATERIP_OFFSET_SEARCH frames, and the
// correction they agree on is proven by the whole-track checksums of two more.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "app/MainDialog.h"
#include "cdrom/LCDROMRipSectors.h"
#include "jobs/LProgressDialog.h"
#include "sound/SampleBlocks.h"

namespace {

const char* const CAPTION = "Detect Read Offset";
// Tracks whose sector 450 is searched, and tracks that prove the correction.
constexpr int SEARCH_TRACKS = 3;
constexpr int PROOF_TRACKS = 2;
// Sectors read on either side of sector 450: the search's frames and a
// sector more for the read's own offset.
constexpr int32_t MARGIN_SECTORS = (ACCURATERIP_OFFSET_SEARCH + CD_FRAMES_PER_SECTOR - 1) / CD_FRAMES_PER_SECTOR;

// Keeps the frames written to it as 16-bit little-endian stereo.
class FrameCapture : public LSoundSinkBase
{
public:
    FrameCapture() : LSoundSinkBase(44100, 2) {}
    void Write(const int32_t* frames, int count) override
    {
        const std::size_t at = bytes.size();
        bytes.resize(at + std::size_t(count) * 4);
        SamplesTo16LE(frames, count * 2, bytes.data() + at);
        nWritten += count;
    }

    std::vector<uint8_t> bytes;
};

struct DetectTrack
{
    int32_t nStartSector;
    int32_t nEndSector;
    int nIndex;  // among the audio tracks
    bool bFirst;
    bool bLast;
};

struct OffsetDetection
{
    uint8_t nDrive;
    int32_t nLeadOut;
    const AccurateRipDisc* pDisc;
    const std::vector<AccurateRipChunk>* pChunks;
    std::vector<DetectTrack> tracks;  // the audio tracks the database has values for
    // After Done: whether a correction was proven, and which.
    bool bFound = false;
    int32_t nCorrection = 0;
    int nProven = 0;  // tracks it made match
};

// The track's checksums, read whole with `correction`: accurate or not.
ProcessResult ReadsAccurately(LJobControl& job, const OffsetDetection& d, const DetectTrack& track, int32_t correction,
                              bool& bAccurate)
{
    LCDROMRipSectors rip;
    rip.nDrive = d.nDrive;
    rip.nStartSector = track.nStartSector;
    rip.nEndSector = track.nEndSector;
    rip.nCorrectionFrames = correction;
    rip.nLeadOut = d.nLeadOut;
    AccurateRipChecksum checksum(uint32_t(track.nEndSector - track.nStartSector) * CD_FRAMES_PER_SECTOR, track.bFirst,
                                 track.bLast);
    rip.pChecksum = &checksum;
    const ProcessResult r = Process(job, rip);
    bAccurate = r == Done
                && MatchAccurateRip(*d.pChunks, *d.pDisc, track.nIndex, checksum.V1(), checksum.V2()).status
                       == AccurateRipStatus::Accurate;
    return r;
}

ProcessResult ProcessDetectOffset(LJobControl& job, OffsetDetection& d)
{
    job.SetText(0, "Detecting the drive's read offset");
    job.SetText(1, "Reading sector 450 of the tracks...");
    // Each correction some track's frame-450 checksum allows, with the number
    // of tracks that allow it; in the order the first allowed them.
    std::vector<int32_t> candidates;
    std::vector<int> votes;
    // Tracks are left for the proof where the disc has them.
    const int nTracks = int(d.tracks.size());
    const int nSearchable = std::min(SEARCH_TRACKS, std::max(1, nTracks - PROOF_TRACKS));
    std::vector<bool> bSearched(d.tracks.size());
    int nSearched = 0;
    for (std::size_t t = 0; t < d.tracks.size() && nSearched < nSearchable; ++t)
    {
        const DetectTrack& track = d.tracks[t];
        if (track.nEndSector - track.nStartSector < 451 + MARGIN_SECTORS)
            continue;
        std::vector<uint32_t> wanted;
        for (const AccurateRipChunk& chunk : *d.pChunks)
            if (IsChunkOfDisc(chunk, *d.pDisc) && chunk.Entries[track.nIndex].frame450 != 0)
                wanted.push_back(chunk.Entries[track.nIndex].frame450);
        if (wanted.empty())
            continue;
        ++nSearched;
        bSearched[t] = true;
        // The frames from ACCURATERIP_FRAME450_START - search on, as the drive
        // gives them: the range starts a sector earlier than that, read a frame later.
        FrameCapture* capture = new FrameCapture;
        LSoundSinkPtr sink(capture);
        LCDROMRipSectors rip;
        rip.nDrive = d.nDrive;
        rip.nStartSector = track.nStartSector + 450 - MARGIN_SECTORS;
        rip.nEndSector = track.nStartSector + 451 + MARGIN_SECTORS;
        rip.nCorrectionFrames = MARGIN_SECTORS * CD_FRAMES_PER_SECTOR - ACCURATERIP_OFFSET_SEARCH;
        rip.nLeadOut = d.nLeadOut;
        rip.Sink = sink;
        const ProcessResult r = Process(job, rip);
        if (r != Done)
            return r;
        std::vector<int32_t> corrections;
        FindReadOffsets(capture->bytes.data(), ACCURATERIP_OFFSET_SEARCH, wanted.data(), int(wanted.size()),
                        corrections);
        for (int32_t c : corrections)
        {
            const auto at = std::find(candidates.begin(), candidates.end(), c);
            if (at == candidates.end())
            {
                candidates.push_back(c);
                votes.push_back(1);
            }
            else
                ++votes[std::size_t(at - candidates.begin())];
        }
    }
    // The corrections more tracks allow first.
    std::vector<std::size_t> order(candidates.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&votes](std::size_t a, std::size_t b) { return votes[a] > votes[b]; });

    job.SetText(1, "Reading tracks with the correction found...");
    for (std::size_t i : order)
    {
        const int32_t c = candidates[i];
        // Proven by the whole-track checksums of tracks that were not
        // searched (of the searched ones too, on a disc of too few).
        int nProven = 0;
        int nTried = 0;
        const bool bOthers = nSearched < nTracks;
        for (int t = nTracks - 1; t >= 0 && nTried < PROOF_TRACKS; --t)
        {
            if (bOthers && bSearched[std::size_t(t)])
                continue;
            bool bAccurate = false;
            const ProcessResult r = ReadsAccurately(job, d, d.tracks[std::size_t(t)], c, bAccurate);
            if (r != Done)
                return r;
            ++nTried;
            if (!bAccurate)
                break;
            ++nProven;
        }
        if (nProven == nTried && nProven > 0)
        {
            d.bFound = true;
            d.nCorrection = c;
            d.nProven = nProven;
            return Done;
        }
    }
    return Done;
}

} // namespace

bool MainDialog::DetectReadOffset(HWND owner, int32_t& correction)
{
    const int drive = SelectedDrive();
    const char* driveName = drive >= 0 && drive < Drives.nDrives ? DriveName(drive) : "";
    int nAudio = 0;
    for (int i = 0; i < CDDBInfo.nTracks; ++i)
        nAudio += !CDDBInfo.Tracks[i].bData;
    if (!driveName[0] || CDDBInfo.iDrive != drive || nAudio == 0)
    {
        MessageBoxA(owner, "Insert an audio CD that the AccurateRip database knows into the drive first.", CAPTION,
                    MB_OK | MB_ICONINFORMATION);
        return false;
    }
    if (!AskAccurateRip(owner))
        return false;
    if (AccurateRip.Lookup.nAnswer == AccurateRipAnswer::NotReached)
    {
        MessageBoxA(owner, "The AccurateRip database could not be reached, so the read offset cannot be detected now.",
                    CAPTION, MB_OK | MB_ICONWARNING);
        return false;
    }
    if (AccurateRip.Lookup.nAnswer == AccurateRipAnswer::NotInDatabase)
    {
        MessageBoxA(owner,
                    "This disc is not in the AccurateRip database. The read offset can only be detected with a disc "
                    "that the database knows: please try another disc.",
                    CAPTION, MB_OK | MB_ICONINFORMATION);
        return false;
    }

    auto detection = std::make_unique<OffsetDetection>();
    detection->nDrive = static_cast<uint8_t>(drive);
    detection->pDisc = &AccurateRip.Disc;
    detection->pChunks = &AccurateRip.Lookup.Chunks;
    int index = 0;
    for (int i = 0; i < CDDBInfo.nTracks; ++i)
    {
        const LCDTrack& track = CDDBInfo.Tracks[i];
        if (track.bData)
            continue;
        detection->tracks.push_back(
            {track.nStartSector, track.nEndSector, index, index == 0, index == AccurateRip.Disc.nAudioTracks - 1});
        ++index;
    }
    int first = 0;
    while (CDDBInfo.Tracks[first].bData)
        ++first;
    detection->nLeadOut = AudioLeadOut(first);
    LProgressJob<OffsetDetection> job(CAPTION, ProcessDetectOffset);
    job.pJobData = detection.get();
    job.Run(owner);
    if (job.nResult == Stopped)
        return false;
    if (job.nResult != Done)
    {
        MessageBoxA(owner, "The disc could not be read to detect the read offset.", "Error", MB_OK | MB_ICONERROR);
        return false;
    }
    if (!detection->bFound)
    {
        char text[TEXT_BUFFER_SIZE];
        FormatText(text, sizeof(text),
                   "No read offset correction from -%d to +%d frames makes this disc match the AccurateRip "
                   "database. Please try another disc.",
                   int(ACCURATERIP_OFFSET_SEARCH), int(ACCURATERIP_OFFSET_SEARCH));
        MessageBoxA(owner, text, CAPTION, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    char text[3 * TEXT_BUFFER_SIZE];
    FormatText(text, sizeof(text),
               "The read offset correction of %s is %+d: with it, the AccurateRip database confirms %d %s of "
               "this disc. Do you want to save it for this drive?",
               driveName, int(detection->nCorrection), detection->nProven,
               detection->nProven == 1 ? "track" : "tracks");
    if (MessageBoxA(owner, text, CAPTION, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    WriteDriveCorrection(driveName, detection->nCorrection);
    correction = detection->nCorrection;
    return true;
}
