// The lookup of "Loading CD Information" against the local CDDB server, with
// a virtual drive holding the disc and a real progress window.
#include <gtest/gtest.h>

#include <windows.h>
#include <winsock2.h>

#include <memory>
#include <string>
#include <vector>

#include "cddb/CDDBDiscId.h"
#include "cddb/CDDBLookup.h"
#include "cdrom/VirtualDrives.h"
#include "cddb/LocalCDDBServer.h"
#include "files/LFile.h"
#include "files/TextBuffer.h"
#include "jobs/LProgressDialog.h"
#include "resources/resource.h"
#include "ui/MessageBoxCapture.h"

namespace {

// three-tracks: tracks at 0, 40 and 75, lead-out 135.
std::string ThreeTracksId()
{
    const int32_t starts[] = {0, 40, 75, 135};
    char id[16];
    snprintf(id, sizeof(id), "%08x", CDDBDiscId(starts, 3));
    return id;
}

class CDDBLookupTest : public VirtualDrivesTest
{
protected:
    void SetUp() override
    {
        VirtualDrivesTest::SetUp();
        io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
        CreateDirectoryA(WindowsPath(CDDB_TEST_FOLDER).c_str(), nullptr);
        entries = std::string(CDDB_TEST_FOLDER) + "/lookup-entries";
        for (const char* category : {"rock", "misc", "jazz"})
            LFile::DeleteFolderAndFiles(WindowsPath(entries + "/" + category).c_str());
        CreateDirectoryA(WindowsPath(entries).c_str(), nullptr);
    }
    void TearDown() override
    {
        server.reset();
        VirtualDrivesTest::TearDown();
    }

    // An xmcd entry for the disc in `category`, lines ending in CR LF.
    void WriteEntry(const char* category, const std::vector<std::string>& lines)
    {
        const std::string folder = WindowsPath(entries + "/" + category);
        CreateDirectoryA(folder.c_str(), nullptr);
        FILE* file = fopen((folder + "\\" + ThreeTracksId()).c_str(), "wb");
        ASSERT_NE(nullptr, file);
        fprintf(file, "# xmcd\r\nDISCID=%s\r\n", ThreeTracksId().c_str());
        for (const std::string& line : lines)
            fprintf(file, "%s\r\n", line.c_str());
        fclose(file);
    }

    void StartServer(const std::string& options = "")
    {
        server = std::make_unique<LocalCDDBServer>(entries, options);
        ASSERT_NE(0, server->port) << "the local server did not start";
        serverAddress = server->Server();
    }

    // Runs "Loading CD Information" as the main window does.
    ProcessResult Load(bool bUseCDDB = true, unsigned timeoutMs = CDDB_TIMEOUT_MS, uint8_t drive = 0)
    {
        memset(&info, 0, sizeof(info));
        info.iDrive = drive;
        info.bUseCDDB = bUseCDDB;
        CopyText(info.szCDDBServer, serverAddress.c_str());
        info.nCDDBTimeoutMs = timeoutMs;
        LProgressJob<LCDDBInfo> job("Loading CD Information", Process);
        job.pJobData = &info;
        job.Run(nullptr);
        return job.nResult;
    }

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (int i = 0; i < info.nTracks; ++i)
            names.push_back(info.Tracks[i].szName);
        return names;
    }

    const std::vector<std::string> generic = {"Track 01", "Track 02", "Track 03"};
    std::string entries;  // a Unix path, as the server takes it
    std::unique_ptr<LocalCDDBServer> server;
    std::string serverAddress = "127.0.0.1:1";  // where nobody answers
    LCDDBInfo info;
};

TEST_F(CDDBLookupTest, AnExactMatchNamesTheDiscAndItsTracks)
{
    WriteEntry("rock", {"DTITLE=Some Artist / Some Album", "DYEAR=2001", "TTITLE0=One", "TTITLE1=Two",
                        "TTITLE2=Three", "EXTD=", "PLAYORDER="});
    StartServer();
    MessageBoxCapture boxes;
    EXPECT_EQ(Done, Load());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_STREQ("Some Artist / Some Album", info.szTitle);
    EXPECT_EQ(std::vector<std::string>({"One", "Two", "Three"}), Names());
    EXPECT_EQ(40, info.Tracks[0].nEndSector);
}

