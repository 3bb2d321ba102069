#include "jobs/LSignalObject.h"

LSignalObject::LSignalObject()
    : hSignalObject(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
}

LSignalObject::~LSignalObject()
{
    if (hSignalObject)
        CloseHandle(hSignalObject);
}

void LSignalObject::Set() { SetEvent(hSignalObject); }

void LSignalObject::Reset() { ResetEvent(hSignalObject); }

bool LSignalObject::IsSet() const { return WaitForSingleObject(hSignalObject, 0) == WAIT_OBJECT_0; }

ProcessResult LSignalObject::WaitSignalDual(HANDLE other, unsigned timeoutMs) const
{
    // Without an event of its own (creation failed) only `other` can end the wait.
    HANDLE handles[2] = {other, hSignalObject};
    DWORD result = WaitForMultipleObjects(hSignalObject ? 2 : 1, handles, FALSE, timeoutMs);
    if (result == WAIT_OBJECT_0)
        return Done;
    if (result == WAIT_OBJECT_0 + 1)
        return Stopped;
    return Failed;
}
