#include "jobs/LThread.h"

LThread::~LThread()
{
    StopThreadTimed(5000);
}

void LThread::Start(int priority)
{
    if (hThread)
    {
        DWORD exitCode = 0;
        if (GetExitCodeThread(hThread, &exitCode) && exitCode == STILL_ACTIVE)
            return;
        CloseHandle(hThread);
        hThread = nullptr;
    }
    stopSignal.Reset();
    DWORD threadId;
    hThread = CreateThread(nullptr, 0, ThreadStart, this, 0, &threadId);
    if (hThread)
        SetThreadPriority(hThread, priority);
}

void LThread::StopThreadTimed(unsigned timeoutMs)
{
    if (!hThread)
        return;
    stopSignal.Set();
    // A low-priority worker must get the processor to see its stop signal.
    SetThreadPriority(hThread, GetThreadPriority(GetCurrentThread()));
    if (WaitForSingleObject(hThread, timeoutMs) == WAIT_TIMEOUT)
        TerminateThread(hThread, 0);
    CloseHandle(hThread);
    hThread = nullptr;
}

DWORD WINAPI LThread::ThreadStart(void* object)
{
    if (object)
        static_cast<LThread*>(object)->ThreadFunction();
    return 0;
}
