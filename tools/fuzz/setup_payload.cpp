// A setup file's tail, as the install job reads it from a download it does
// not control: a tail that is taken never lets a size reach past the payload,
// reads back as it was written, names no file of no bytes, and the checksum
// is the CRC-32 of the files and the stored size table, the same in any chunks.
#include <cstring>
#include <vector>

#include "FuzzCheck.h"
#include "files/Crc.h"
#include "setup/InstallPayload.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const int nFiles = CountInstallFiles(InstallFileTable);
    const std::size_t tailBytes = PayloadTailBytes(nFiles);
    if (size < tailBytes)
        return 0;
    PayloadLayout layout;
    if (ReadPayloadTail(data + size - tailBytes, nFiles, size, layout))
    {
        uint64_t total = 0;
        for (int i = 0; i < nFiles; ++i)
        {
            FUZZ_CHECK(layout.nSizes[i] > 0 && layout.nSizes[i] <= size - tailBytes);
            total += layout.nSizes[i];
        }
        FUZZ_CHECK(total == size - tailBytes);
        std::vector<unsigned char> tail(tailBytes);
        WritePayloadTail(layout, tail.data());
        FUZZ_CHECK(std::memcmp(tail.data(), data + size - tailBytes, tailBytes) == 0);
        // The files and the size table, as they lie in the setup file.
        const std::size_t covered = size - tailBytes + 4 * static_cast<std::size_t>(nFiles);
        FUZZ_CHECK(PayloadChecksum(Crc32(0, data, size - tailBytes), layout) == Crc32(0, data, covered));
    }
    const std::size_t half = size / 2;
    FUZZ_CHECK(Crc32(Crc32(0, data, half), data + half, size - half) == Crc32(0, data, size));
    return 0;
}
