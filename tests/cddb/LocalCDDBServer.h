// The local CDDB server (tests/cddb/cddb-server.py) started from a Windows
// test (see LocalServer.h).
#pragma once

#include <windows.h>

#include <string>

#include "LocalServer.h"
#include "WindowsPath.h"

class LocalCDDBServer : public LocalServer
{
public:
    // `entries`: the Unix path of the folder of <category>/<discid> files;
    // `options`: more of the server's options, e.g. "--fail query=403".
    explicit LocalCDDBServer(const std::string& entries, const std::string& options = "")
        : LocalServer(NextPortFile())
    {
        Start(CDDB_SERVER_SCRIPT, "--entries " + entries + " " + options);
    }

private:
    static std::string NextPortFile()
    {
        static int nStarted = 0;
        CreateDirectoryA(WindowsPath(CDDB_TEST_FOLDER).c_str(), nullptr);
        return std::string(CDDB_TEST_FOLDER) + "/server-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(++nStarted) + ".port";
    }
};
