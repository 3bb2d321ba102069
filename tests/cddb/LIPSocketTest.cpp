// The line-stream client against peers on local sockets, each served by a
// thread of the test: lines, cuts, closes, chunks, host texts, connects that
// fail, and Cancel pressed during each kind of wait under a real job window.
#include <gtest/gtest.h>

#include <winsock2.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "LocalCDDBServer.h"
#include "cddb/LIPSocket.h"
#include "jobs/LProgressDialog.h"
#include "TestJobs.h"

namespace {

constexpr unsigned LONG_TIMEOUT_MS = 30000;

// A manual-reset event that closes itself.
struct Event
{
    Event() : h(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() { CloseHandle(h); }
    HANDLE h;
};

// A listening socket on a free port of 127.0.0.1.
class Listener
{
public:
    explicit Listener(int backlog = 4) : s(socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = inet_addr("127.0.0.1");
        bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        listen(s, backlog);
        int size = sizeof(address);
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
    }
    ~Listener() { closesocket(s); }

    // The next connection; INVALID_SOCKET when none comes within 20 s.
    SOCKET Accept()
    {
        fd_set readSet;
        FD_ZERO(&readSet);
        FD_SET(s, &readSet);
        timeval wait = {20, 0};
        return select(0, &readSet, nullptr, nullptr, &wait) == 1 ? accept(s, nullptr, nullptr) : INVALID_SOCKET;
    }

