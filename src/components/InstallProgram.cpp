#include "components/InstallProgram.h"

#include <vector>

#include "components/ComponentHashes.h"
#include "components/ComponentServers.h"
#include "components/LFileTransferProtocol.h"
#include "components/Sha256.h"
#include "files/LFile.h"
#include "files/TextBuffer.h"
#include "jobs/ChildProcess.h"
#include "settings/RegistryKeys.h"
#include "settings/SettingsStore.h"

namespace {

constexpr unsigned SETUP_TIME_LIMIT_MS = 120000;

// The SHA-256 of the file at `path`; false when it cannot be read whole.
bool FileSha256(const char* path, char (&hex)[SHA256_HEX_SIZE])
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    Sha256 sha;
    std::vector<BYTE> block(64 * 1024);
    DWORD nRead = 0;
    bool bRead = true;
    while ((bRead = ReadFile(file, block.data(), static_cast<DWORD>(block.size()), &nRead, nullptr) != FALSE)
           && nRead > 0)
        sha.Update(block.data(), nRead);
    CloseHandle(file);
    sha.FinalHex(hex);
    return bRead;
}

// Whether the downloaded setup is the one the program carries the digest of.
bool IsKnownSetup(const char* szSetupName, const char* path)
{
    char hex[SHA256_HEX_SIZE];
    return FileSha256(path, hex) && IsKnownComponentSetup(COMPONENT_HASHES, COMPONENT_HASH_COUNT, szSetupName, hex);
}

} // namespace

ProcessResult ProcessInstallProgram(LJobControl& job, const char* szSetupName)
{
    char localPath[TEXT_BUFFER_SIZE];
    LFile::GetTempFolder(localPath);
    LFile::FilePathCatExt(localPath, szSetupName, ".exe");
    char remoteName[TEXT_BUFFER_SIZE];
    LFile::_GetFileFromPath(remoteName, localPath);
    job.SetText(0, "Download install-on-demand");
    job.SetText(1, remoteName);

    char setting[TEXT_BUFFER_SIZE];
    ReadSettingString(SETTINGS_SECTION, COMPONENT_SERVERS_DEFAULT, "ComponentServers", setting);
    char servers[COMPONENT_SERVERS_MAX][TEXT_BUFFER_SIZE];
    const int nServers = SplitComponentServers(setting, servers);
    // Only a failure tries the next server: a Cancel ends the job.
    ProcessResult result = Failed;
    for (int i = 0; i < nServers && result == Failed; ++i)
        result = ProcessDownloadComponent(job, remoteName, servers[i], localPath);

    // Only a setup whose digest the program carries is run: a server, or
    // anyone on the way, cannot make it run a file of its own.
    if (result == Done && !IsKnownSetup(szSetupName, localPath))
    {
        DeleteFileA(localPath);
        char text[2 * TEXT_BUFFER_SIZE];
        FormatText(text, sizeof(text),
                   "The downloaded setup \"%s\" is not the one Corvane expects, so it has not been run and has been "
                   "deleted. It may have been damaged on the way or changed on the server.",
                   remoteName);
        MessageBoxA(nullptr, text, "Download Error", MB_OK | MB_ICONERROR);
        return Failed;
    }
    if (result == Done)
    {
        job.SetText(0, "Running install-on-demand");
        // How the setup ends is its own affair; one that outlives the wait keeps running.
        ProcessRunProgram(job, localPath, "", SETUP_TIME_LIMIT_MS);
        // A setup still running keeps its file, and the deletion fails quietly.
        DeleteFileA(localPath);
    }
    // Otherwise the download removed what it wrote itself: a file of that
    // name it never wrote (no server had the setup) is not this program's.
    return result;
}
