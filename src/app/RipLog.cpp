#include "app/RipLog.h"

#include <cstdio>

namespace {

// m:ss.ff (75 frames a second) of a sector count.
void Time(int32_t sectors, char (&text)[24])
{
    FormatText(text, sizeof(text), "%d:%02d.%02d", int(sectors / (75 * 60)), int(sectors / 75 % 60),
               int(sectors % 75));
}

// "0:26.50-0:26.69, 1:02.00": runs of neighbouring sectors as ranges.
bool AppendPositions(char* out, std::size_t outSize, const int32_t* sectors, int n)
{
    bool bFit = true;
    for (int i = 0; i < n;)
    {
        int j = i + 1;
        while (j < n && sectors[j] == sectors[j - 1] + 1)
            ++j;
        char from[24], to[24];
        Time(sectors[i], from);
        Time(sectors[j - 1], to);
        if (j - 1 > i)
            bFit = AppendFormat(out, outSize, "%s%s-%s", i > 0 ? ", " : "", from, to) && bFit;
        else
            bFit = AppendFormat(out, outSize, "%s%s", i > 0 ? ", " : "", from) && bFit;
        i = j;
    }
    return bFit;
}

} // namespace

const char* RipLogStatusText(RipLogStatus status)
{
    switch (status)
    {
    case RipLogStatus::CopyOk:
        return "Copy OK";
    case RipLogStatus::Ripped:
        return "Ripped";
    case RipLogStatus::Suspicious:
        return "Suspicious";
    case RipLogStatus::ReadError:
        return "Read error";
    case RipLogStatus::Cancelled:
        return "Cancelled";
    case RipLogStatus::Failed:
        break;
    }
    return "Failed";
}

void FormatAccurateRipStatus(const AccurateRipResult& result, char* out, std::size_t outSize)
{
    switch (result.status)
    {
    case AccurateRipStatus::Accurate:
        FormatText(out, outSize, "Accurate (confidence %d)", result.nConfidence);
        return;
    case AccurateRipStatus::NotAccurate:
        FormatText(out, outSize, "Not accurate (%d other rips differ)", result.nDiffering);
        return;
    case AccurateRipStatus::NotInDatabase:
        FormatText(out, outSize, "Not in database");
        return;
    case AccurateRipStatus::NotReached:
        break;
    }
    FormatText(out, outSize, "Database not reached");
}

bool FormatRipLogDisc(const RipLogDisc& disc, char* out, std::size_t outSize)
{
    if (outSize == 0)
        return false;
    out[0] = '\0';
    bool bFit = AppendFormat(out, outSize, "%s rip log, %s\r\n\r\n", disc.szProgram, disc.szDate);
    bFit = AppendFormat(out, outSize, "%s / %s\r\n\r\n", disc.szArtist[0] ? disc.szArtist : "Unknown Artist",
                        disc.szAlbum[0] ? disc.szAlbum : "Audio CD") && bFit;
    bFit = AppendFormat(out, outSize, "Drive: %s\r\n", disc.szDrive) && bFit;
    bFit = AppendFormat(out, outSize, "Read mode: %s\r\n", disc.bSecure ? "Secure" : "Burst") && bFit;
    if (disc.bSecure)
    {
        bFit = AppendFormat(out, outSize, "C2 pointers: %s\r\n", disc.bC2 ? "used" : "not used") && bFit;
        bFit = AppendFormat(out, outSize, "Cache defeat: %d sectors read elsewhere between two reads\r\n",
                            disc.nCacheSectors) && bFit;
    }
    bFit = AppendFormat(out, outSize, "Read offset correction: %+d\r\n", int(disc.nCorrectionFrames)) && bFit;
    bFit = AppendFormat(out, outSize, "Overread into lead-in and lead-out: %s\r\n", disc.bOverread ? "Yes" : "No")
           && bFit;
    if (disc.szCatalog[0])
        bFit = AppendFormat(out, outSize, "Catalog number: %s\r\n", disc.szCatalog) && bFit;
    if (disc.bCDTextSkipped)
        bFit = AppendText(out, outSize, "CD-Text: MS-JIS block skipped\r\n") < outSize - 1 && bFit;
    if (disc.bSecure)
        bFit = AppendText(out, outSize,
                          "Secure mode reads every sector until two reads agree: \"Copy OK\" says the drive read\r\n"
                          "the track the same way twice, not that the data is right; AccurateRip tells that.\r\n"
                          "A track the AccurateRip database confirms after one read is not read again.\r\n")
               < outSize - 1 && bFit;

    bFit = AppendText(out, outSize, "\r\nTable of contents\r\n\r\n"
                                    "  Track |   Start  |  Length  | Start sector | End sector\r\n") < outSize - 1
           && bFit;
    for (int i = 0; i < disc.nTracks && i < RIP_LOG_MAX_TRACKS; ++i)
    {
        const auto& t = disc.Tracks[i];
        char start[24], length[24];
        Time(t.nStartSector, start);
        Time(t.nEndSector - t.nStartSector, length);
        bFit = AppendFormat(out, outSize, "   %3d  | %8s | %8s | %12d | %10d%s\r\n", t.nNumber, start, length,
                            int(t.nStartSector), int(t.nEndSector - 1),
                            t.bData ? "  (data)" : t.bPreEmphasis ? "  (pre-emphasis)" : "") && bFit;
    }
    return AppendText(out, outSize, "\r\n") < outSize - 1 && bFit;
}

