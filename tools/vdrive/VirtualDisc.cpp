#include "vdrive/VirtualDisc.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace {

const int kSectorSize = 2352;
const size_t kMaxTextSize = 160;

bool ParseMsf(const std::string& text, int32_t& sectors)
{
    int m, s, f;
    char tail;
    if (sscanf(text.c_str(), "%d:%d:%d%c", &m, &s, &f, &tail) != 3 || m < 0 || s < 0 || s > 59 || f < 0
        || f > 74)
        return false;
    // Minutes so many that the sector count passes 32 bits name no sector.
    const int64_t count = (static_cast<int64_t>(m) * 60 + s) * 75 + f;
    if (count > INT32_MAX)
        return false;
    sectors = static_cast<int32_t>(count);
    return true;
}

long long FileSize(const std::string& path)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return -1;
    long long size = -1;
    if (fseek(file, 0, SEEK_END) == 0)
        size = ftell(file);
    fclose(file);
    return size;
}

// The quoted or bare word after FILE, TITLE and their kin.
std::string QuotedOrBare(std::istringstream& line)
{
    line >> std::ws;
    std::string name;
    if (line.peek() == '"')
    {
        line.get();
        std::getline(line, name, '"');
    }
    else
        line >> name;
    return name;
}

} // namespace

std::string ResolveBesideFile(const std::string& file, const std::string& path)
{
    const bool absolute = (!path.empty() && (path[0] == '/' || path[0] == '\\'))
                          || (path.size() > 1 && path[1] == ':');
    const size_t separator = file.find_last_of("/\\");
    if (absolute || separator == std::string::npos)
        return path;
    return file.substr(0, separator + 1) + path;
}

