// Programs a feature needs and that are missing are fetched on demand: their
// setups lie on the maker's anonymous FTP servers in "components". The FTP
// client talks to WinINet, which it loads on first use and never links to:
// every function is looked up by name just before use, and an operation
// whose function is missing fails.
#pragma once

#include <windows.h>
#include <wininet.h>  // types and constants only

#include "jobs/LJobControl.h"

class LFileTransferProtocol
{
public:
    LFileTransferProtocol() = default;
    // Disconnects.
    ~LFileTransferProtocol();
    LFileTransferProtocol(const LFileTransferProtocol&) = delete;
    LFileTransferProtocol& operator=(const LFileTransferProtocol&) = delete;

    // Opens the WinINet session, dialling up first when the machine is offline.
    bool Connect();
    // Closes the connection and the session, and hangs up a line this object dialled.
    void Disconnect();
    // Logs on anonymously, in passive mode, to `server` ("host" or
    // "host:port", port 21 when none), connecting first when needed.
    bool LogOnServer(const char* server);
    // An empty path succeeds at once.
    bool SetCurrentDirectory(const char* path);
    void CloseService();

    // The WinINet function `name`, loading the library on first use; null when
    // either is missing. The library stays loaded for the program's life.
    static FARPROC GetFunction(const char* name);

    bool bAutodialled = false;     // Connect dialled a line that Disconnect hangs up
    HINTERNET hInternet = nullptr; // the session; null when not connected
    HINTERNET hService = nullptr;  // the FTP connection; null when not logged on
};

// Downloads `szRemoteName` from the current directory of `ftp` into
// `szLocalPath`, showing its progress. Done when the whole file arrived (as
// many bytes as the server listed, when it listed a size); otherwise nothing
// of it is left at `szLocalPath`.
ProcessResult ProcessFtpDownload(LJobControl& job, const char* szRemoteName, LFileTransferProtocol& ftp,
                                 const char* szLocalPath);
// Logs on to `szServer`, goes to "components" and downloads `szRemoteName`
// from there, with a session of its own.
ProcessResult ProcessDownloadComponent(LJobControl& job, const char* szRemoteName, const char* szServer,
                                       const char* szLocalPath);
