// The jobs tests run steps under: with no window (nothing shows, and only
// Stop stops it), or under the real progress window with the test's body.
#pragma once

#include <functional>
#include <utility>

#include "jobs/LProgressDialog.h"
#include "jobs/LSignalObject.h"
#include "jobs/LWorkerJobControl.h"

struct TestJobSignal
{
    LSignalObject signal;
};

class TestJobControl : private TestJobSignal, public LWorkerJobControl
{
public:
    TestJobControl() : LWorkerJobControl(signal) {}
    void Stop() { signal.Set(); }
};

// Run returns what the body returns.
class WindowJob : public LProgressDialog
{
public:
    explicit WindowJob(std::function<bool(WindowJob&)> body, const char* title = "Test Job")
        : LProgressDialog(title), body(std::move(body))
    {
    }
    bool RunJob() override { return body(*this); }

private:
    std::function<bool(WindowJob&)> body;
};
