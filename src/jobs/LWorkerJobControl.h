// A job run on a worker thread: nothing is shown, and the job is stopped
// when the worker's stop signal is set.
#pragma once

#include "jobs/LJobControl.h"
#include "jobs/LSignalObject.h"

class LWorkerJobControl : public LJobControl
{
public:
    explicit LWorkerJobControl(const LSignalObject& stop) : stop(stop) {}

    void SetText(int, const char*) override {}
    void SetProgress(double) override {}
    bool IsStopped() override { return stop.IsSet(); }
    ProcessResult WaitForHandle(HANDLE handle, unsigned timeoutMs) override;
    ProcessResult Pause(unsigned ms) override;

private:
    const LSignalObject& stop;
};
