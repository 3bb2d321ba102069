#include "jobs/LWorkerJobControl.h"

ProcessResult LWorkerJobControl::WaitForHandle(HANDLE handle, unsigned timeoutMs)
{
    return stop.WaitSignalDual(handle, timeoutMs);
}

ProcessResult LWorkerJobControl::Pause(unsigned ms)
{
    // Without an event of its own (creation failed) nothing can stop the pause.
    if (!stop.hSignalObject)
    {
        Sleep(ms);
        return Done;
    }
    return WaitForSingleObject(stop.hSignalObject, ms) == WAIT_OBJECT_0 ? Stopped : Done;
}
