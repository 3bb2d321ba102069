// A local anonymous FTP server (tests/components/ftp-server.py, pyftpdlib)
// started from a Windows test, serving a folder of its own whose
// "components" holds the files the test gives it. A test program that uses
// it is registered with corvane_test(... FTP_SERVER).
// How it is started and stopped: LocalServer.h.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "FakeTessaro.h"
#include "LocalServer.h"
#include "TestFiles.h"
#include "WindowsPath.h"
#include "files/LFile.h"

class LocalFtpServer : public LocalServer
{
public:
    // Serves FTP_TEST_FOLDER/<name>, whose "components" holds `files` (each
    // a name on the server and the Windows path of the file to copy there);
    // `options`: more of the server's options, e.g. "--refuse" or "--rate 4096".
    LocalFtpServer(const std::string& name, const std::vector<std::pair<std::string, std::string>>& files,
                   const std::string& options = "")
        : LocalServer(std::string(FTP_TEST_FOLDER) + "/" + name + "-" + std::to_string(GetCurrentProcessId()) +
                      ".port"),
          root(std::string(FTP_TEST_FOLDER) + "/" + name + "-" + std::to_string(GetCurrentProcessId())),
          logFile(root + ".log")
    {
        CreateDirectoryA(WindowsPath(FTP_TEST_FOLDER).c_str(), nullptr);
        LFile::DeleteFolderAndFiles(Components().c_str());
        CreateDirectoryA(WindowsPath(root).c_str(), nullptr);
        CreateDirectoryA(Components().c_str(), nullptr);
        for (const auto& file : files)
            CopyFileA(file.second.c_str(), (Components() + "\\" + file.first).c_str(), FALSE);
        DeleteFileA(WindowsPath(logFile).c_str());
        Start(FTP_SERVER_SCRIPT, "--root " + root + " --log " + logFile + " " + options);
    }

    ~LocalFtpServer()
    {
        LFile::DeleteFolderAndFiles(Components().c_str());
        RemoveDirectoryA(WindowsPath(root).c_str());
    }

    // The served "components" folder, as Windows sees it.
    std::string Components() const { return WindowsPath(root + "/components"); }
    // Every command line the server received, in order ("PASS ***" for the password).
    std::vector<std::string> Log() const { return Lines(WindowsPath(logFile)); }

private:
    std::string root;
    std::string logFile;
};
