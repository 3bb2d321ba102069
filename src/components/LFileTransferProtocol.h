// Programs a feature needs and that are missing are fetched on demand: their
// setups lie on the maker's anonymous FTP servers in "components". The FTP
// client talks to WinINet through the table of its functions (WinInet.h).
#pragma once

#include <windows.h>

#include "components/WinInet.h"
#include "files/TextBuffer.h"
#include "jobs/LJobControl.h"

class LFileTransferProtocol
{
public:
    LFileTransferProtocol() = default;
    // Disconnects.
    ~LFileTransferProtocol();
    LFileTransferProtocol(const LFileTransferProtocol&) = delete;
    LFileTransferProtocol& operator=(const LFileTransferProtocol&) = delete;

    // Opens the WinINet session, dialling up first when the machine is
    // offline; its connections and reads time out after DOWNLOAD_TIMEOUT_MS.
    bool Connect();
    // Closes the connection and the session, and hangs up a line this object dialled.
    void Disconnect();
    // Logs on anonymously, in passive mode, to `server` ("host" or
    // "host:port", port 21 when none), connecting first when needed.
    bool LogOnServer(const char* server);
    // An empty path succeeds at once.
    bool SetCurrentDirectory(const char* path);
    void CloseService();

    // Downloads `szRemoteName` from the current directory into `szLocalPath`,
    // showing its progress. The bytes go to its part file first, which takes
    // the name only when the whole file arrived (as many bytes as the server
    // listed, when it listed a size): Done. Otherwise the part file is
    // removed, and nothing is left at `szLocalPath`. It stops and fails at the first byte past
    // the listed size, or past DOWNLOAD_UNLISTED_LIMIT when none is listed,
    // and keeps no copy in WinINet's cache. Blocks: run it on a worker.
    ProcessResult Download(LJobControl& job, const char* szRemoteName, const char* szLocalPath);

private:
    bool bAutodialled = false;     // Connect dialled a line that Disconnect hangs up
    HINTERNET hInternet = nullptr; // the session; null when not connected
    HINTERNET hService = nullptr;  // the FTP connection; null when not logged on
};

// Where a download into `szLocalPath` keeps its bytes until they are all
// there: the name with ".part" added. False when that does not fit.
bool MakeDownloadPartPath(const char* szLocalPath, char (&part)[TEXT_BUFFER_SIZE]);

// Logs on to `szServer`, goes to "components" and downloads `szRemoteName`
// from there, with a session of its own, on a worker thread: the job only
// waits, so the window answers however the server behaves, and Cancel ends
// the wait at once (Stopped). The worker's session gives up on a server
// silent for DOWNLOAD_TIMEOUT_MS. A worker still held by a server after a
// Cancel leaves only its part file, which goes when the worker lets go of it
// (at the latest when the program ends).
ProcessResult ProcessDownloadComponent(LJobControl& job, const char* szRemoteName, const char* szServer,
                                       const char* szLocalPath);
