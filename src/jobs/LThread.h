// An object that owns one worker thread. The subclass supplies the body; the
// base starts it, asks it to stop through the stop signal, and terminates it
// when it does not end in time.
#pragma once

#include <windows.h>

#include "jobs/LSignalObject.h"

class LThread
{
public:
    LThread() = default;
    // Stops the thread (5000 ms, then by force). A subclass whose body uses the
    // subclass's own members stops the thread in its own destructor first.
    virtual ~LThread();
    LThread(const LThread&) = delete;
    LThread& operator=(const LThread&) = delete;

    // Starts the body at `priority`; does nothing while the thread still runs.
    // A thread that cannot be created leaves hThread null.
    void Start(int priority);
    // Sets the stop signal and waits up to `timeoutMs` for the body to return,
    // then terminates the thread. The signal stays set until the next Start.
    void StopThreadTimed(unsigned timeoutMs);

    HANDLE hThread = nullptr;

protected:
    // The thread's body: polls stopSignal between units of work, or waits on it.
    virtual void ThreadFunction() = 0;

    LSignalObject stopSignal;

private:
    static DWORD WINAPI ThreadStart(void* object);
};
