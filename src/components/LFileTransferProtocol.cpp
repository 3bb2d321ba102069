#include "components/LFileTransferProtocol.h"

#include <atomic>
#include <vector>

#include "components/ComponentServers.h"
#include "components/ReadSize.h"
#include "files/TextBuffer.h"
#include "jobs/LSignalObject.h"
#include "jobs/LWorkerJobControl.h"

namespace {

constexpr const char* USER_AGENT = "LLIBFTP";
constexpr const char* COMPONENTS_FOLDER = "components";
// InternetGetConnectedState's flag for a machine set to work offline.
constexpr DWORD CONNECTION_OFFLINE = 0x20;
// InternetAutodial: force online, unattended.
constexpr DWORD AUTODIAL_FLAGS = 3;

// The listed size of `szRemoteName`; 0 when it is not listed or the listing
// cannot be asked for.
DWORD ListedSize(HINTERNET hService, const char* szRemoteName)
{
    auto findFirst = WinInet().FtpFindFirstFileA;
    if (!findFirst)
        return 0;
    WIN32_FIND_DATAA found = {};
    HINTERNET hFind =
        findFirst(hService, szRemoteName, &found, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (!hFind)
        return 0;
    CloseInternetHandle(hFind);
    // A listing of 4 GB or more is no setup's; the cap then bounds the download.
    return found.nFileSizeHigh ? 0 : found.nFileSizeLow;
}

// Every wait of the session for the server: connecting, and each read.
void SetTimeOuts(HINTERNET hInternet)
{
    auto setOption = WinInet().InternetSetOptionA;
    if (!setOption)
        return;
    DWORD timeout = DOWNLOAD_TIMEOUT_MS;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
        setOption(hInternet, option, &timeout, sizeof(timeout));
}

// A download on its worker thread and the job that waits for it share this;
// the last of the two to let go frees it, so a Cancel never waits for a
// WinINet call that blocks.
struct DownloadShare
{
    char szRemoteName[TEXT_BUFFER_SIZE];
    char szServer[TEXT_BUFFER_SIZE];
    char szLocalPath[TEXT_BUFFER_SIZE];
    LSignalObject stop;
    ProcessResult nResult = Failed;  // the worker's, once its thread ended
    std::atomic<int> nOwners{2};

    DownloadShare() { InitializeCriticalSection(&lock); }
    ~DownloadShare() { DeleteCriticalSection(&lock); }
    DownloadShare(const DownloadShare&) = delete;
    DownloadShare& operator=(const DownloadShare&) = delete;

    void Release()
    {
        if (--nOwners == 0)
            delete this;
    }
    // The worker's progress, every step of it, for the job to show in turn.
    void AddProgress(double fraction)
    {
        EnterCriticalSection(&lock);
        progress.push_back(fraction);
        LeaveCriticalSection(&lock);
    }
    std::vector<double> TakeProgress()
    {
        EnterCriticalSection(&lock);
        std::vector<double> taken;
        taken.swap(progress);
        LeaveCriticalSection(&lock);
        return taken;
    }

private:
    CRITICAL_SECTION lock;
    std::vector<double> progress;
};

// What the download on the worker reports to: the stop signal, and the
// progress the waiting job shows.
class DownloadWorkerJob : public LWorkerJobControl
{
public:
    explicit DownloadWorkerJob(DownloadShare& share) : LWorkerJobControl(share.stop), share(share) {}
    void SetProgress(double fraction) override { share.AddProgress(fraction); }

private:
    DownloadShare& share;
};

DWORD WINAPI DownloadThread(void* parameter)
{
    DownloadShare& share = *static_cast<DownloadShare*>(parameter);
    DownloadWorkerJob job(share);
    {
        LFileTransferProtocol ftp;
        if (!job.IsStopped() && ftp.LogOnServer(share.szServer) && !job.IsStopped()
            && ftp.SetCurrentDirectory(COMPONENTS_FOLDER))
            share.nResult = ftp.Download(job, share.szRemoteName, share.szLocalPath);
        if (job.IsStopped())
            share.nResult = Stopped;
    }
    share.Release();
    return 0;
}

// How long a Cancel waits for the worker to let go of its part file, which
// it deletes; the file of a worker held longer by a silent server is marked
// for deletion, to go when the worker lets go of it.
constexpr unsigned CANCEL_WAIT_MS = 1000;
// How often the job shows the worker's progress.
constexpr unsigned PROGRESS_INTERVAL_MS = 100;

} // namespace

LFileTransferProtocol::~LFileTransferProtocol()
{
    Disconnect();
}

bool LFileTransferProtocol::Connect()
{
    if (hInternet)
        return true;
    auto open = WinInet().InternetOpenA;
    if (!open)
        return false;
    hInternet = open(USER_AGENT, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!hInternet)
        return false;
    SetTimeOuts(hInternet);
    bAutodialled = false;

    auto connectedState = WinInet().InternetGetConnectedState;
    if (!connectedState)
        return true;
    DWORD flags = 0;
    if (connectedState(&flags, 0) && !(flags & CONNECTION_OFFLINE))
        return true;
    if (auto autodial = WinInet().InternetAutodial)
    {
        autodial(AUTODIAL_FLAGS, GetDesktopWindow());
        // Hung up on Disconnect even when the dial reported a failure: a line
        // may be open all the same.
        bAutodialled = true;
    }
    return true;
}

void LFileTransferProtocol::Disconnect()
{
    if (!hInternet)
        return;
    CloseService();
    CloseInternetHandle(hInternet);
    hInternet = nullptr;
    if (bAutodialled)
    {
        if (auto hangUp = WinInet().InternetAutodialHangup)
            hangUp(0);
        bAutodialled = false;
    }
}

bool LFileTransferProtocol::LogOnServer(const char* server)
{
    if (!hInternet && !Connect())
        return false;
    CloseService();
    char host[TEXT_BUFFER_SIZE];
    INTERNET_PORT port = FTP_PORT;
    auto connect = WinInet().InternetConnectA;
    if (!connect || !SplitServerAddress(server, FTP_PORT, host, port))
        return false;
    hService = connect(hInternet, host, port, nullptr, nullptr, INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0);
    return hService != nullptr;
}

bool LFileTransferProtocol::SetCurrentDirectory(const char* path)
{
    if (path[0] == '\0')
        return true;
    if (!hService)
        return false;
    auto setDirectory = WinInet().FtpSetCurrentDirectoryA;
    return setDirectory && setDirectory(hService, path);
}

void LFileTransferProtocol::CloseService()
{
    if (!hService)
        return;
    CloseInternetHandle(hService);
    hService = nullptr;
}

ProcessResult LFileTransferProtocol::Download(LJobControl& job, const char* szRemoteName, const char* szLocalPath)
{
    char text[TEXT_BUFFER_SIZE];
    FormatText(text, sizeof(text), "Downloading %s", szRemoteName);
    job.SetText(0, text);
    job.SetText(1, "Please wait...");
    if (!hService)
        return Failed;
    auto readFile = WinInet().InternetReadFile;
    auto openFile = WinInet().FtpOpenFileA;
    if (!readFile || !WinInet().InternetCloseHandle || !openFile)
        return Failed;
    job.SetProgress(0.05);

    // The bar runs from 10 % to 100 % over the file.
    const DWORD nListed = ListedSize(hService, szRemoteName);

    const DWORD nLimit = DownloadLimit(nListed);

    // A setup is fetched once and checked: no copy of it belongs in the cache.
    HINTERNET hRemote = openFile(hService, szRemoteName, GENERIC_READ,
                                 FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (!hRemote)
        return Failed;
    ProcessResult result = Failed;
    char part[TEXT_BUFFER_SIZE];
    // Deletable while open: a Cancel that cannot wait for this worker marks it
    // for deletion.
    HANDLE hLocal = MakeDownloadPartPath(szLocalPath, part)
                        ? CreateFileA(part, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr)
                        : INVALID_HANDLE_VALUE;
    if (hLocal != INVALID_HANDLE_VALUE)
    {
        DWORD nTotal = 0;
        std::vector<BYTE> block(READ_SIZE_MAX);
        DWORD size = READ_SIZE_MIN;
        for (;;)
        {
            if (job.IsStopped())
            {
                result = Stopped;
                break;
            }
            // The bar follows the bytes received; without a listed size the
            // first block fills it.
            const double received = nListed ? static_cast<double>(nTotal) / nListed : (nTotal > 0 ? 1.0 : 0.0);
            job.SetProgress(0.1 + 0.9 * received);
            DWORD nRead = 0;
            const DWORD start = GetTickCount();
            if (!readFile(hRemote, block.data(), size, &nRead))
                break;
            size = NextReadSize(size, nRead, GetTickCount() - start);
            if (nRead == 0)
            {
                // A transfer that ends short of the listed size, or runs past
                // it, delivered some other file than the one listed.
                if (nListed == 0 || nTotal == nListed)
                    result = Done;
                break;
            }
            // More than was listed is some other file: it stops here, not
            // when the disk is full.
            if (!IsWithinDownloadLimit(nTotal, nRead, nLimit))
                break;
            DWORD nWritten = 0;
            if (!WriteFile(hLocal, block.data(), nRead, &nWritten, nullptr) || nWritten != nRead)
                break;
            nTotal += nRead;
        }
        CloseHandle(hLocal);
    }
    CloseInternetHandle(hRemote);
    if (hLocal == INVALID_HANDLE_VALUE)
        return result;
    // Nothing half-downloaded stays behind, to be run as a setup later.
    if (result == Done && !MoveFileExA(part, szLocalPath, MOVEFILE_REPLACE_EXISTING))
        result = Failed;
    if (result != Done)
        DeleteFileA(part);
    return result;
}

bool MakeDownloadPartPath(const char* szLocalPath, char (&part)[TEXT_BUFFER_SIZE])
{
    return FormatText(part, sizeof(part), "%s.part", szLocalPath) < TEXT_MAX_LENGTH;
}

ProcessResult ProcessDownloadComponent(LJobControl& job, const char* szRemoteName, const char* szServer,
                                       const char* szLocalPath)
{
    char text[TEXT_BUFFER_SIZE];
    FormatText(text, sizeof(text), "Downloading %s", szRemoteName);
    job.SetText(0, text);
    job.SetText(1, "Please wait...");

    DownloadShare* share = new DownloadShare;
    CopyText(share->szRemoteName, szRemoteName);
    CopyText(share->szServer, szServer);
    CopyText(share->szLocalPath, szLocalPath);
    HANDLE hThread = CreateThread(nullptr, 0, DownloadThread, share, 0, nullptr);
    if (!hThread)
    {
        delete share;
        return Failed;
    }
    ProcessResult result = Failed;
    for (;;)
    {
        const ProcessResult waited = job.WaitForHandle(hThread, PROGRESS_INTERVAL_MS);
        for (double fraction : share->TakeProgress())
            job.SetProgress(fraction);
        if (waited == Done)
        {
            result = share->nResult;
            break;
        }
        if (waited == Stopped || job.IsStopped())
        {
            // At once: the worker sees the signal between its reads, or
            // when its wait for the server times out, and removes its file.
            share->stop.Set();
            char part[TEXT_BUFFER_SIZE];
            if (WaitForSingleObject(hThread, CANCEL_WAIT_MS) != WAIT_OBJECT_0
                && MakeDownloadPartPath(szLocalPath, part))
                DeleteFileA(part);
            result = Stopped;
            break;
        }
        if (WaitForSingleObject(hThread, 0) == WAIT_FAILED)
            break;
    }
    CloseHandle(hThread);
    share->Release();
    return result;
}
