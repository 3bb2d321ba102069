// A setup file's tail, as the install job reads it from a download it does
// not control: a tail that is taken never lets a size reach past the payload,
// reads back as it was written, and the checksum is the same in any chunks.
#include <cstring>
#include <vector>

#include "FuzzCheck.h"
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
            FUZZ_CHECK(layout.nSizes[i] <= size - tailBytes);
            total += layout.nSizes[i];
        }
        FUZZ_CHECK(total == size - tailBytes);
        std::vector<unsigned char> tail(tailBytes);
        WritePayloadTail(layout, tail.data());
        FUZZ_CHECK(std::memcmp(tail.data(), data + size - tailBytes, tailBytes) == 0);
    }
    const std::size_t half = size / 2;
    FUZZ_CHECK(AddPayloadBytes(AddPayloadBytes(0, data, half), data + half, size - half)
               == AddPayloadBytes(0, data, size));
    return 0;
}
