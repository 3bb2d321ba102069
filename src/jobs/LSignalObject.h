// A manual-reset event, created not set, with a wait for it or another handle.
#pragma once

#include <windows.h>

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

    // Waits for `other` or this signal, at most `timeoutMs`. Returns 0 when `other`
    // ended the wait (it wins when both are signalled), 1 for this signal, 2 on
    // time-out.
    int WaitSignalDual(HANDLE other, unsigned timeoutMs) const;

    HANDLE hSignalObject;
};
