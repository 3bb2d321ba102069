// The distributed setup file: the program's own image, the other files to
// install back to back, one 32-bit size per file, a CRC-32 of the files and
// the size table, and the install trailer. All integers are little-endian. The last four bytes
// of the program's own file (its trailer) say whether a start is the setup
// file, the uninstaller or the program itself.
#pragma once

#include <cstddef>
#include <cstdint>

#include "files/TextBuffer.h"

constexpr uint32_t TRAILER_INSTALL = 0x0F0FF0F0;
constexpr uint32_t TRAILER_UNINSTALL = 0xF0F00F0F;

// True when the file title of `programPath` (the name after the last
// separator, without its extension) contains "SETUP" in any case.
bool IsSetupFileName(const char* programPath);

struct InstallFile
{
    // Where the file goes below the install folder; null (or "ProgramFiles",
    // "DataFiles") is the install folder itself.
    const char* szFolderKey;
    // Null ends a table.
    const char* szFileName;
};

constexpr int MAX_INSTALL_FILES = 128;

// The files this program installs, in payload order; the first is the
// program itself.
extern const InstallFile InstallFileTable[];

// The entries before the one without a name, at most MAX_INSTALL_FILES.
int CountInstallFiles(const InstallFile* table);

// The bytes after the payload: N sizes, the checksum and the trailer.
constexpr std::size_t PayloadTailBytes(int nFiles) { return 4 * (static_cast<std::size_t>(nFiles) + 2); }

struct PayloadLayout
{
    int nFiles;
    uint32_t nSizes[MAX_INSTALL_FILES];
    // The CRC-32 (files/Crc.h) of the files' bytes followed by the size
    // table as it is stored: sizes that are shifted, or bytes added anywhere
    // (zeros too), change it.
    uint32_t nChecksum;
};

// The checksum of a payload from `filesCrc`, the CRC-32 of the files' bytes:
// the size table of `layout` carries it on.
uint32_t PayloadChecksum(uint32_t filesCrc, const PayloadLayout& layout);

// Reads the sizes and the checksum from the last PayloadTailBytes(nFiles)
// bytes `tail` of a file of `fileLength` bytes. False unless the trailer is
// the install trailer, every file has at least one byte, and the files fill
// exactly the bytes before the tail, so that no size can reach past the file
// or into its tail.
bool ReadPayloadTail(const unsigned char* tail, int nFiles, uint64_t fileLength, PayloadLayout& layout);

// Writes the tail of `layout` into `tail` (PayloadTailBytes bytes).
void WritePayloadTail(const PayloadLayout& layout, unsigned char* tail);

// The installed path of `file` in `installFolder` (no trailing separator).
void InstallDestination(char (&path)[TEXT_BUFFER_SIZE], const char* installFolder, const InstallFile& file);
// Where `file` is written before it replaces its installed copy: the
// destination with ".new" after it. False when that does not fit.
bool InstallStagingPath(char (&path)[TEXT_BUFFER_SIZE], const char* installFolder, const InstallFile& file);
