#include "setup/InstallPayload.h"

#include <cctype>
#include <cstring>

#include "files/Crc.h"
#include "files/LFile.h"

bool IsSetupFileName(const char* programPath)
{
    char title[TEXT_BUFFER_SIZE];
    LFile::_GetFileFromPath(title, programPath);
    // Only the last '.' starts the extension here, whatever the name holds.
    if (char* dot = strrchr(title, '.'))
        *dot = '\0';
    for (char* c = title; *c; ++c)
        *c = static_cast<char>(toupper(static_cast<unsigned char>(*c)));
    return strstr(title, "SETUP") != nullptr;
}

const InstallFile InstallFileTable[] = {
    {nullptr, "corvane.exe"},
    {nullptr, "corvane.hlp"},
    {nullptr, "mp3enc.exe"},
    {nullptr, nullptr},
};

int CountInstallFiles(const InstallFile* table)
{
    int n = 0;
    while (n < MAX_INSTALL_FILES && table[n].szFileName)
        ++n;
    return n;
}

namespace {

uint32_t ReadDword(const unsigned char* bytes)
{
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void WriteDword(unsigned char* bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

} // namespace

uint32_t PayloadChecksum(uint32_t filesCrc, const PayloadLayout& layout)
{
    unsigned char sizes[4 * MAX_INSTALL_FILES];
    for (int i = 0; i < layout.nFiles; ++i)
        WriteDword(sizes + 4 * i, layout.nSizes[i]);
    return Crc32(filesCrc, sizes, 4 * static_cast<std::size_t>(layout.nFiles));
}

bool ReadPayloadTail(const unsigned char* tail, int nFiles, uint64_t fileLength, PayloadLayout& layout)
{
    if (nFiles < 0 || nFiles > MAX_INSTALL_FILES || fileLength < PayloadTailBytes(nFiles))
        return false;
    layout.nFiles = nFiles;
    uint64_t total = 0;
    bool bAllThere = true;
    for (int i = 0; i < nFiles; ++i)
    {
        layout.nSizes[i] = ReadDword(tail + 4 * i);
        total += layout.nSizes[i];
        bAllThere = bAllThere && layout.nSizes[i] > 0;
    }
    layout.nChecksum = ReadDword(tail + 4 * nFiles);
    return bAllThere && ReadDword(tail + 4 * nFiles + 4) == TRAILER_INSTALL
           && total == fileLength - PayloadTailBytes(nFiles);
}

void WritePayloadTail(const PayloadLayout& layout, unsigned char* tail)
{
    for (int i = 0; i < layout.nFiles; ++i)
        WriteDword(tail + 4 * i, layout.nSizes[i]);
    WriteDword(tail + 4 * layout.nFiles, layout.nChecksum);
    WriteDword(tail + 4 * layout.nFiles + 4, TRAILER_INSTALL);
}

void InstallDestination(char (&path)[TEXT_BUFFER_SIZE], const char* installFolder, const InstallFile& file)
{
    const char* key = file.szFolderKey;
    if (!key || !strcmp(key, "ProgramFiles") || !strcmp(key, "DataFiles"))
        FormatText(path, sizeof(path), "%s\\%s", installFolder, file.szFileName);
    else
        FormatText(path, sizeof(path), "%s\\%s\\%s", installFolder, key, file.szFileName);
}

bool InstallStagingPath(char (&path)[TEXT_BUFFER_SIZE], const char* installFolder, const InstallFile& file)
{
    char destination[TEXT_BUFFER_SIZE];
    InstallDestination(destination, installFolder, file);
    path[0] = '\0';
    return AppendFormat(path, sizeof(path), "%s.new", destination);
}
