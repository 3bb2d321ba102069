// What a long operation asks of whoever runs it: whether it has been stopped,
// a wait for a handle that the stop ends, a pause, and its text and progress.
// The progress window answers with its Cancel button and keeps the interface
// alive while the job waits; a worker answers with its stop signal.
#pragma once

#include <windows.h>

#include "jobs/ProcessResult.h"

class LJobControl
{
public:
    virtual ~LJobControl() = default;

    // Line 0 is the upper text, line 1 the lower; other lines are ignored.
    virtual void SetText(int line, const char* text) = 0;
    // `fraction` 0..1 of the job.
    virtual void SetProgress(double fraction) = 0;
    // True once the job has been stopped. Under a window this is also where
    // the window's messages are handled between the job's steps.
    virtual bool IsStopped() = 0;
    // Waits for `handle`: Done when it is signalled, Stopped when the job is
    // stopped meanwhile, Failed when `timeoutMs` passes or the handle cannot
    // be waited on. The handle is neither closed nor its owner stopped.
    virtual ProcessResult WaitForHandle(HANDLE handle, unsigned timeoutMs) = 0;
    // Lets `ms` pass: Done after it, Stopped as soon as the job is stopped.
    virtual ProcessResult Pause(unsigned ms) = 0;
};
