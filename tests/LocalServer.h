// A local server started from a Windows test: a Unix Python program (the CDDB
// server, the FTP server) that writes the port it listens on to a file. Wine
// runs a Unix program named by its Z: path, but hands its arguments over as
// they are, so those are Unix paths. Such a process has no handle on the
// Windows side: the server is stopped by deleting its port file, and ends by
// itself after a minute without work should a test never get that far.
#pragma once

#include <windows.h>

#include <fstream>
#include <string>
#include <utility>

#include "WaitFor.h"
#include "WindowsPath.h"

class LocalServer
{
public:
    // Stops the server.
    ~LocalServer() { DeleteFileA(WindowsPath(portFile).c_str()); }
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    // "127.0.0.1:<port>", as the settings name a server.
    std::string Server() const { return "127.0.0.1:" + std::to_string(port); }

    // 0 when the server did not start.
    unsigned short port = 0;

protected:
    // `portFile`: the Unix path the server writes its port to.
    explicit LocalServer(std::string portFile) : portFile(std::move(portFile)) {}

    // Starts `script` (a Unix path) with `arguments` and waits up to 20 s for its port.
    void Start(const char* script, const std::string& arguments)
    {
        DeleteFileA(WindowsPath(portFile).c_str());
        std::string command =
            std::string("Z:\\usr\\bin\\python3 ") + script + " --idle-exit 60 --port-file " + portFile + " " + arguments;
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

private:
    std::string portFile;
};
