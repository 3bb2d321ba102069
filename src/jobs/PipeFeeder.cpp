#include "jobs/PipeFeeder.h"

#include <initializer_list>

PipeFeeder::~PipeFeeder() { Close(); }

bool PipeFeeder::Open(HANDLE pipe, DWORD blockBytes)
{
    Close();
    hPipe = pipe;
    hWork = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    hIdle = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    buffers[0] = new uint8_t[blockBytes];
    buffers[1] = new uint8_t[blockBytes];
    bFailed = 0;
    if (hWork && hIdle)
        Start(THREAD_PRIORITY_NORMAL);
    if (!hThread)
    {
        Close();
        return false;
    }
    return true;
}

ProcessResult PipeFeeder::Send(DWORD size, LJobControl* job, unsigned timeoutMs)
{
    const ProcessResult r = Drain(job, timeoutMs);
    if (r != Done)
        return r;
    pBack = buffers[iFront];
    nBackBytes = size;
    iFront = 1 - iFront;
    ResetEvent(hIdle);
    SetEvent(hWork);
    return Done;
}

ProcessResult PipeFeeder::Drain(LJobControl* job, unsigned timeoutMs)
{
    if (!hPipe)
        return Failed;
    // The worker is mostly done before the next block: no wait through the
    // job, whose waits drain the window's messages, for that.
    ProcessResult r = Done;
    if (WaitForSingleObject(hIdle, 0) != WAIT_OBJECT_0)
    {
        if (job)
            r = job->WaitForHandle(hIdle, timeoutMs);
        else
            r = WaitForSingleObject(hIdle, timeoutMs) == WAIT_OBJECT_0 ? Done : Failed;
    }
    return r == Done && bFailed ? Failed : r;
}

void PipeFeeder::Close()
{
    if (hThread)
    {
        WaitForSingleObject(hIdle, INFINITE);
        StopThreadTimed(INFINITE);
    }
    if (hPipe)
        CloseHandle(hPipe);
    hPipe = nullptr;
    for (HANDLE* event : {&hWork, &hIdle})
    {
        if (*event)
            CloseHandle(*event);
        *event = nullptr;
    }
    for (uint8_t*& buffer : buffers)
    {
        delete[] buffer;
        buffer = nullptr;
    }
    iFront = 0;
}

void PipeFeeder::ThreadFunction()
{
    while (stopSignal.WaitSignalDual(hWork, INFINITE) == Done)
    {
        DWORD written = 0;
        // After a failed write the reader has gone: the rest is dropped.
        if (!bFailed && (!WriteFile(hPipe, pBack, nBackBytes, &written, nullptr) || written != nBackBytes))
            InterlockedExchange(&bFailed, 1);
        SetEvent(hIdle);
    }
}
