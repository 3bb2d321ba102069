// A disc's entry in the AccurateRip database, fetched over HTTP through
// WinINet (the table of WinInet.h) on a worker thread: the job only waits,
// so the window answers however the server behaves, and Cancel ends the wait
// at once.
#pragma once

#include <vector>

#include "cdrom/AccurateRip.h"
#include "files/TextBuffer.h"
#include "jobs/LJobControl.h"

// The database's server, used when the setting "AccurateRipServer" is not there.
constexpr const char* ACCURATERIP_SERVER_DEFAULT = "www.accuraterip.com";
constexpr unsigned short HTTP_PORT = 80;
// A lookup with no answer this long from its start is not reached.
constexpr unsigned ACCURATERIP_TIMEOUT_MS = 10000;

struct AccurateRipLookupShare;
struct LAccurateRipLookup;

// A lookup started ahead of the rip that needs it, when the disc is loaded:
// its worker asks the server meanwhile, and ProcessAccurateRipLookup takes its
// answer instead of asking again.
class LAccurateRipPrefetch
{
public:
    LAccurateRipPrefetch() = default;
    ~LAccurateRipPrefetch() { Drop(); }
    LAccurateRipPrefetch(const LAccurateRipPrefetch&) = delete;
    LAccurateRipPrefetch& operator=(const LAccurateRipPrefetch&) = delete;

    // Starts asking `server` for `path`, dropping a lookup started before.
    void Start(const char* server, const char* path);
    // Lets go of the lookup; its worker ends by itself.
    void Drop();

private:
    friend ProcessResult ProcessAccurateRipLookup(LJobControl& job, LAccurateRipLookup& lookup);
    AccurateRipLookupShare* pShare = nullptr;
    HANDLE hThread = nullptr;
};

struct LAccurateRipLookup
{
    char szServer[TEXT_BUFFER_SIZE];     // "host" or "host:port" (port 80 when none)
    char szPath[ACCURATERIP_PATH_SIZE];  // the entry's path, as AccurateRipPath makes it
    AccurateRipAnswer nAnswer = AccurateRipAnswer::NotReached;
    std::vector<AccurateRipChunk> Chunks;  // the entry, when Found
    // A lookup started earlier: taken over when it asks the same server for
    // the same path.
    LAccurateRipPrefetch* pPrefetch = nullptr;
};

// GET http://<server>/<path>: Done with the answer read (a server that cannot
// be reached, refuses, times out or sends a cut or malformed body is
// NotReached), Stopped on Cancel. A worker still held by a silent server after
// a Cancel ends by itself when its wait times out.
ProcessResult ProcessAccurateRipLookup(LJobControl& job, LAccurateRipLookup& lookup);
