// A manual-reset event, created not set, with a wait for it or another handle.
#pragma once

#include <windows.h>

#include "jobs/ProcessResult.h"

class LSignalObject
{
public:
    LSignalObject();
    ~LSignalObject();
    LSignalObject(const LSignalObject&) = delete;
    LSignalObject& operator=(const LSignalObject&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;

    // Waits for `other` or this signal, at most `timeoutMs`: Done when `other`
    // ended the wait (it wins when both are signalled), Stopped for this
    // signal, Failed on time-out.
    ProcessResult WaitSignalDual(HANDLE other, unsigned timeoutMs) const;

    HANDLE hSignalObject;
};
