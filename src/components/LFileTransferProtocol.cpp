#include "components/LFileTransferProtocol.h"

#include <vector>

#include "components/ComponentServers.h"
#include "components/ReadSize.h"
#include "files/TextBuffer.h"

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
    HINTERNET hFind = findFirst(hService, szRemoteName, &found, INTERNET_FLAG_RELOAD, 0);
    if (!hFind)
        return 0;
    CloseInternetHandle(hFind);
    return found.nFileSizeLow;
}

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

    HINTERNET hRemote =
        openFile(hService, szRemoteName, GENERIC_READ, FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, 0);
    if (!hRemote)
        return Failed;
    ProcessResult result = Failed;
    HANDLE hLocal =
        CreateFileA(szLocalPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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
            DWORD nWritten = 0;
            if (!WriteFile(hLocal, block.data(), nRead, &nWritten, nullptr) || nWritten != nRead)
                break;
            nTotal += nRead;
        }
        CloseHandle(hLocal);
    }
    CloseInternetHandle(hRemote);
    // Nothing half-downloaded stays behind, to be run as a setup later.
    if (hLocal != INVALID_HANDLE_VALUE && result != Done)
        DeleteFileA(szLocalPath);
    return result;
}

ProcessResult ProcessDownloadComponent(LJobControl& job, const char* szRemoteName, const char* szServer,
                                       const char* szLocalPath)
{
    LFileTransferProtocol ftp;
    ProcessResult result = Failed;
    if (ftp.LogOnServer(szServer) && ftp.SetCurrentDirectory(COMPONENTS_FOLDER))
        result = ftp.Download(job, szRemoteName, szLocalPath);
    ftp.Disconnect();
    return result;
}
