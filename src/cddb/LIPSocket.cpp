#include "cddb/LIPSocket.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr unsigned CONNECT_STEP_MS = 200;
constexpr unsigned RECEIVE_STEP_MS = 300;
constexpr unsigned SEND_STEP_MS = 200;
constexpr int SEND_CHUNK = 1024;

timeval Milliseconds(unsigned ms)
{
    timeval t;
    t.tv_sec = static_cast<long>(ms / 1000);
    t.tv_usec = static_cast<long>(ms % 1000) * 1000;
    return t;
}

// Waits until the socket is readable, in steps between which the job is
// asked whether it was stopped: Done when readable.
ProcessResult WaitForInput(LJobControl& job, SOCKET socket, unsigned timeoutMs)
{
    unsigned budget = timeoutMs;
    for (;;)
    {
        if (job.IsStopped())
            return Stopped;
        fd_set readSet;
        FD_ZERO(&readSet);
        FD_SET(socket, &readSet);
        timeval wait = Milliseconds(budget < RECEIVE_STEP_MS ? budget : RECEIVE_STEP_MS);
        const int r = select(0, &readSet, nullptr, nullptr, &wait);
        if (r > 0)
            return Done;
        if (r < 0 || budget <= RECEIVE_STEP_MS)
            return Failed;
        budget -= RECEIVE_STEP_MS;
    }
}

} // namespace

LIPSocket::LIPSocket()
{
    SystemStartup();
}

LIPSocket::~LIPSocket()
{
    Close();
    SystemShutDown();
}

void LIPSocket::SystemStartup()
{
    // A failed start shows itself as failing socket calls.
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}

void LIPSocket::SystemShutDown()
{
    WSACleanup();
}

bool LIPSocket::SetNonBlocking()
{
    u_long bNonBlocking = 1;
    return ioctlsocket(hSocket, FIONBIO, &bNonBlocking) == 0;
}

void LIPSocket::Close()
{
    if (hSocket == INVALID_SOCKET)
        return;
    closesocket(hSocket);
    hSocket = INVALID_SOCKET;
}

u_long LIPSocketStream::GetBytesReady()
{
    u_long n = 0;
    if (ioctlsocket(hSocket, FIONREAD, &n) != 0)
        return 0;
    return n;
}

ProcessResult ProcessConnect(LJobControl& job, LIPSocketStream& socket, const char* host, bool bNoDelay,
                   unsigned timeoutMs, unsigned short port)
{
    socket.Close();
    socket.hSocket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket.hSocket == INVALID_SOCKET)
        return Failed;
    // Were it still blocking, connect would simply wait for its answer.
    socket.SetNonBlocking();
    if (bNoDelay)
    {
        const BOOL bOn = TRUE;
        setsockopt(socket.hSocket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&bOn), sizeof(bOn));
    }

    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = inet_addr(host);
    bool bAddress = address.sin_addr.s_addr != INADDR_NONE;
    if (!bAddress)
    {
        const hostent* entry = gethostbyname(host);
        if (entry && entry->h_addrtype == AF_INET && entry->h_addr_list[0])
        {
            std::memcpy(&address.sin_addr, entry->h_addr_list[0], sizeof(address.sin_addr));
            bAddress = true;
        }
    }

    if (bAddress)
    {
        if (connect(socket.hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0)
            return Done;
        if (WSAGetLastError() == WSAEWOULDBLOCK)
        {
            // A refused or failed connect shows in the exception set.
            unsigned remaining = timeoutMs;
            for (;;)
            {
                fd_set writeSet;
                fd_set exceptSet;
                FD_ZERO(&writeSet);
                FD_ZERO(&exceptSet);
                FD_SET(socket.hSocket, &writeSet);
                FD_SET(socket.hSocket, &exceptSet);
                timeval wait = Milliseconds(CONNECT_STEP_MS);
                const int r = select(0, nullptr, &writeSet, &exceptSet, &wait);
                if (r > 0 && FD_ISSET(socket.hSocket, &writeSet))
                    return Done;
                if (r != 0)
                    break;
                if (job.IsStopped())
                {
                    socket.Close();
                    return Stopped;
                }
                if (remaining <= CONNECT_STEP_MS)
                    break;
                remaining -= CONNECT_STEP_MS;
            }
        }
    }
    socket.Close();
    return Failed;
}

