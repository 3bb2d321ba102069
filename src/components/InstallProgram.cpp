#include "components/InstallProgram.h"

#include "components/ComponentServers.h"
#include "components/LFileTransferProtocol.h"
#include "files/LFile.h"
#include "files/TextBuffer.h"
#include "jobs/ChildProcess.h"
#include "settings/RegistryKeys.h"
#include "settings/SettingsStore.h"

namespace {

constexpr unsigned SETUP_TIME_LIMIT_MS = 120000;

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

    if (result == Done)
    {
        job.SetText(0, "Running install-on-demand");
        // How the setup ends is its own affair; one that outlives the wait keeps running.
        ProcessRunCommandLineProcess(job, localPath, SETUP_TIME_LIMIT_MS);
        // A setup still running keeps its file, and the deletion fails quietly.
        DeleteFileA(localPath);
    }
    // Otherwise the download removed what it wrote itself: a file of that
    // name it never wrote (no server had the setup) is not this program's.
    return result;
}
