#include "vdrive/VirtualDisc.h"

#include <cstdio>
#include <sstream>

namespace {

const int kSectorSize = 2352;

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

// The quoted or bare file name after FILE.
std::string FileNameOf(std::istringstream& line)
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
    while (std::getline(lines, line))
    {
        ++lineNumber;
        std::istringstream words(line);
        std::string keyword;
        words >> keyword;
        const std::string where = cuePath + ":" + std::to_string(lineNumber) + ": ";
        if (keyword == "FILE")
        {
            std::string name = FileNameOf(words);
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
            segment.nSectors = static_cast<int32_t>(size / kSectorSize);
            leadOut += segment.nSectors;
            segments.push_back(segment);
        }
        else if (keyword == "TRACK")
        {
            VirtualTrack track;
            std::string mode;
            words >> track.number >> mode;
            if (segments.empty() || !(mode == "AUDIO" || mode == "MODE1/2352" || mode == "MODE2/2352"))
            {
                error = where + "unsupported TRACK line";
                return false;
            }
            track.bAudio = mode == "AUDIO";
            track.startSector = -1;
            tracks.push_back(track);
        }
        else if (keyword == "INDEX")
        {
            int index;
            std::string msf;
            int32_t offset;
            words >> index >> msf;
            if (tracks.empty() || !ParseMsf(msf, offset))
            {
                error = where + "bad INDEX line";
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
                const int32_t nBefore = offset - segment.fileSector;
                const Segment later{segment.path, offset, segment.firstSector + nBefore + kSessionGap,
                                    segment.nSectors - nBefore, nullptr};
                segment.nSectors = nBefore;
                segments.push_back(later);
                leadOut += kSessionGap;
                bSessionGapDue = false;
            }
            if (index == 1)
                tracks.back().startSector = segments.back().firstSector + offset - segments.back().fileSector;
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
        // PREGAP, POSTGAP, TITLE, PERFORMER, CATALOG, FLAGS, ISRC and other
        // remarks: nothing to serve.
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
        if (!segment->file)
        {
            FILE* file = fopen(segment->path.c_str(), "rb");
            if (!file)
                return false;
            // Whole sectors go straight into the caller's memory.
            setvbuf(file, nullptr, _IONBF, 0);
            segment->file.reset(file, fclose);
        }
        const size_t nBytes = static_cast<size_t>(nHere) * kSectorSize;
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
