// The local CDDB server (tests/cddb/cddb-server.py) started from a Windows
// test. Wine runs a Unix program named by its Z: path, but hands its
// arguments over as they are, so those are Unix paths. Such a process has no
// handle on the Windows side: the server is stopped by deleting its port
// file, and ends by itself after a minute without work should a test never
// get that far.
#pragma once

#include <windows.h>

#include <fstream>
#include <string>

#include "WaitFor.h"
#include "WindowsPath.h"

class LocalCDDBServer
{
public:
    // `entries`: the Unix path of the folder of <category>/<discid> files;
    // `options`: more of the server's options, e.g. "--fail query=403".
    explicit LocalCDDBServer(const std::string& entries, const std::string& options = "")
    {
        static int nStarted = 0;
        CreateDirectoryA(WindowsPath(CDDB_TEST_FOLDER).c_str(), nullptr);
        portFile = std::string(CDDB_TEST_FOLDER) + "/server-" + std::to_string(GetCurrentProcessId()) + "-" +
                   std::to_string(++nStarted) + ".port";
        DeleteFileA(WindowsPath(portFile).c_str());
        std::string command = "Z:\\usr\\bin\\python3 " CDDB_SERVER_SCRIPT " --idle-exit 60 --entries " + entries +
                              " --port-file " + portFile + " " + options;
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
            return;
        // Wine gives a Unix program no process handle and leaves a stray value
        // in the thread handle: closing it would close another handle.
        if (process.hProcess)
        {
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        // The server writes the file whole under another name and renames it.
        WaitFor([&] { return GetFileAttributesA(WindowsPath(portFile).c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000);
        std::ifstream in(WindowsPath(portFile));
        int n = 0;
        if (in >> n)
            port = static_cast<unsigned short>(n);
    }

    ~LocalCDDBServer() { DeleteFileA(WindowsPath(portFile).c_str()); }

    LocalCDDBServer(const LocalCDDBServer&) = delete;
    LocalCDDBServer& operator=(const LocalCDDBServer&) = delete;

    // The server text a client connects to: "127.0.0.1:<port>".
    std::string Server() const { return "127.0.0.1:" + std::to_string(port); }

    // 0 when the server did not start.
    unsigned short port = 0;

private:
    std::string portFile;
};
