// A local anonymous FTP server (tests/components/ftp-server.py, pyftpdlib)
// started from a Windows test, serving a folder of its own whose
// "components" holds the files the test gives it. A test program that uses
// it is registered with corvane_test(... FTP_SERVER).
// As with the CDDB server, Wine gives the Unix program no process handle: it
// is stopped by deleting its port file, and ends by itself after a minute
// without work should a test never get that far.
#pragma once

#include <windows.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "FakeTessaro.h"
#include "WaitFor.h"
#include "WindowsPath.h"
#include "files/LFile.h"

class LocalFtpServer
{
public:
    // Serves FTP_TEST_FOLDER/<name>, whose "components" holds `files` (each
    // a name on the server and the Windows path of the file to copy there);
    // `options`: more of the server's options, e.g. "--refuse" or "--rate 4096".
    LocalFtpServer(const std::string& name, const std::vector<std::pair<std::string, std::string>>& files,
                   const std::string& options = "")
        : root(std::string(FTP_TEST_FOLDER) + "/" + name + "-" + std::to_string(GetCurrentProcessId())),
          portFile(root + ".port"), logFile(root + ".log")
    {
        CreateDirectoryA(WindowsPath(FTP_TEST_FOLDER).c_str(), nullptr);
        LFile::DeleteFolderAndFiles(Components().c_str());
        CreateDirectoryA(WindowsPath(root).c_str(), nullptr);
        CreateDirectoryA(Components().c_str(), nullptr);
        for (const auto& file : files)
            CopyFileA(file.second.c_str(), (Components() + "\\" + file.first).c_str(), FALSE);
        DeleteFileA(WindowsPath(portFile).c_str());
        DeleteFileA(WindowsPath(logFile).c_str());

        std::string command = "Z:\\usr\\bin\\python3 " FTP_SERVER_SCRIPT " --idle-exit 60 --root " + root +
                              " --port-file " + portFile + " --log " + logFile + " " + options;
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
            return;
        // Wine leaves a stray value in the thread handle of a Unix program:
        // closing it would close another handle.
        if (process.hProcess)
        {
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        WaitFor([&] { return GetFileAttributesA(WindowsPath(portFile).c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000);
        std::ifstream in(WindowsPath(portFile));
        int n = 0;
        if (in >> n)
            port = static_cast<unsigned short>(n);
    }

    ~LocalFtpServer()
    {
        DeleteFileA(WindowsPath(portFile).c_str());
        LFile::DeleteFolderAndFiles(Components().c_str());
        RemoveDirectoryA(WindowsPath(root).c_str());
    }

    LocalFtpServer(const LocalFtpServer&) = delete;
    LocalFtpServer& operator=(const LocalFtpServer&) = delete;

    // "127.0.0.1:<port>", as the setting "ComponentServers" names a server.
    std::string Server() const { return "127.0.0.1:" + std::to_string(port); }
    // The served "components" folder, as Windows sees it.
    std::string Components() const { return WindowsPath(root + "/components"); }
    // Every command line the server received, in order ("PASS ***" for the password).
    std::vector<std::string> Log() const
    {
        std::vector<std::string> lines;
        std::ifstream in(WindowsPath(logFile));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    // 0 when the server did not start.
    unsigned short port = 0;

private:
    std::string root;
    std::string portFile;
    std::string logFile;
};
