#include "sound/LSinkToSource.h"

#include <cstring>

LSinkToSourceBase::LSinkToSourceBase(int32_t rate, uint8_t channels, int32_t peak, uint32_t bucketBytes)
    : nSampleRate(rate > 0 ? rate : DEFAULT_SAMPLE_RATE),
      nChannels(channels > 0 ? channels : 1),
      nPeak(peak),
      nBytesPerFrame(nChannels * sizeof(int32_t)),
      bucket(bucketBytes),
      hWritten(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      hRead(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
    bError = nSampleRate != rate || nChannels != channels || !hWritten || !hRead || bucket.GetSize() < 2;
}

LSinkToSourceBase::~LSinkToSourceBase()
{
    if (hWritten)
        CloseHandle(hWritten);
    if (hRead)
        CloseHandle(hRead);
}

LSinkToSourceSink::LSinkToSourceSink(const LSinkToSourcePtr& bridge)
    : LSoundSinkBase(bridge->nSampleRate, bridge->nChannels), shared(bridge)
{
    bError = bridge->bError;
    shared->bSinkConnected = true;
}

LSinkToSourceSink::~LSinkToSourceSink()
{
    shared->bSinkConnected = false;
    SetEvent(shared->hWritten);
}

void LSinkToSourceSink::Write(const int32_t* frames, int count)
{
    if (count <= 0)
        return;
    nWritten += count;
    LSinkToSourceBase& s = *shared;
    const uint8_t* data = reinterpret_cast<const uint8_t*>(frames);
    uint32_t bytes = static_cast<uint32_t>(count) * s.nBytesPerFrame;
    while (bytes > 0)
    {
        // Reset before looking: a read that lands after the look sets the
        // event again, so the wait below cannot miss it.
        ResetEvent(s.hRead);
        uint32_t copied = s.bucket.Write(data, bytes);
        if (copied == 0)
        {
            if (!s.bSourceConnected)
                return;
            WaitForSingleObject(s.hRead, BRIDGE_WRITER_WAIT_MS);
            continue;
        }
        data += copied;
        bytes -= copied;
        SetEvent(s.hWritten);
    }
}

LSinkToSourceSource::LSinkToSourceSource(const LSinkToSourcePtr& bridge)
    : LSoundSourceBase(bridge->nSampleRate, bridge->nChannels, bridge->nPeak), shared(bridge)
{
    bError = bridge->bError;
    shared->bSourceConnected = true;
}

LSinkToSourceSource::~LSinkToSourceSource()
{
    shared->bSourceConnected = false;
    SetEvent(shared->hRead);
}

void LSinkToSourceSource::Read(int32_t* buffer, int frames)
{
    if (frames <= 0)
        return;
    LSinkToSourceBase& s = *shared;
    uint8_t* out = reinterpret_cast<uint8_t*>(buffer);
    uint32_t bytes = static_cast<uint32_t>(frames) * s.nBytesPerFrame;
    while (bytes > 0)
    {
        ResetEvent(s.hWritten);
        uint32_t copied = s.bucket.Read(out, bytes);
        if (copied == 0)
        {
            if (s.bSinkConnected)
            {
                WaitForSingleObject(s.hWritten, BRIDGE_READER_WAIT_MS);
                continue;
            }
            // The writer may have put its last bytes in between the look above
            // and its going away: look once more before calling it the end.
            ResetEvent(s.hWritten);
            copied = s.bucket.Read(out, bytes);
            if (copied == 0)
            {
                memset(out, 0, bytes);
                return;
            }
        }
        out += copied;
        bytes -= copied;
        SetEvent(s.hRead);
    }
}

int LSinkToSourceSource::GetEndSample()
{
    // A WaitForData after this look waits for frames written after it.
    ResetEvent(shared->hWritten);
    return static_cast<int>(shared->bucket.GetUsed() / shared->nBytesPerFrame);
}

bool LSinkToSourceSource::IsStreaming()
{
    return shared->bSinkConnected;
}

bool LSinkToSourceSource::WaitForData(int ms)
{
    return WaitForSingleObject(shared->hWritten, ms > 0 ? static_cast<DWORD>(ms) : 0) != WAIT_TIMEOUT;
}
