// The job runner: a long operation runs on the user-interface thread under a
// small modeless window with two text lines, a progress bar and Cancel. The
// job keeps the interface alive by draining messages between its steps and
// while it waits; Cancel destroys the window, which the job sees at its next
// drain or wait and then ends with Stopped.
#pragma once

#include <windows.h>

#include "jobs/LJobControl.h"

class LProgressDialog : public LJobControl
{
public:
    // `title` is the window caption; it is not copied and must outlive Run.
    explicit LProgressDialog(const char* title);
    virtual ~LProgressDialog();
    LProgressDialog(const LProgressDialog&) = delete;
    LProgressDialog& operator=(const LProgressDialog&) = delete;

    // The job: true when it succeeded.
    virtual bool RunJob() = 0;
    // Every dialog message but initialisation and Cancel; 0 = not handled.
    virtual INT_PTR OnDialogMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    // Shows the window with `parent` (may be null) disabled, runs the job and
    // returns its result; false without running it when the window cannot be
    // created or the runner is already running.
    bool Run(HWND parent);

    // What a job calls; all of it is harmless once the window is gone.
    void SetText(int line, const char* text) override;
    // The bar shows whole percent, truncated.
    void SetProgress(double fraction) override;
    // Drains the thread's queue; true when the window is gone (cancelled).
    bool ProcessMessages();
    // True when the window is gone; drains the queue as ProcessMessages does,
    // but at most every DRAIN_INTERVAL_MS: a drain is a round trip to the
    // window system, dearer than a fast drive's read. The waits still wake
    // on any input, and the first call of a job always drains.
    bool IsStopped() override;
    static constexpr DWORD DRAIN_INTERVAL_MS = 50;
    // The waits drain messages, so the window paints and Cancel answers.
    ProcessResult WaitForHandle(HANDLE handle, unsigned timeoutMs) override;
    ProcessResult Pause(unsigned ms) override;
    // A warning box owned by the progress window, caption "Error".
    void ShowError(const char* text);

    HWND hWnd = nullptr;
    const char* szTitle;

private:
    // When the queue was last drained, and whether it has been in this run.
    DWORD nLastDrainTick = 0;
    bool bDrained = false;
    int nShownPercent = 0;  // what the bar shows

    // Waits for `handle` (none when null) or `timeoutMs`, draining messages:
    // Done signalled, Stopped cancelled, Failed when the handle cannot be
    // waited on; `timedOut` when the time ran out.
    ProcessResult WaitDraining(HANDLE handle, unsigned timeoutMs, ProcessResult timedOut);
    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam);
};

// A job that calls one job function with its runner and its record.
template <class T>
class LProgressJob : public LProgressDialog
{
public:
    using JobFunction = ProcessResult (*)(LJobControl& job, T& data);

    LProgressJob(const char* title, JobFunction function) : LProgressDialog(title), function(function) {}

    bool RunJob() override
    {
        nResult = pJobData ? function(*this, *pJobData) : Failed;
        return nResult == Done;
    }

    // The job's parameter-and-result record, set before Run; not owned.
    T* pJobData = nullptr;
    // What the job function returned; Failed when it did not run.
    ProcessResult nResult = Failed;

private:
    JobFunction function;
};
