// The virtual drive's configuration file: every drive it yields has its
// address in range, its image beside the file (or none), and settings within
// their bounds (counts not negative, sector ranges in order, offset, jitter
// and cache no wider than the drive allows); every other line with words is
// reported.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "vdrive/VirtualDrive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string configPath = "/configs/vdrive.txt";
    std::string errors;
    const std::vector<DriveConfig> drives = ParseDriveConfig(text, configPath, errors);

    std::size_t nLines = 0;
    for (std::size_t at = 0; at < text.size(); at = text.find('\n', at) == std::string::npos ? text.size() : text.find('\n', at) + 1)
        ++nLines;
    std::size_t nErrors = 0;
    for (std::size_t at = 0; (at = errors.find('\n', at)) != std::string::npos; ++at)
        ++nErrors;
    FUZZ_CHECK(drives.size() + nErrors <= nLines);
    FUZZ_CHECK(errors.empty() || errors.back() == '\n');
    for (const DriveConfig& drive : drives)
    {
        FUZZ_CHECK(drive.adapter >= 0 && drive.adapter <= 7);
        FUZZ_CHECK(drive.target >= 0 && drive.target <= 15);
        FUZZ_CHECK(drive.lun >= 0 && drive.lun <= 7);
        FUZZ_CHECK(drive.delayMs >= 0 && drive.busy >= 0 && drive.tocClaim >= 0);
        FUZZ_CHECK(drive.failLba >= -1 && drive.hangLba >= -1);
        FUZZ_CHECK(drive.offset >= -kMaxOffsetFrames && drive.offset <= kMaxOffsetFrames);
        FUZZ_CHECK(drive.jitter >= 0 && drive.jitter <= kMaxJitterFrames);
        FUZZ_CHECK(drive.cache >= 0 && drive.cache <= kMaxCacheSectors && drive.retryMs >= 0);
        for (const SectorRange& range : {drive.flip, drive.flipTransient, drive.unreadable})
            FUZZ_CHECK(range.Empty() ? range.first == 0 && range.last == -1 : range.first >= 0 && range.last <= INT32_MAX);
        const bool bAbsolute = !drive.image.empty() && (drive.image[0] == '/' || drive.image[0] == '\\'
                                                       || (drive.image.size() > 1 && drive.image[1] == ':'));
        FUZZ_CHECK(drive.image.empty() || bAbsolute || drive.image.compare(0, 9, "/configs/") == 0);
        FUZZ_CHECK(drive.image.find_first_of(" \t\n#") == std::string::npos);
    }
    return 0;
}