bool FormatRipLogTrack(const RipLogTrack& track, char* out, std::size_t outSize)
{
    if (outSize == 0)
        return false;
    out[0] = '\0';
    bool bFit = AppendFormat(out, outSize, "Track %2d\r\n\r\n     Filename %s\r\n\r\n", track.nNumber, track.szFile);
    if (track.status == RipLogStatus::Cancelled || track.status == RipLogStatus::Failed)
        return AppendFormat(out, outSize, "     %s: no file was kept\r\n\r\n", RipLogStatusText(track.status)) && bFit;
    // Percent to one decimal, rounded down, so that only full scale says 100.0.
    const int permille = int(int64_t(track.nPeak) * 1000 / 32768);
    bFit = AppendFormat(out, outSize, "     Peak level %d.%d %%\r\n", permille / 10, permille % 10) && bFit;
    if (track.bTestCrc)
        bFit = AppendFormat(out, outSize, "     Test CRC %08X\r\n", unsigned(track.testCrc)) && bFit;
    bFit = AppendFormat(out, outSize, "     Copy CRC %08X\r\n", unsigned(track.copyCrc)) && bFit;
    if (track.nSuspicious > 0)
    {
        bFit = AppendText(out, outSize, "     Suspicious positions: ") < outSize - 1 && bFit;
        bFit = AppendPositions(out, outSize, track.pSuspicious, track.nSuspicious) && bFit;
        bFit = AppendText(out, outSize, "\r\n") < outSize - 1 && bFit;
    }
    if (track.nReadErrors > 0)
    {
        bFit = AppendText(out, outSize, "     Read error at ") < outSize - 1 && bFit;
        bFit = AppendPositions(out, outSize, track.pReadErrors, track.nReadErrors) && bFit;
        bFit = AppendText(out, outSize, " (written as silence)\r\n") < outSize - 1 && bFit;
    }
    if (const RipLogAccurateRip* ar = track.pAccurateRip)
    {
        bFit = AppendFormat(out, outSize, "     AccurateRip v1 %08X, v2 %08X\r\n", unsigned(ar->v1), unsigned(ar->v2))
               && bFit;
        for (int i = 0; i < ar->nChunkEntries; ++i)
            bFit = AppendFormat(out, outSize, "     Database checksum %08X (confidence %d)\r\n",
                                unsigned(ar->pChunkEntries[i].crc), int(ar->pChunkEntries[i].nConfidence))
                   && bFit;
        char result[64];
        FormatAccurateRipStatus(ar->result, result, sizeof(result));
        bFit = AppendFormat(out, outSize, "     AccurateRip: %s\r\n", result) && bFit;
        if (ar->bReadOnce)
            bFit = AppendText(out, outSize, "     Read once: the database proves the copy\r\n") < outSize - 1 && bFit;
    }
    return AppendFormat(out, outSize, "     %s\r\n\r\n", RipLogStatusText(track.status)) && bFit;
}

bool FormatRipLogAccurateRipSummary(int nTracks, int nAccurate, char* out, std::size_t outSize)
{
    if (outSize == 0)
        return false;
    out[0] = '\0';
    return AppendFormat(out, outSize, "Accurately ripped: %d of %d tracks\r\n", nAccurate, nTracks);
}

bool FormatRipLogSummary(int nTracks, int nCopyOk, int nRipped, int nSuspicious, int nReadErrors, bool bCancelled,
                         char* out, std::size_t outSize)
{
    if (outSize == 0)
        return false;
    out[0] = '\0';
    const int nDone = nCopyOk + nRipped + nSuspicious + nReadErrors;
    if (bCancelled)
        return AppendFormat(out, outSize, "Cancelled after %d of %d tracks\r\n", nDone, nTracks);
    if (nSuspicious + nReadErrors == 0 && nDone == nTracks)
        return AppendFormat(out, outSize, "All %d tracks %s\r\n", nTracks, nRipped ? "ripped" : "copied OK");
    return AppendFormat(out, outSize, "%d of %d tracks copied OK, %d ripped, %d suspicious, %d with read errors\r\n",
                        nCopyOk, nTracks, nRipped, nSuspicious, nReadErrors);
}