bool VirtualDisc::Load(const std::string& cuePath, std::string& error)
{
    segments.clear();
    tracks.clear();
    leadOut = 0;
    catalog.clear();
    title.clear();
    performer.clear();
    songwriter.clear();
    FILE* cue = fopen(cuePath.c_str(), "rb");
    if (!cue)
    {
        error = "cannot open " + cuePath;
        return false;
    }
    std::string text;
    char block[4096];
    for (size_t n; (n = fread(block, 1, sizeof(block), cue)) > 0;)
        text.append(block, n);
    fclose(cue);

    std::istringstream lines(text);
    std::string line;
    int lineNumber = 0;
    int session = 1;
    bool bSessionGapDue = false;  // a session began whose first index is still to come
    int32_t pregapDue = 0;        // silence of the current track's PREGAP, inserted at its first index
    int32_t indexZero = -1;       // where the current track's INDEX 00 lies
    // The file's sectors from `offset` on move `nSectors` later on the disc;
    // silence fills the sectors between, or nothing (a gap between sessions).
    const auto insertBefore = [&](int32_t offset, int32_t nSectors, bool bSilence) {
        Segment& segment = segments.back();
        const int32_t nBefore = offset - segment.fileSector;
        const Segment later{segment.path, offset, segment.firstSector + nBefore + nSectors,
                            segment.nSectors - nBefore, nullptr};
        const Segment silence{"", 0, segment.firstSector + nBefore, nSectors, nullptr};
        segment.nSectors = nBefore;
        if (bSilence)
            segments.push_back(silence);
        segments.push_back(later);
        leadOut += nSectors;
    };
    while (std::getline(lines, line))
    {
        ++lineNumber;
        std::istringstream words(line);
        std::string keyword;
        words >> keyword;
        const std::string where = cuePath + ":" + std::to_string(lineNumber) + ": ";
        VirtualTrack* track = tracks.empty() ? nullptr : &tracks.back();
        if (keyword == "FILE")
        {
            std::string name = QuotedOrBare(words);
            std::string type;
            words >> type;
            if (type != "BINARY")
            {
                error = where + "only BINARY files are served";
                return false;
            }
            Segment segment{ResolveBesideFile(cuePath, name), 0, leadOut, 0, nullptr};
            long long size = FileSize(segment.path);
            if (size < 0)
            {
                error = where + "cannot open " + segment.path;
                return false;
            }
            // A disc holds fewer sectors than 32 bits count.
            if (size / kSectorSize + leadOut > INT32_MAX / 2)
            {
                error = where + "the file is too large for a disc";
                return false;
            }
            segment.nSectors = static_cast<int32_t>(size / kSectorSize);
            leadOut += segment.nSectors;
            segments.push_back(segment);
        }
        else if (keyword == "TRACK")
        {
            VirtualTrack added;
            std::string mode;
            words >> added.number >> mode;
            if (segments.empty() || added.number < 1 || added.number > 99
                || !(mode == "AUDIO" || mode == "MODE1/2352" || mode == "MODE2/2352"))
            {
                error = where + "unsupported TRACK line";
                return false;
            }
            if (track && added.number != track->number + 1)
            {
                error = where + "tracks are numbered one after another";
                return false;
            }
            added.bAudio = mode == "AUDIO";
            added.control = added.bAudio ? 0 : kControlData;
            added.startSector = -1;
            tracks.push_back(added);
            pregapDue = 0;
            indexZero = -1;
        }
        else if (keyword == "INDEX")
        {
            int index = -1;
            std::string msf;
            int32_t offset;
            words >> index >> msf;
            if (!track || index < 0 || index > 99 || !ParseMsf(msf, offset))
            {
                error = where + "bad INDEX line";
                return false;
            }
            if (track->startSector >= 0 && index <= 1)
            {
                error = where + "INDEX 00 and 01 come once each, before later indexes";
                return false;
            }
            Segment& segment = segments.back();
            if (offset < segment.fileSector || offset > segment.fileSector + segment.nSectors)
            {
                error = where + "INDEX outside its file's sectors";
                return false;
            }
            if (bSessionGapDue)
            {
                // The file's sectors from this index on lie beyond the gap.
                insertBefore(offset, kSessionGap, false);
                bSessionGapDue = false;
            }
            if (pregapDue > 0)
            {
                insertBefore(offset, pregapDue, true);
                indexZero = segments.back().firstSector - pregapDue;
                pregapDue = 0;
            }
            const int32_t place = segments.back().firstSector + offset - segments.back().fileSector;
            if (index == 0 && indexZero < 0)
                indexZero = place;
            if (index == 1)
            {
                track->startSector = place;
                track->pregapSector = indexZero >= 0 && indexZero < place ? indexZero : place;
            }
        }
        else if (keyword == "PREGAP")
        {
            std::string msf;
            words >> msf;
            if (!track || track->startSector >= 0 || indexZero >= 0 || !ParseMsf(msf, pregapDue)
                || pregapDue > INT32_MAX / 4 - leadOut)
            {
                error = where + "PREGAP belongs after TRACK, before its first INDEX";
                return false;
            }
        }
        else if (keyword == "CATALOG")
        {
            std::string code;
            words >> code;
            if (code.size() != 13 || code.find_first_not_of("0123456789") != std::string::npos)
            {
                error = where + "a CATALOG number has 13 digits";
                return false;
            }
            catalog = code;
        }
        else if (keyword == "ISRC")
        {
            std::string code;
            words >> code;
            if (!track || code.size() != 12
                || code.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos)
            {
                error = where + "an ISRC has 12 letters and digits and belongs to a TRACK";
                return false;
            }
            track->isrc = code;
        }
        else if (keyword == "FLAGS")
        {
            if (!track)
            {
                error = where + "FLAGS belong to a TRACK";
                return false;
            }
            for (std::string flag; words >> flag;)
            {
                if (flag == "PRE")
                    track->control |= kControlPreEmphasis;
                else if (flag == "DCP")
                    track->control |= kControlCopyPermitted;
                else if (flag == "4CH")
                    track->control |= kControlFourChannel;
                else if (flag != "SCMS")  // serial copy management: no CONTROL bit
                {
                    error = where + "unknown flag " + flag;
                    return false;
                }
            }
        }
        else if (keyword == "TITLE" || keyword == "PERFORMER" || keyword == "SONGWRITER")
        {
            std::string value = QuotedOrBare(words);
            // CD-Text has room for little: longer texts are cut.
            if (value.size() > kMaxTextSize)
                value.resize(kMaxTextSize);
            std::string& field = keyword == "TITLE" ? (track ? track->title : title)
                                 : keyword == "PERFORMER" ? (track ? track->performer : performer)
                                                          : (track ? track->songwriter : songwriter);
            field = value;
        }
        else if (keyword == "REM")
        {
            std::string what;
            int number = 0;
            words >> what;
            if (what == "SESSION")
            {
                // Numbered in order; only the first session may be without a track.
                if (!(words >> number) || number < session || number > session + 1
                    || (number > session && (tracks.empty() || bSessionGapDue)))
                {
                    error = where + "sessions are numbered 01, 02 ... and each holds a track";
                    return false;
                }
                bSessionGapDue = number > session;
                session = number;
            }
        }
        // POSTGAP and other remarks: nothing to serve.
    }
    if (bSessionGapDue)
    {
        error = cuePath + ": session " + std::to_string(session) + " holds no track";
        return false;
    }
    if (tracks.empty() || tracks.size() > 99)
    {
        error = cuePath + ": a disc holds 1 to 99 tracks";
        return false;
    }
    for (const VirtualTrack& track : tracks)
        if (track.startSector < 0 || track.startSector >= leadOut)
        {
            error = cuePath + ": track " + std::to_string(track.number) + " has no INDEX 01 inside its file";
            return false;
        }
    return true;
}