ProcessResult ProcessConnectWithPort(LJobControl& job, LIPSocketStream& socket, const char* server,
                           unsigned short defaultPort, unsigned timeoutMs)
{
    char host[TEXT_BUFFER_SIZE];
    CopyText(host, server);
    unsigned short port = defaultPort;
    if (char* colon = std::strchr(host, ':'))
    {
        *colon = '\0';
        port = static_cast<unsigned short>(std::atoi(colon + 1));
    }
    return ProcessConnect(job, socket, host, false, timeoutMs, port);
}

ProcessResult ProcessRecvLine(LJobControl& job, LIPSocketStream& socket, char (&line)[TEXT_BUFFER_SIZE],
                    unsigned timeoutMs)
{
    std::size_t nStored = 0;
    ProcessResult result = Failed;
    for (bool bFinished = false; !bFinished;)
    {
        result = WaitForInput(job, socket.hSocket, timeoutMs);
        if (result != Done)
            break;
        // Readable with nothing waiting: the peer has closed the connection.
        const u_long nReady = socket.GetBytesReady();
        if (nReady == 0)
        {
            result = Failed;
            break;
        }
        // Byte by byte and never past what is waiting, so that whatever
        // follows the line feed stays in the socket for the next line.
        for (u_long i = 0; i < nReady && !bFinished; ++i)
        {
            char c;
            if (recv(socket.hSocket, &c, 1, 0) <= 0)
            {
                result = Failed;
                bFinished = true;
            }
            else if (c == '\n')
                bFinished = true;
            else if (nStored < TEXT_MAX_LENGTH)
                line[nStored++] = c;
        }
    }
    line[nStored] = '\0';
    return result;
}

ProcessResult ProcessSendThrough(SendFunction sendChunk, LJobControl& job, LIPSocketStream& socket, const char* bytes,
                       unsigned timeoutMs, int count)
{
    int remaining = count;
    unsigned budget = timeoutMs;
    for (;;)
    {
        if (job.IsStopped())
            return Stopped;
        const int sent = sendChunk(socket.hSocket, bytes, remaining < SEND_CHUNK ? remaining : SEND_CHUNK, 0);
        if (sent >= remaining)
            return Done;
        if (sent < 0 && WSAGetLastError() != WSAEWOULDBLOCK)
            return Failed;
        if (sent >= 0)
        {
            bytes += sent;
            remaining -= sent;
            // A whole chunk went: the socket takes more at once.
            if (sent >= SEND_CHUNK)
                continue;
        }
        fd_set writeSet;
        FD_ZERO(&writeSet);
        FD_SET(socket.hSocket, &writeSet);
        timeval wait = Milliseconds(SEND_STEP_MS);
        const int r = select(0, nullptr, &writeSet, nullptr, &wait);
        if (r < 0)
            return Failed;
        if (r == 0)
        {
            if (budget <= SEND_STEP_MS)
                return Failed;
            budget -= SEND_STEP_MS;
        }
    }
}

ProcessResult ProcessSend(LJobControl& job, LIPSocketStream& socket, const char* bytes, unsigned timeoutMs, int count)
{
    return ProcessSendThrough(send, job, socket, bytes, timeoutMs, count);
}

ProcessResult ProcessSendString(LJobControl& job, LIPSocketStream& socket, const char* text, unsigned timeoutMs)
{
    return ProcessSend(job, socket, text, timeoutMs, static_cast<int>(std::strlen(text)));
}
