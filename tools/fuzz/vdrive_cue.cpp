// The virtual drive's cue sheets, written to a file of their own beside two
// small images: a sheet that loads gives a disc of 1 to 99 tracks, each
// starting within the disc, and a drive serving it answers READ TOC with a
// table that the program reads back as those tracks, and READ CD with the
// sectors it holds. Paths beside a file are joined as their header says.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "cdrom/CDCommandBlocks.h"
#include "vdrive/VirtualDrive.h"

namespace {

// A folder of the run's own, with "a.bin" (10 sectors) and "b.bin" (300 and a
// half), so that the sheets' FILE lines find something; removed at exit.
std::string folder;

void RemoveFolder()
{
    for (const char* name : {"a.bin", "b.bin", "disc.cue"})
        unlink((folder + "/" + name).c_str());
    rmdir(folder.c_str());
}

void MakeFolder()
{
    char pattern[] = "/tmp/vdrive-cue-fuzz-XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern));
    folder = pattern;
    atexit(RemoveFolder);
    for (const auto& image : {std::make_pair("a.bin", 10 * 2352), std::make_pair("b.bin", 300 * 2352 + 1176)})
    {
        FILE* file = fopen((folder + "/" + image.first).c_str(), "wb");
        FUZZ_CHECK(file);
        for (int i = 0; i < image.second; ++i)
            fputc(i * 7 & 0xFF, file);
        fclose(file);
    }
}

void CheckResolve(const std::string& file, const std::string& path)
{
    const std::string joined = ResolveBesideFile(file, path);
    const std::size_t separator = file.find_last_of("/\\");
    const bool bAbsolute = (!path.empty() && (path[0] == '/' || path[0] == '\\')) || (path.size() > 1 && path[1] == ':');
    if (bAbsolute || separator == std::string::npos)
        FUZZ_CHECK(joined == path);
    else
        FUZZ_CHECK(joined == file.substr(0, separator + 1) + path);
}

void CheckDrive(const std::string& cuePath, const VirtualDisc& disc)
{
    DriveConfig config;
    config.image = cuePath;
    std::string errors;
    VirtualDrive drive(config, errors);
    FUZZ_CHECK(drive.HasDisc() && errors.empty());

    uint8_t cdb[12];
    MakeReadTOCCdb(cdb);
    std::vector<uint8_t> buffer(TOC_RESPONSE_SIZE, TOC_UNSENT_FILL);
    const CommandResult answer = drive.Execute(cdb, 10, buffer.data(), static_cast<uint32_t>(buffer.size()));
    FUZZ_CHECK(answer.status == SCSI_STATUS_GOOD);
    FUZZ_CHECK(TOCResponseBytesSent(buffer.data(), buffer.size()) == answer.nTransferred);
    CDTableOfContents toc;
    const ProcessResult read = ParseTOCResponse(buffer.data(), answer.nTransferred, toc);
    const std::vector<VirtualTrack>& tracks = disc.Tracks();
    if (disc.LeadOut() > CD_LAST_ADDRESS)
    {
        FUZZ_CHECK(read == Failed);
        return;
    }
    FUZZ_CHECK(read == Done && toc.nTracks == tracks.size());
    for (std::size_t i = 0; i < tracks.size(); ++i)
        FUZZ_CHECK(toc.nStartSector[i] == tracks[i].startSector && toc.bData[i] == !tracks[i].bAudio);
    FUZZ_CHECK(toc.nStartSector[tracks.size()] == disc.LeadOut());

    // Each track's first sectors, and a read over the end.
    std::vector<uint8_t> sectors(2 * CD_SECTOR_SIZE);
    for (const VirtualTrack& track : tracks)
    {
        const int n = track.startSector + 2 <= disc.LeadOut() ? 2 : 1;
        MakeReadCDCdb(cdb, track.startSector, static_cast<uint8_t>(n));
        const CommandResult result = drive.Execute(cdb, 12, sectors.data(), static_cast<uint32_t>(sectors.size()));
        // A sector in a gap between sessions cannot be read.
        FUZZ_CHECK(result.status == SCSI_STATUS_GOOD || result.status == SCSI_STATUS_CHECK_CONDITION);
        if (result.status == SCSI_STATUS_GOOD)
            FUZZ_CHECK(result.nTransferred == static_cast<uint32_t>(n) * CD_SECTOR_SIZE);
    }
    MakeReadCDCdb(cdb, disc.LeadOut(), 1);
    FUZZ_CHECK(drive.Execute(cdb, 12, sectors.data(), static_cast<uint32_t>(sectors.size())).status
               == SCSI_STATUS_CHECK_CONDITION);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (folder.empty())
        MakeFolder();
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The first two lines as a file and a path beside it.
    const std::size_t lineEnd = std::min(text.find('\n'), text.size());
    const std::size_t secondEnd = lineEnd < text.size() ? std::min(text.find('\n', lineEnd + 1), text.size()) : text.size();
    CheckResolve(text.substr(0, lineEnd), text.substr(std::min(lineEnd + 1, text.size()), secondEnd - std::min(lineEnd + 1, text.size())));
    // The sheet's files stay in the run's folder: no separators, so no other
    // file is opened.
    if (text.find_first_of("/\\") != std::string::npos)
        return 0;

    const std::string cuePath = folder + "/disc.cue";
    FILE* cue = fopen(cuePath.c_str(), "wb");
    FUZZ_CHECK(cue);
    FUZZ_CHECK(fwrite(data, 1, size, cue) == size);
    fclose(cue);

    VirtualDisc disc;
    std::string error;
    if (!disc.Load(cuePath, error))
    {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    const std::vector<VirtualTrack>& tracks = disc.Tracks();
    FUZZ_CHECK(!tracks.empty() && tracks.size() <= 99);
    FUZZ_CHECK(disc.LeadOut() > 0);
    for (const VirtualTrack& track : tracks)
        FUZZ_CHECK(track.startSector >= 0 && track.startSector < disc.LeadOut());
    CheckDrive(cuePath, disc);
    return 0;
}