    SOCKET s;
    unsigned short port = 0;
};

void SendAll(SOCKET s, const std::string& bytes)
{
    for (std::size_t sent = 0; sent < bytes.size();)
    {
        const int r = send(s, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (r <= 0)
            return;
        sent += r;
    }
}

// Everything that arrives until the other side closes.
std::string ReceiveAll(SOCKET s)
{
    std::string bytes;
    char buffer[4096];
    for (int r; (r = recv(s, buffer, sizeof(buffer), 0)) > 0;)
        bytes.append(buffer, r);
    return bytes;
}

// The other end of one connection, served by a thread: it accepts, runs its
// part, and then holds the connection, reading nothing, until the test is
// done with it, unless its part closed it.
class Peer
{
public:
    Peer(Listener& listener, std::function<void(SOCKET)> part)
        : thread([this, &listener, part] {
              SOCKET s = listener.Accept();
              if (s == INVALID_SOCKET)
                  return;
              part(s);
              WaitForSingleObject(release.h, LONG_TIMEOUT_MS);
              closesocket(s);
          })
    {
    }
    ~Peer() { Join(); }

    void Join()
    {
        SetEvent(release.h);
        if (thread.joinable())
            thread.join();
    }

private:
    Event release;
    std::thread thread;
};

// The peer's part: send `bytes`, then close (a clean close, not a reset).
std::function<void(SOCKET)> SendThenClose(const std::string& bytes)
{
    return [bytes](SOCKET s) {
        SendAll(s, bytes);
        shutdown(s, SD_SEND);
    };
}

std::function<void(SOCKET)> SendThenHold(const std::string& bytes)
{
    return [bytes](SOCKET s) { SendAll(s, bytes); };
}

const auto Hold = [](SOCKET) {};

// Clicks the job's Cancel from a second thread once `when` is signalled (or
// after `delayMs`); the click waits for the job to let messages through.
std::thread CancelLater(LProgressDialog& job, DWORD delayMs, HANDLE when = nullptr)
{
    HWND button = GetDlgItem(job.hWnd, IDCANCEL);
    return std::thread([button, delayMs, when] {
        if (when)
            WaitForSingleObject(when, LONG_TIMEOUT_MS);
        Sleep(delayMs);
        SendMessageA(button, BM_CLICK, 0, 0);
    });
}

class LIPSocketTest : public ::testing::Test
{
protected:
    // For the test's own sockets; every LIPSocket starts and stops it again.
    void SetUp() override { LIPSocket::SystemStartup(); }
    void TearDown() override { LIPSocket::SystemShutDown(); }

    TestJobControl noWindow;

    ProcessResult Connect(LIPSocketStream& client, const Listener& listener)
    {
        return ProcessConnect(noWindow, client, "127.0.0.1", true, 5000, listener.port);
    }
};

TEST_F(LIPSocketTest, LinesKeepTheirCarriageReturnAndWhatFollowsStaysForTheNextLine)
{
    Listener listener;
    Peer peer(listener, SendThenHold("201 ready\r\n200 Hello\r\nplain\n"));
    LIPSocketStream client;
    ASSERT_EQ(Done, Connect(client, listener));

    char line[TEXT_BUFFER_SIZE];
    ASSERT_EQ(Done, ProcessRecvLine(noWindow, client, line, 5000));
    EXPECT_STREQ("201 ready\r", line);
    ASSERT_EQ(Done, ProcessRecvLine(noWindow, client, line, 5000));
    EXPECT_STREQ("200 Hello\r", line);
    ASSERT_EQ(Done, ProcessRecvLine(noWindow, client, line, 5000));
    EXPECT_STREQ("plain", line);
}

TEST_F(LIPSocketTest, ALongLineKeepsItsFirst259Characters)
{
    std::string longLine;
    for (int i = 0; i < 300; ++i)
        longLine += static_cast<char>('a' + i % 26);
    Listener listener;
    Peer peer(listener, SendThenHold(longLine + "\r\nnext\r\n"));
    LIPSocketStream client;
    ASSERT_EQ(Done, Connect(client, listener));

    char line[TEXT_BUFFER_SIZE];
    ASSERT_EQ(Done, ProcessRecvLine(noWindow, client, line, 5000));
    EXPECT_EQ(longLine.substr(0, 259), line);
    ASSERT_EQ(Done, ProcessRecvLine(noWindow, client, line, 5000));
    EXPECT_STREQ("next\r", line);
}

TEST_F(LIPSocketTest, ACloseInsideALineFailsWithThePartReceived)
{
    Listener listener;
    Peer peer(listener, SendThenClose("210 rock 0c025803\r\nTTITLE0=Half"));
    LIPSocketStream client;
    ASSERT_EQ(Done, Connect(client, listener));

    char line[TEXT_BUFFER_SIZE];
    ASSERT_EQ(Done, ProcessRecvLine(noWindow, client, line, 5000));
    EXPECT_EQ(Failed, ProcessRecvLine(noWindow, client, line, 5000));
    EXPECT_STREQ("TTITLE0=Half", line);
    // And once closed, nothing more: an empty text.
    EXPECT_EQ(Failed, ProcessRecvLine(noWindow, client, line, 5000));
    EXPECT_STREQ("", line);
}

TEST_F(LIPSocketTest, NoLineWithinTheTimeOutFails)
{
    Listener listener;
    Peer peer(listener, SendThenHold("no line feed"));
    LIPSocketStream client;
    ASSERT_EQ(Done, Connect(client, listener));

    char line[TEXT_BUFFER_SIZE];
    const DWORD start = GetTickCount();
    EXPECT_EQ(Failed, ProcessRecvLine(noWindow, client, line, 1000));
    const DWORD waitedMs = GetTickCount() - start;
    EXPECT_STREQ("no line feed", line);
    // Waits of 300, 300, 300 and the last 100 ms.
    EXPECT_GE(waitedMs, 900u);
    EXPECT_LT(waitedMs, 10000u);
}

// The send seam: records the size of every chunk asked for and hands it to
// the socket, except that one call can be refused with an error, or cut to a
// number of bytes, as a socket with a full buffer does.
struct SendScript
{
    std::vector<int> requested;
    int refusedCall = -1;
    int refusalError = WSAEWOULDBLOCK;
    int cutCall = -1;
    int cutTo = 0;
    HANDLE hFull = nullptr;  // set at the socket's first real refusal
};
SendScript script;

int WSAAPI ScriptedSend(SOCKET s, const char* bytes, int count, int flags)
{
    const int call = static_cast<int>(script.requested.size());
    script.requested.push_back(count);
    if (call == script.refusedCall)
    {
        WSASetLastError(script.refusalError);
        return SOCKET_ERROR;
    }
    const int r = send(s, bytes, call == script.cutCall ? script.cutTo : count, flags);
    const int error = WSAGetLastError();
    if (r < 0 && error == WSAEWOULDBLOCK && script.hFull)
        SetEvent(script.hFull);
    WSASetLastError(error);
    return r;
}

std::string Pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
}

TEST_F(LIPSocketTest, ASendGoesOutInChunksOf1024)
{
    const std::string bytes = Pattern(3000);
    std::string received;
    Listener listener;
    Peer peer(listener, [&](SOCKET s) { received = ReceiveAll(s); });
    LIPSocketStream client;
    ASSERT_EQ(Done, Connect(client, listener));

    script = SendScript();
    EXPECT_EQ(Done, ProcessSendThrough(ScriptedSend, noWindow, client, bytes.data(), 5000, 3000));
    EXPECT_EQ((std::vector<int>{1024, 1024, 952}), script.requested);
    // And through the socket's own send.
    EXPECT_EQ(Done, ProcessSendString(noWindow, client, "cddb quit\n", 5000));
    client.Close();
    peer.Join();
    EXPECT_EQ(bytes + "cddb quit\n", received);
}

TEST_F(LIPSocketTest, ARefusedOrCutChunkIsSentOnAfterAWait)
{
    const std::string bytes = Pattern(3000);
    std::string received;
    Listener listener;
    Peer peer(listener, [&](SOCKET s) { received = ReceiveAll(s); });
    LIPSocketStream client;
    ASSERT_EQ(Done, Connect(client, listener));

    script = SendScript();
    script.refusedCall = 1;
    script.cutCall = 2;
    script.cutTo = 500;
    EXPECT_EQ(Done, ProcessSendThrough(ScriptedSend, noWindow, client, bytes.data(), 5000, 3000));
    // 1024, refused, 500 of 1024, then the remaining 1476 as 1024 and 452.
    EXPECT_EQ((std::vector<int>{1024, 1024, 1024, 1024, 452}), script.requested);
    client.Close();
    peer.Join();
    EXPECT_EQ(bytes, received);
}

TEST_F(LIPSocketTest, ASendErrorFails)
{
    Listener listener;
    Peer peer(listener, Hold);
    LIPSocketStream client;
    ASSERT_EQ(Done, Connect(client, listener));

    script = SendScript();
    script.refusedCall = 0;
    script.refusalError = WSAECONNRESET;
    EXPECT_EQ(Failed, ProcessSendThrough(ScriptedSend, noWindow, client, "cddb quit\n", 5000, 10));
    EXPECT_EQ(1u, script.requested.size());
}

TEST_F(LIPSocketTest, ServerTextWithAPortConnectsThere)
{
    Listener listener;
    Peer peer(listener, SendThenHold("201 with port\r\n"));
    LIPSocketStream client;
    ASSERT_EQ(Done, ProcessConnectWithPort(noWindow, client, ("127.0.0.1:" + std::to_string(listener.port)).c_str(), 1,
                                        5000));
    char line[TEXT_BUFFER_SIZE];
    ASSERT_EQ(Done, ProcessRecvLine(noWindow, client, line, 5000));
    EXPECT_STREQ("201 with port\r", line);
}

TEST_F(LIPSocketTest, ServerTextWithoutAPortUsesTheDefaultPortAndNamesAreResolved)
{
    Listener listener;
    Peer peer(listener, SendThenHold("201 default port\r\n"));
    LIPSocketStream client;
    ASSERT_EQ(Done, ProcessConnectWithPort(noWindow, client, "localhost", listener.port, 5000));
    char line[TEXT_BUFFER_SIZE];
    ASSERT_EQ(Done, ProcessRecvLine(noWindow, client, line, 5000));
    EXPECT_STREQ("201 default port\r", line);
}

TEST_F(LIPSocketTest, ARefusedConnectFailsWithoutWaitingForTheTimeOut)
{
    unsigned short closedPort;
    {
        Listener unused;
        closedPort = unused.port;
    }
    LIPSocketStream client;
    const DWORD start = GetTickCount();
    EXPECT_EQ(Failed, ProcessConnect(noWindow, client, "127.0.0.1", false, LONG_TIMEOUT_MS, closedPort));
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_EQ(INVALID_SOCKET, client.hSocket);
}

// A port that never answers: a listener whose queue of waiting connections
// is full drops the next connection requests unanswered.
class SilentPort
{
public:
    SilentPort() : listener(0)
    {
        for (SOCKET& s : fillers)
        {
            s = socket(AF_INET, SOCK_STREAM, 0);
            u_long bNonBlocking = 1;
            ioctlsocket(s, FIONBIO, &bNonBlocking);
            sockaddr_in address = {};
            address.sin_family = AF_INET;
            address.sin_port = htons(listener.port);
            address.sin_addr.s_addr = inet_addr("127.0.0.1");
            connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        }
    }
    ~SilentPort()
    {
        for (SOCKET s : fillers)
            closesocket(s);
    }