bool VirtualDisc::ReadSectors(int32_t lba, int nSectors, uint8_t* out)
{
    if (lba < 0 || nSectors < 0 || lba + nSectors > leadOut)
        return false;
    while (nSectors > 0)
    {
        // None holds a sector of a gap between sessions.
        Segment* segment = nullptr;
        for (Segment& s : segments)
            if (lba >= s.firstSector && lba < s.firstSector + s.nSectors)
                segment = &s;
        if (!segment)
            return false;
        const int32_t end = segment->firstSector + segment->nSectors;
        const int nHere = static_cast<int>(lba + nSectors <= end ? nSectors : end - lba);
        const size_t nBytes = static_cast<size_t>(nHere) * kSectorSize;
        if (segment->path.empty())
        {
            memset(out, 0, nBytes);
            lba += nHere;
            nSectors -= nHere;
            out += nBytes;
            continue;
        }
        if (!segment->file)
        {
            FILE* file = fopen(segment->path.c_str(), "rb");
            if (!file)
                return false;
            // Whole sectors go straight into the caller's memory.
            setvbuf(file, nullptr, _IONBF, 0);
            segment->file.reset(file, fclose);
        }
        const long place = static_cast<long>(lba - segment->firstSector + segment->fileSector) * kSectorSize;
        FILE* file = segment->file.get();
        if (fseek(file, place, SEEK_SET) != 0 || fread(out, 1, nBytes, file) != nBytes)
            return false;
        lba += nHere;
        nSectors -= nHere;
        out += nBytes;
    }
    return true;
}

DiscQPosition VirtualDisc::PositionOf(int64_t lba) const
{
    if (lba >= leadOut)
        return DiscQPosition{0xAA, 1, static_cast<int32_t>(lba - leadOut), tracks.back().control};
    // The last track whose pregap has begun; before the first one's, its pregap still.
    size_t i = 0;
    while (i + 1 < tracks.size() && tracks[i + 1].pregapSector <= lba)
        ++i;
    const VirtualTrack& track = tracks[i];
    const int32_t relative = static_cast<int32_t>(lba - track.startSector);
    return DiscQPosition{track.number, relative < 0 ? 0 : 1, relative, track.control};
}
