#include "setup/PayloadExtract.h"

#include <memory>
#include <vector>

#include "files/Crc.h"
#include "files/LFile.h"
#include "files/TextBuffer.h"
#include "setup/InstallPayload.h"

void ShowCorruptSetupFile(HWND hOwner)
{
    MessageBoxA(hOwner,
                "Installation file corrupt.\n\nA checksum error was detected in your install file, please redownload "
                "file and install again.",
                "Install Error", MB_OK | MB_ICONWARNING);
}

namespace {

const DWORD COPY_BLOCK_BYTES = 4096;

// Reads exactly `count` bytes; false on a short read.
bool ReadExactly(HANDLE file, unsigned char* bytes, DWORD count)
{
    DWORD read = 0;
    return ReadFile(file, bytes, count, &read, nullptr) && read == count;
}

// Reads the tail and checks the payload's CRC: Done when both hold, Failed when the
// file is damaged, Stopped when the job was stopped.
ProcessResult VerifyPayload(LJobControl& job, HANDLE file, PayloadLayout& layout)
{
    const int nFiles = CountInstallFiles(InstallFileTable);
    LARGE_INTEGER length;
    unsigned char tail[PayloadTailBytes(MAX_INSTALL_FILES)];
    LARGE_INTEGER tailOffset;
    if (!GetFileSizeEx(file, &length) || length.QuadPart < static_cast<LONGLONG>(PayloadTailBytes(nFiles)))
        return Failed;
    tailOffset.QuadPart = length.QuadPart - PayloadTailBytes(nFiles);
    if (!SetFilePointerEx(file, tailOffset, nullptr, FILE_BEGIN)
        || !ReadExactly(file, tail, static_cast<DWORD>(PayloadTailBytes(nFiles)))
        || !ReadPayloadTail(tail, nFiles, static_cast<uint64_t>(length.QuadPart), layout))
        return Failed;

    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return Failed;
    uint32_t crc = 0;
    std::vector<unsigned char> block(65536);
    for (LONGLONG left = tailOffset.QuadPart; left > 0;)
    {
        const DWORD n = static_cast<DWORD>(left < static_cast<LONGLONG>(block.size()) ? left : block.size());
        if (!ReadExactly(file, block.data(), n))
            return Failed;
        crc = Crc32(crc, block.data(), n);
        left -= n;
        if (job.IsStopped())
            return Stopped;
    }
    return PayloadChecksum(crc, layout) == layout.nChecksum ? Done : Failed;
}

// Copies `size` bytes from the setup file's position into `path`: Failed
// when the file cannot be created or fully written (it is then removed),
// Stopped when the job was stopped, leaving what was written.
ProcessResult CopyOut(LJobControl& job, HANDLE source, uint32_t size, const char* path, uint32_t& copied,
                      double total)
{
    HANDLE target = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (target == INVALID_HANDLE_VALUE)
        return Failed;
    ProcessResult result = Done;
    unsigned char block[COPY_BLOCK_BYTES];
    for (uint32_t left = size; left > 0 && result == Done;)
    {
        const DWORD n = left < COPY_BLOCK_BYTES ? left : COPY_BLOCK_BYTES;
        DWORD written = 0;
        if (!ReadExactly(source, block, n) || !WriteFile(target, block, n, &written, nullptr) || written != n)
            result = Failed;
        left -= n;
        copied += n;
        job.SetProgress(copied / total);
        if (result == Done && job.IsStopped())
            result = Stopped;
    }
    if (!CloseHandle(target) && result == Done)
        result = Failed;
    if (result == Failed)
        DeleteFileA(path);
    return result;
}

} // namespace

namespace {

void ShowUnwritableFile(HWND hOwner, const char* path)
{
    char text[2 * TEXT_BUFFER_SIZE];
    FormatText(text, sizeof(text),
               "The file %s could not be written.\n\nCorvane has not been installed completely. Please free "
               "some disk space or close the programs that use the file, and run the setup file again.",
               path);
    MessageBoxA(hOwner, text, "Install Error", MB_OK | MB_ICONERROR);
}

} // namespace

ProcessResult ProcessExtractPayload(LJobControl& job, HWND hOwner, const char* setupPath, const char* installFolder)
{
    HANDLE source = CreateFileA(setupPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (source == INVALID_HANDLE_VALUE)
        return Failed;
    PayloadLayout layout = {};
    ProcessResult result = VerifyPayload(job, source, layout);
    if (result == Failed)
        ShowCorruptSetupFile(hOwner);

    LARGE_INTEGER start = {};
    if (result == Done && !SetFilePointerEx(source, start, nullptr, FILE_BEGIN))
        result = Failed;
    double total = 0;
    for (int i = 0; i < layout.nFiles; ++i)
        total += layout.nSizes[i];
    auto staged = std::make_unique<char[][TEXT_BUFFER_SIZE]>(MAX_INSTALL_FILES);
    int nStaged = 0;
    uint32_t copied = 0;
    for (int i = 0; result == Done && i < layout.nFiles; ++i)
    {
        const InstallFile& file = InstallFileTable[i];
        job.SetText(1, file.szFileName);
        char path[TEXT_BUFFER_SIZE];
        InstallDestination(path, installFolder, file);
        result = InstallStagingPath(staged[i], installFolder, file)
                     ? CopyOut(job, source, layout.nSizes[i], staged[i], copied, total)
                     : Failed;
        nStaged = i + 1;
        if (result == Failed)
            ShowUnwritableFile(hOwner, path);
    }
    CloseHandle(source);

    // Every file is whole: only now do they replace what is installed.
    for (int i = 0; result == Done && i < layout.nFiles; ++i)
    {
        char path[TEXT_BUFFER_SIZE];
        InstallDestination(path, installFolder, InstallFileTable[i]);
        if (!LFile::MoveReplacing(staged[i], path))
        {
            result = Failed;
            ShowUnwritableFile(hOwner, path);
        }
    }
    if (result != Done)
        for (int i = 0; i < nStaged; ++i)
            DeleteFileA(staged[i]);
    return result;
}

uint32_t ReadTrailer(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    uint32_t trailer = 0;
    DWORD read = 0;
    if (SetFilePointer(file, -4, nullptr, FILE_END) == INVALID_SET_FILE_POINTER
        || !ReadFile(file, &trailer, sizeof(trailer), &read, nullptr) || read != sizeof(trailer))
        trailer = 0;
    CloseHandle(file);
    return trailer;
}

void AppendTrailer(const char* path, uint32_t trailer)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const unsigned char bytes[4] = {static_cast<unsigned char>(trailer), static_cast<unsigned char>(trailer >> 8),
                                    static_cast<unsigned char>(trailer >> 16),
                                    static_cast<unsigned char>(trailer >> 24)};
    DWORD written;
    SetFilePointer(file, 0, nullptr, FILE_END);
    WriteFile(file, bytes, sizeof(bytes), &written, nullptr);
    CloseHandle(file);
}