    Listener listener;
    SOCKET fillers[3];
};

TEST_F(LIPSocketTest, AConnectNobodyAnswersFailsAtItsTimeOut)
{
    SilentPort silent;
    LIPSocketStream client;
    const DWORD start = GetTickCount();
    EXPECT_EQ(Failed, ProcessConnect(noWindow, client, "127.0.0.1", false, 1000, silent.listener.port));
    const DWORD waitedMs = GetTickCount() - start;
    // Five waits of 200 ms.
    EXPECT_GE(waitedMs, 900u);
    EXPECT_LT(waitedMs, 10000u);
    EXPECT_EQ(INVALID_SOCKET, client.hSocket);
}

TEST_F(LIPSocketTest, CancelDuringAConnectStopsAndClosesTheSocket)
{
    SilentPort silent;
    LIPSocketStream client;
    ProcessResult result = Done;
    DWORD waitedMs = 0;
    std::thread presser;
    WindowJob job([&](WindowJob& self) {
        presser = CancelLater(self, 300);
        const DWORD start = GetTickCount();
        result = ProcessConnect(self, client, "127.0.0.1", false, LONG_TIMEOUT_MS, silent.listener.port);
        waitedMs = GetTickCount() - start;
        return true;
    });
    job.Run(nullptr);
    presser.join();
    EXPECT_EQ(Stopped, result);
    EXPECT_LT(waitedMs, 10000u);
    EXPECT_EQ(INVALID_SOCKET, client.hSocket);
}

TEST_F(LIPSocketTest, CancelWhileWaitingForALineStops)
{
    Listener listener;
    Peer peer(listener, Hold);
    LIPSocketStream client;
    ASSERT_EQ(Done, Connect(client, listener));
    ProcessResult result = Done;
    DWORD waitedMs = 0;
    std::thread presser;
    WindowJob job([&](WindowJob& self) {
        presser = CancelLater(self, 300);
        char line[TEXT_BUFFER_SIZE];
        const DWORD start = GetTickCount();
        result = ProcessRecvLine(self, client, line, LONG_TIMEOUT_MS);
        waitedMs = GetTickCount() - start;
        return true;
    });
    job.Run(nullptr);
    presser.join();
    EXPECT_EQ(Stopped, result);
    EXPECT_LT(waitedMs, 10000u);
}

TEST_F(LIPSocketTest, CancelWhileTheSocketIsFullStops)
{
    // Far more than the connection buffers between the two ends hold.
    const std::string bytes(64 << 20, 'x');
    Listener listener;
    Peer peer(listener, Hold);
    LIPSocketStream client;
    ASSERT_EQ(Done, Connect(client, listener));
    Event full;
    script = SendScript();
    script.hFull = full.h;
    ProcessResult result = Done;
    std::thread presser;
    WindowJob job([&](WindowJob& self) {
        presser = CancelLater(self, 300, full.h);
        result = ProcessSendThrough(ScriptedSend, self, client, bytes.data(), LONG_TIMEOUT_MS,
                                    static_cast<int>(bytes.size()));
        return true;
    });
    job.Run(nullptr);
    presser.join();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(full.h, 0)) << "the socket never filled";
    EXPECT_EQ(Stopped, result);
}

TEST_F(LIPSocketTest, TheLocalCDDBServerAnswersUnderWine)
{
    LocalCDDBServer server(CDDB_TEST_FOLDER "/no-entries");
    ASSERT_NE(0, server.port) << "the server did not start";
    LIPSocketStream client;
    ASSERT_EQ(Done, ProcessConnectWithPort(noWindow, client, server.Server().c_str(), 8880, 5000));
    char line[TEXT_BUFFER_SIZE];
    ASSERT_EQ(Done, ProcessRecvLine(noWindow, client, line, 10000));
    EXPECT_EQ(0, std::string(line).find("201 localhost CDDBP server v1.5.2 ready at ")) << line;
    ASSERT_EQ(Done, ProcessSendString(noWindow, client, "cddb hello undef localhost Corvane 1.32\n", 10000));
    ASSERT_EQ(Done, ProcessRecvLine(noWindow, client, line, 10000));
    EXPECT_STREQ("200 Hello and welcome undef@localhost running Corvane 1.32.\r", line);
    ASSERT_EQ(Done, ProcessSendString(noWindow, client, "cddb query 0c025803 3 150 15150 30150 602\n", 10000));
    ASSERT_EQ(Done, ProcessRecvLine(noWindow, client, line, 10000));
    EXPECT_STREQ("202 No match for disc ID 0c025803.\r", line);
}

} // namespace
