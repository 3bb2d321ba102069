// The local CDDB server of the tests (cddb-server.py), started as a Unix
// program from a Windows test under Wine, on a free port of 127.0.0.1.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "WaitFor.h"
#include "cdrom/VirtualDiscFiles.h"

// A Windows path on Wine's Z: drive as the Unix path it stands for.
inline std::string UnixPath(const std::string& windowsPath)
{
    std::string path = windowsPath.substr(windowsPath.size() >= 2 && windowsPath[1] == ':' ? 2 : 0);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

class LocalCDDBServer
{
public:
    LocalCDDBServer() = default;
    ~LocalCDDBServer() { Stop(); }
    LocalCDDBServer(const LocalCDDBServer&) = delete;
    LocalCDDBServer& operator=(const LocalCDDBServer&) = delete;

    // Serves the xmcd files under `entriesDir` (a Unix path), with the
    // server's misbehaviour `options`; false when it did not come up.
    bool Start(const std::string& entriesDir, const std::string& options = "")
    {
        static int nStarted = 0;
        portFile = ProgramFolder() + "\\cddb-port-" + std::to_string(GetCurrentProcessId()) + "-"
                   + std::to_string(++nStarted);
        DeleteFileA(portFile.c_str());
        std::string commandLine = std::string("Z:\\usr\\bin\\python3 ") + CDDB_SERVER_SCRIPT + " --port 0 --port-file "
                                  + UnixPath(portFile) + " --entries " + entriesDir + " " + options;
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process))
            return false;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return WaitFor([&] { return ReadPort() > 0; }, 10000);
    }

    // The server leaves when its port file goes.
    void Stop()
    {
        if (!portFile.empty())
            DeleteFileA(portFile.c_str());
        portFile.clear();
    }

    std::string Address() { return "127.0.0.1:" + std::to_string(ReadPort()); }

private:
    int ReadPort()
    {
        int port = 0;
        if (FILE* file = fopen(portFile.c_str(), "r"))
        {
            if (fscanf(file, "%d", &port) != 1)
                port = 0;
            fclose(file);
        }
        return port;
    }

    std::string portFile;
};
