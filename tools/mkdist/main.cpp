// mkdist: builds the distributed setup file from the files it installs.
//   mkdist OUT.exe FILE...
// One FILE per entry of the install table, in its order, the program itself
// first. Behind the files come their sizes, the CRC-32 of the files and the
// size table, and the install trailer. An empty FILE is refused: the setup
// program takes a listed file of no bytes for a damaged setup file.
#include <cstdio>
#include <vector>

#include "files/Crc.h"
#include "setup/InstallPayload.h"

namespace {

bool ReadWhole(const char* path, std::vector<unsigned char>& bytes)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return false;
    unsigned char block[65536];
    std::size_t n;
    while ((n = fread(block, 1, sizeof(block), file)) > 0)
        bytes.insert(bytes.end(), block, block + n);
    const bool bRead = !ferror(file);
    fclose(file);
    return bRead;
}

} // namespace

int main(int argc, char** argv)
{
    const int nFiles = CountInstallFiles(InstallFileTable);
    if (argc != nFiles + 2)
    {
        fprintf(stderr, "usage: mkdist OUT.exe");
        for (int i = 0; i < nFiles; ++i)
            fprintf(stderr, " %s", InstallFileTable[i].szFileName);
        fprintf(stderr, "\n");
        return 2;
    }

    std::vector<unsigned char> payload;
    PayloadLayout layout = {};
    layout.nFiles = nFiles;
    for (int i = 0; i < nFiles; ++i)
    {
        const char* path = argv[i + 2];
        const std::size_t before = payload.size();
        if (!ReadWhole(path, payload))
        {
            fprintf(stderr, "mkdist: cannot read %s\n", path);
            return 1;
        }
        if (payload.size() == before)
        {
            fprintf(stderr, "mkdist: %s is empty\n", path);
            return 1;
        }
        if (payload.size() - before > 0xFFFFFFFFu)
        {
            fprintf(stderr, "mkdist: %s is too large\n", path);
            return 1;
        }
        layout.nSizes[i] = static_cast<uint32_t>(payload.size() - before);
    }
    layout.nChecksum = PayloadChecksum(Crc32(0, payload.data(), payload.size()), layout);
    payload.resize(payload.size() + PayloadTailBytes(nFiles));
    WritePayloadTail(layout, payload.data() + payload.size() - PayloadTailBytes(nFiles));

    FILE* out = fopen(argv[1], "wb");
    if (!out)
    {
        fprintf(stderr, "mkdist: cannot create %s\n", argv[1]);
        return 1;
    }
    const bool bWritten = fwrite(payload.data(), 1, payload.size(), out) == payload.size();
    if (fclose(out) != 0 || !bWritten)
    {
        fprintf(stderr, "mkdist: cannot write %s\n", argv[1]);
        remove(argv[1]);
        return 1;
    }
    return 0;
}