// The disc's own names fill in where the database has no entry for it; its
// catalog number and ISRCs are read either way.
TEST_F(CDDBLookupTest, TheDiscsCDTextNamesItWhenTheDatabaseDoesNot)
{
    io->AddDrive('E', DRIVE_CDROM, Disc("disc-data"));
    WriteEntry("rock", {"DTITLE=Some Artist / Some Album", "TTITLE0=One", "TTITLE1=Two", "TTITLE2=Three"});
    const struct
    {
        const char* name;
        bool bUseCDDB;
        bool bServer;
        const char* title;
        std::vector<std::string> names;
    } cases[] = {
        {"database off", false, false, "The Band / The Album", {"Opening", "Track 02", "Closing"}},
        {"database unreachable", true, false, "The Band / The Album", {"Opening", "Track 02", "Closing"}},
        {"database entry", true, true, "Some Artist / Some Album", {"One", "Two", "Three"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        if (c.bServer)
            StartServer();
        MessageBoxCapture boxes;
        EXPECT_EQ(Done, Load(c.bUseCDDB, 2000, 1));
        EXPECT_STREQ(c.title, info.szTitle);
        EXPECT_EQ(c.names, Names());
        EXPECT_STREQ("0731452918626", info.szCatalog);
        EXPECT_STREQ("GBAYE6500001", info.Tracks[0].szIsrc);
        EXPECT_STREQ("", info.Tracks[1].szIsrc);
        EXPECT_STREQ("USRC17607839", info.Tracks[2].szIsrc);
    }
    // A disc without any: nothing is made up.
    EXPECT_EQ(Done, Load(false));
    EXPECT_EQ(generic, Names());
    EXPECT_STREQ("", info.szTitle);
    EXPECT_STREQ("", info.szCatalog);
    EXPECT_STREQ("", info.Tracks[0].szIsrc);
}

TEST_F(CDDBLookupTest, NoMatchIsReportedOnceAndKeepsTheGenericNames)
{
    StartServer();
    MessageBoxCapture boxes;
    EXPECT_EQ(Done, Load());
    ASSERT_NO_FATAL_FAILURE(ExpectOneBox(boxes.boxes, "Corvane", "No CDDB match found", IDI_ERROR));
    EXPECT_EQ(generic, Names());
    EXPECT_STREQ("", info.szTitle);
}

// How the user answers the list of matches: the row chosen, -1 for Cancel;
// what the list showed.
int matchToChoose = 0;
std::vector<std::string> listedMatches;

void CALLBACK AnswerMatchDialog(HWND, UINT, UINT_PTR, DWORD)
{
    HWND dialog = FindWindowA("#32770", "Choose CDDB Match");
    if (!dialog || !IsWindowVisible(dialog) || !listedMatches.empty())
        return;
    HWND list = GetDlgItem(dialog, IDC_MATCHES);
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
    {
        char row[TEXT_BUFFER_SIZE * 3] = "";
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(row));
        listedMatches.push_back(row);
    }
    if (matchToChoose >= 0)
        SendMessageA(list, LB_SETCURSEL, matchToChoose, 0);
    PostMessageA(dialog, WM_COMMAND, matchToChoose >= 0 ? IDOK : IDCANCEL, 0);
}

TEST_F(CDDBLookupTest, SeveralMatchesAreListedForTheUserToChoose)
{
    WriteEntry("jazz", {"DTITLE=Jazz Artist / First Listed", "TTITLE0=J1"});
    WriteEntry("misc", {"DTITLE=Misc Artist / Second Listed", "TTITLE0=M1"});
    StartServer();
    const struct
    {
        int choice;
        const char* title;
        std::vector<std::string> names;
    } cases[] = {
        {1, "Misc Artist / Second Listed", {"M1", "Track 02", "Track 03"}},
        {0, "Jazz Artist / First Listed", {"J1", "Track 02", "Track 03"}},
        {-1, "", generic},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.choice);
        matchToChoose = c.choice;
        listedMatches.clear();
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, AnswerMatchDialog);
        EXPECT_EQ(Done, Load());
        KillTimer(nullptr, timer);
        EXPECT_EQ(std::vector<std::string>({"jazz: Jazz Artist / First Listed", "misc: Misc Artist / Second Listed"}),
                  listedMatches);
        EXPECT_STREQ(c.title, info.szTitle);
        EXPECT_EQ(c.names, Names());
    }
}

// Names come in UTF-8 where the server speaks level 6, and show in the
// program's code page (Western here): what it lacks becomes "_". A server
// that refuses the level sends its entries as they are.
TEST_F(CDDBLookupTest, NamesInEveryLanguageShowInTheCodePage)
{
    const struct
    {
        const char* options;
        const char* title;
        const char* track;
        const char* expectedTitle;
        const char* expectedTrack;
    } cases[] = {
        {"", "DTITLE=Caf\xc3\xa9 M\xc3\xbcller / \xd0\x94\xd0\xb0 \xe6\x97\xa5\xe6\x9c\xac", "TTITLE0=Stra\xc3\x9f" "e",
         "Caf\xe9 M\xfcller / __ __", "Stra\xdf" "e"},
        {"--fail proto=501", "DTITLE=Caf\xe9 / Album", "TTITLE0=Stra\xdf" "e", "Caf\xe9 / Album", "Stra\xdf" "e"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.options);
        WriteEntry("rock", {c.title, c.track});
        StartServer(c.options);
        EXPECT_EQ(Done, Load());
        EXPECT_STREQ(c.expectedTitle, info.szTitle);
        EXPECT_EQ(std::vector<std::string>({c.expectedTrack, "Track 02", "Track 03"}), Names());
    }
}

