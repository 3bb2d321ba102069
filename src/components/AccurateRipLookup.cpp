#include "components/AccurateRipLookup.h"

#include <atomic>
#include <cstring>

#include "components/ComponentServers.h"
#include "components/WinInet.h"

namespace {

constexpr const char* USER_AGENT = "Corvane";
// How often the waiting job looks at Cancel.
constexpr unsigned WAIT_INTERVAL_MS = 100;

} // namespace

// The lookup on its worker thread and the job that waits for it share this;
// the last of the two to let go frees it, so a Cancel never waits for a
// WinINet call that blocks.
struct AccurateRipLookupShare
{
    char szServer[TEXT_BUFFER_SIZE];
    char szPath[ACCURATERIP_PATH_SIZE];
    AccurateRipAnswer nAnswer = AccurateRipAnswer::NotReached;
    std::vector<AccurateRipChunk> Chunks;
    DWORD nStartTick = GetTickCount();  // the lookup's time runs from here
    std::atomic<int> nOwners{2};

    void Release()
    {
        if (--nOwners == 0)
            delete this;
    }
};

namespace {

// Closes its handles, the last opened first.
class InternetHandles
{
public:
    InternetHandles() = default;
    ~InternetHandles()
    {
        for (int i = nHandles - 1; i >= 0; --i)
            CloseInternetHandle(handles[i]);
    }
    InternetHandles(const InternetHandles&) = delete;
    InternetHandles& operator=(const InternetHandles&) = delete;

    HINTERNET Keep(HINTERNET handle)
    {
        if (handle)
            handles[nHandles++] = handle;
        return handle;
    }

private:
    HINTERNET handles[3] = {};
    int nHandles = 0;
};

AccurateRipAnswer Fetch(const char* server, const char* path, std::vector<AccurateRipChunk>& chunks)
{
    const WinInetFunctions& f = WinInet();
    if (!f.InternetOpenA || !f.InternetConnectA || !f.HttpOpenRequestA || !f.HttpSendRequestA || !f.HttpQueryInfoA
        || !f.InternetReadFile)
        return AccurateRipAnswer::NotReached;
    char host[TEXT_BUFFER_SIZE];
    INTERNET_PORT port = HTTP_PORT;
    if (!SplitServerAddress(server, HTTP_PORT, host, port))
        return AccurateRipAnswer::NotReached;

    InternetHandles handles;
    HINTERNET session = handles.Keep(f.InternetOpenA(USER_AGENT, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session)
        return AccurateRipAnswer::NotReached;
    if (f.InternetSetOptionA)
    {
        DWORD timeout = ACCURATERIP_TIMEOUT_MS;
        for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                             INTERNET_OPTION_RECEIVE_TIMEOUT})
            f.InternetSetOptionA(session, option, &timeout, sizeof(timeout));
    }
    HINTERNET connection =
        handles.Keep(f.InternetConnectA(session, host, port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection)
        return AccurateRipAnswer::NotReached;
    char object[ACCURATERIP_PATH_SIZE + 1];
    FormatText(object, sizeof(object), "/%s", path);
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE
                        | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTH;
    HINTERNET request =
        handles.Keep(f.HttpOpenRequestA(connection, "GET", object, nullptr, nullptr, nullptr, flags, 0));
    if (!request || !f.HttpSendRequestA(request, nullptr, 0, nullptr, 0))
        return AccurateRipAnswer::NotReached;

    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!f.HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return AccurateRipAnswer::NotReached;
    char type[TEXT_BUFFER_SIZE] = "";
    size = sizeof(type) - 1;
    if (!f.HttpQueryInfoA(request, HTTP_QUERY_CONTENT_TYPE, type, &size, nullptr))
        type[0] = '\0';
    DWORD length = 0;
    size = sizeof(length);
    const bool bLength =
        f.HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr);

    // One byte past the largest entry tells a body that is too large.
    std::vector<uint8_t> body(ACCURATERIP_MAX_BODY + 1);
    std::size_t nBody = 0;
    if (status == 200)
    {
        for (;;)
        {
            DWORD nRead = 0;
            if (!f.InternetReadFile(request, body.data() + nBody, DWORD(body.size() - nBody), &nRead))
                return AccurateRipAnswer::NotReached;
            if (nRead == 0)
                break;
            nBody += nRead;
            if (nBody == body.size())
                break;
        }
        // A connection that ended before the whole body came says nothing.
        if (bLength && nBody != length)
            return AccurateRipAnswer::NotReached;
    }
    return ReadAccurateRipAnswer(int(status), type, body.data(), nBody, chunks);
}

DWORD WINAPI LookupThread(void* parameter)
{
    AccurateRipLookupShare& share = *static_cast<AccurateRipLookupShare*>(parameter);
    share.nAnswer = Fetch(share.szServer, share.szPath, share.Chunks);
    share.Release();
    return 0;
}

// Starts the worker: false, with nothing to let go of, when it cannot be.
bool StartLookup(const char* server, const char* path, AccurateRipLookupShare*& share, HANDLE& thread)
{
    share = new AccurateRipLookupShare;
    CopyText(share->szServer, server);
    CopyText(share->szPath, path);
    thread = CreateThread(nullptr, 0, LookupThread, share, 0, nullptr);
    if (thread)
        return true;
    delete share;
    share = nullptr;
    return false;
}

} // namespace

void LAccurateRipPrefetch::Start(const char* server, const char* path)
{
    Drop();
    StartLookup(server, path, pShare, hThread);
}

void LAccurateRipPrefetch::Drop()
{
    if (!pShare)
        return;
    CloseHandle(hThread);
    pShare->Release();
    pShare = nullptr;
    hThread = nullptr;
}

ProcessResult ProcessAccurateRipLookup(LJobControl& job, LAccurateRipLookup& lookup)
{
    job.SetText(0, "Looking up the disc in the AccurateRip database");
    job.SetText(1, "Please wait...");
    lookup.nAnswer = AccurateRipAnswer::NotReached;
    lookup.Chunks.clear();
    AccurateRipLookupShare* share = nullptr;
    HANDLE hThread = nullptr;
    LAccurateRipPrefetch* prefetch = lookup.pPrefetch;
    if (prefetch && prefetch->pShare && strcmp(prefetch->pShare->szServer, lookup.szServer) == 0
        && strcmp(prefetch->pShare->szPath, lookup.szPath) == 0)
    {
        share = prefetch->pShare;
        hThread = prefetch->hThread;
        prefetch->pShare = nullptr;
        prefetch->hThread = nullptr;
    }
    else if (!StartLookup(lookup.szServer, lookup.szPath, share, hThread))
        return Done;
    ProcessResult result = Failed;
    for (;;)
    {
        const ProcessResult waited = job.WaitForHandle(hThread, WAIT_INTERVAL_MS);
        if (waited == Done)
        {
            lookup.nAnswer = share->nAnswer;
            lookup.Chunks.swap(share->Chunks);
            result = Done;
            break;
        }
        if (waited == Stopped || job.IsStopped())
        {
            result = Stopped;
            break;
        }
        // Wine's WinINet waits a minute for a server that took the request
        // and stays silent, whatever its time-outs say: the lookup's own
        // time ends the wait, and the worker ends by itself.
        if (WaitForSingleObject(hThread, 0) == WAIT_FAILED
            || GetTickCount() - share->nStartTick >= ACCURATERIP_TIMEOUT_MS)
        {
            result = Done;  // no answer: not reached
            break;
        }
    }
    CloseHandle(hThread);
    share->Release();
    return result;
}
