// A small client for line-oriented conversations over TCP. Every operation
// that can block runs inside a job: it waits in short steps, asking the job
// between them whether it was stopped, and then gives up with Stopped.
// Failed covers failures and time-outs alike.
#pragma once

#include <winsock2.h>

#include "files/TextBuffer.h"
#include "jobs/LJobControl.h"

// One socket; the object starts the sockets library and stops it again.
class LIPSocket
{
public:
    LIPSocket();
    // Closes an open socket, then stops the library.
    ~LIPSocket();
    LIPSocket(const LIPSocket&) = delete;
    LIPSocket& operator=(const LIPSocket&) = delete;

    static void SystemStartup();
    static void SystemShutDown();
    bool SetNonBlocking();
    void Close();

    SOCKET hSocket = INVALID_SOCKET;
};

class LIPSocketStream : public LIPSocket
{
public:
    // Bytes waiting to be read; 0 when the query fails.
    u_long GetBytesReady();
};

// Connects to `host` (a dotted IPv4 address or a name) at `port`.
ProcessResult ProcessConnect(LJobControl& job, LIPSocketStream& socket, const char* host, bool bNoDelay,
                   unsigned timeoutMs, unsigned short port);
// `server` is "host" or "host:port"; without a port, `defaultPort`.
ProcessResult ProcessConnectWithPort(LJobControl& job, LIPSocketStream& socket, const char* server,
                           unsigned short defaultPort, unsigned timeoutMs);
// Receives one line up to its line feed (not stored; a carriage return is):
// at most 259 characters are kept, the rest of the line is dropped. The
// buffer always ends terminated, holding what arrived even on failure.
ProcessResult ProcessRecvLine(LJobControl& job, LIPSocketStream& socket, char (&line)[TEXT_BUFFER_SIZE],
                    unsigned timeoutMs);
ProcessResult ProcessSend(LJobControl& job, LIPSocketStream& socket, const char* bytes, unsigned timeoutMs, int count);
// ProcessSend with the call that hands each chunk to the socket given, so
// that tests can watch the chunks; ProcessSend passes `send`.
using SendFunction = int(WSAAPI*)(SOCKET socket, const char* bytes, int count, int flags);
ProcessResult ProcessSendThrough(SendFunction sendChunk, LJobControl& job, LIPSocketStream& socket, const char* bytes,
                       unsigned timeoutMs, int count);
ProcessResult ProcessSendString(LJobControl& job, LIPSocketStream& socket, const char* text, unsigned timeoutMs);