// One disc listed as an inexact match is taken without a question.
TEST_F(CDDBLookupTest, OneInexactMatchIsTakenAsItIs)
{
    WriteEntry("jazz", {"DTITLE=Jazz Artist / Only One", "TTITLE0=J1"});
    StartServer("--inexact");
    MessageBoxCapture boxes;
    EXPECT_EQ(Done, Load());
    EXPECT_STREQ("Jazz Artist / Only One", info.szTitle);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(CDDBLookupTest, WithoutTheDatabaseNoConnectionIsMade)
{
    // A listening socket that would see the connection.
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
    ASSERT_EQ(0, listen(listener, 4));
    int size = sizeof(address);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    serverAddress = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    EXPECT_EQ(Done, Load(false));
    EXPECT_EQ(generic, Names());
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    timeval none = {0, 0};
    EXPECT_EQ(0, select(0, &readable, nullptr, nullptr, &none)) << "a connection was made";
    closesocket(listener);
    WSACleanup();
}

TEST_F(CDDBLookupTest, WhatTheEntryHoldsIsReadWhateverItsForm)
{
    const std::string longLine = "EXTD=" + std::string(295, 'x');
    const struct
    {
        const char* options;
        std::vector<std::string> lines;
        const char* title;
        std::vector<std::string> names;
    } cases[] = {
        // A title split over two lines is joined; a track beyond 255 is ignored.
        {"", {"DTITLE=A Long Artist Na", "DTITLE=me / Album", "TTITLE300=Nowhere", "TTITLE1=Two"},
         "A Long Artist Name / Album", {"Track 01", "Two", "Track 03"}},
        // Lines ended by a line feed alone keep their last letter.
        {"--lf-only", {"DTITLE=Artist / Album", "TTITLE0=One"}, "Artist / Album", {"One", "Track 02", "Track 03"}},
        // A 300-character line is cut, and the lines after it still read.
        {"--long-line", {longLine, "DTITLE=Artist / Album", "TTITLE2=Three"}, "Artist / Album",
         {"Track 01", "Track 02", "Three"}},
        // Escapes are decoded.
        {"", {"DTITLE=Artist / Album", "TTITLE0=Tab\\there"}, "Artist / Album", {"Tab\there", "Track 02", "Track 03"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.title + std::string(" ") + c.options);
        WriteEntry("rock", c.lines);
        StartServer(c.options);
        EXPECT_EQ(Done, Load());
        EXPECT_STREQ(c.title, info.szTitle);
        EXPECT_EQ(c.names, Names());
        server.reset();
    }
}

TEST_F(CDDBLookupTest, EveryFailureKeepsWhatWasReadAndTheJobSucceeds)
{
    WriteEntry("rock", {"DTITLE=Some Artist / Some Album", "TTITLE0=One", "TTITLE1=Two", "TTITLE2=Three"});
    const struct
    {
        const char* options;
        const char* title;
        std::vector<std::string> names;
    } cases[] = {
        // The entry's lines: # xmcd, DISCID, DTITLE, TTITLE0, ...
        {"--close-mid-entry 4", "Some Artist / Some Album", {"One", "Track 02", "Track 03"}},
        {"--fail greeting=432", "", {"Track 01", "Track 02", "Track 03"}},
        {"--fail hello=431", "", {"Track 01", "Track 02", "Track 03"}},
        {"--fail query=500", "", {"Track 01", "Track 02", "Track 03"}},
        {"--fail read=401", "", {"Track 01", "Track 02", "Track 03"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.options);
        StartServer(c.options);
        MessageBoxCapture boxes;
        EXPECT_EQ(Done, Load());
        EXPECT_TRUE(boxes.boxes.empty());
        EXPECT_STREQ(c.title, info.szTitle);
        EXPECT_EQ(c.names, Names());
        server.reset();
    }
}

TEST_F(CDDBLookupTest, ASilentServerLeavesTheGenericNamesAfterTheTimeOut)
{
    WriteEntry("rock", {"DTITLE=Some Artist / Some Album", "TTITLE0=One"});
    StartServer("--silent query");
    const DWORD start = GetTickCount();
    EXPECT_EQ(Done, Load(true, 1000));
    EXPECT_GE(GetTickCount() - start, 900u) << "it gave up before the time-out";
    EXPECT_EQ(generic, Names());
}

} // namespace
