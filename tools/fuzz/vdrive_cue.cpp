// The virtual drive's cue sheets, written to a file of their own beside two
// small images: a sheet that loads gives a disc of 1 to 99 tracks, each
// starting within the disc, and a drive serving it answers READ TOC with a
// table that the program reads back as those tracks, and READ CD with the
// sectors it holds. Its sub-channel answers name the disc's tracks, with
// indexes 0 and 1 and good CRCs; its CD-Text is whole packs with good CRCs,
// numbered in order and counted by the size information; a drive with an
// offset, wrong samples, honest C2 pointers and a cache flags exactly the
// bytes that differ from what it should have read. Paths beside a file are
// joined as their header says.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "cdrom/CDCommandBlocks.h"
#include "files/Crc.h"
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

bool IsTrack(const VirtualDisc& disc, int number)
{
    for (const VirtualTrack& track : disc.Tracks())
        if (track.number == number)
            return true;
    return number == 0xAA;
}

void CheckCdText(VirtualDrive& drive)
{
    const uint8_t cdb[10] = {0x43, 0, 5, 0, 0, 0, 0, 0xFF, 0xFF, 0};
    std::vector<uint8_t> response(0xFFFF);
    const CommandResult answer = drive.Execute(cdb, 10, response.data(), static_cast<uint32_t>(response.size()));
    FUZZ_CHECK(answer.status == SCSI_STATUS_GOOD && answer.nTransferred >= 4);
    const std::size_t length = static_cast<std::size_t>(response[0] << 8 | response[1]);
    FUZZ_CHECK(length + 2 == answer.nTransferred && (length - 2) % 18 == 0);
    const std::size_t nPacks = (length - 2) / 18;
    if (nPacks == 0)
        return;
    FUZZ_CHECK(nPacks >= 4 && nPacks <= 256);
    int counts[16] = {};
    for (std::size_t i = 0; i < nPacks; ++i)
    {
        const uint8_t* pack = &response[4 + 18 * i];
        FUZZ_CHECK(CdCrc16(pack, 16) == (pack[16] << 8 | pack[17]));
        FUZZ_CHECK(pack[2] == i && pack[0] >= 0x80 && pack[0] <= 0x8F);
        FUZZ_CHECK((pack[0] == 0x8F) == (i + 3 >= nPacks));
        ++counts[pack[0] & 15];
    }
    // The size information, 12 bytes from each of the last three packs.
    uint8_t sizeInfo[36];
    for (int k = 0; k < 3; ++k)
        memcpy(sizeInfo + 12 * k, &response[4 + 18 * (nPacks - 3 + k) + 4], 12);
    for (int type = 0; type < 16; ++type)
        FUZZ_CHECK(sizeInfo[4 + type] == counts[type]);
    FUZZ_CHECK(sizeInfo[20] == nPacks - 1);
}

void CheckSubChannel(VirtualDrive& drive, const VirtualDisc& disc)
{
    std::vector<uint8_t> response(24);
    for (int format = 1; format <= 3; ++format)
    {
        const uint8_t cdb[10] = {0x42, 0, 0x40, static_cast<uint8_t>(format), 0, 0,
                                 static_cast<uint8_t>(disc.Tracks().front().number), 0, 24, 0};
        const CommandResult answer = drive.Execute(cdb, 10, response.data(), 24);
        FUZZ_CHECK(answer.status == SCSI_STATUS_GOOD && answer.nTransferred == (format == 1 ? 16u : 24u));
        FUZZ_CHECK(response[4] == format);
        if (format == 1)
            FUZZ_CHECK(IsTrack(disc, response[6]) && response[7] <= 1);
        if (format == 2 && response[8])
            FUZZ_CHECK(std::string(reinterpret_cast<const char*>(&response[9]), 13) == disc.Catalog());
        if (format == 3 && response[8])
            FUZZ_CHECK(std::string(reinterpret_cast<const char*>(&response[9]), 12) == disc.Tracks().front().isrc);
    }
}

// A read of two sectors with C2 pointers and Q from a plain drive and from
// one with faults: the faults' drive differs from the plain one's shifted
// bytes exactly where its pointers say.
void CheckFaults(const std::string& cuePath, int32_t lba)
{
    const int kOffset = 30;
    DriveConfig plainConfig, faultsConfig;
    plainConfig.image = faultsConfig.image = cuePath;
    plainConfig.bOverread = faultsConfig.bOverread = true;
    faultsConfig.offset = kOffset;
    faultsConfig.flip = SectorRange{0, INT32_MAX};
    faultsConfig.cache = 2;
    std::string errors;
    VirtualDrive plain(plainConfig, errors), faults(faultsConfig, errors);
    const int kStride = CD_SECTOR_SIZE + 294 + 16;
    std::vector<uint8_t> right(3 * kStride), wrong(2 * kStride);
    uint8_t cdb[12];
    MakeReadCDCdb(cdb, lba - 1, 3);
    cdb[9] = 0xFA;
    cdb[10] = 0x02;
    const CommandResult rightAnswer = plain.Execute(cdb, 12, right.data(), static_cast<uint32_t>(right.size()));
    MakeReadCDCdb(cdb, lba, 2);
    cdb[9] = 0xFA;
    cdb[10] = 0x02;
    for (int pass = 0; pass < 2; ++pass)  // the second from the cache
    {
        const CommandResult answer = faults.Execute(cdb, 12, wrong.data(), static_cast<uint32_t>(wrong.size()));
        // Sectors in a gap between sessions cannot be read; the rest can, with faults or without.
        if (rightAnswer.status != SCSI_STATUS_GOOD)
            return;
        FUZZ_CHECK(answer.status == SCSI_STATUS_GOOD);
        for (int s = 0; s < 2; ++s)
        {
            const uint8_t* sector = &wrong[s * kStride];
            for (int b = 0; b < CD_SECTOR_SIZE; ++b)
            {
                // The plain read's bytes from 30 frames earlier.
                const int from = (s + 1) * CD_SECTOR_SIZE + b - 4 * kOffset;
                const uint8_t expected = right[from / CD_SECTOR_SIZE * kStride + from % CD_SECTOR_SIZE];
                const bool bFlagged = (sector[CD_SECTOR_SIZE + b / 8] >> (7 - b % 8)) & 1;
                FUZZ_CHECK(bFlagged == (sector[b] != expected));
            }
            const uint8_t* q = sector + CD_SECTOR_SIZE + 294;
            FUZZ_CHECK(CdCrc16(q, 10) == (q[10] << 8 | q[11]));
            FUZZ_CHECK((q[2] == 0 || q[2] == 1) && (q[0] & 0x0F) == 1);
        }
    }
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
    CheckCdText(drive);
    CheckSubChannel(drive, disc);
    CheckFaults(cuePath, tracks.back().startSector);
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
