// The job runner: a long operation runs on the user-interface thread under a
// small modeless window with two text lines, a progress bar and Cancel. The
// job keeps the interface alive by draining messages between its steps and
// while it waits; Cancel destroys the window, which the job sees at its next
// drain or wait and then ends with Stopped.
#pragma once

#include <windows.h>

#include "jobs/LJobControl.h"

// One progress window for a run of jobs with the same owner (the tracks of a
// rip): the first job's Run makes it, the next ones show their own title and
// texts in it, and End (or the destructor) destroys it and enables the owner
// again. Making and destroying a window, and the activation moving with it,
// cost some hundredths of a second a job under Wine, and the window would
// blink between the jobs. Once its window has been cancelled (or closed from
// outside), every later job of the run stops at its start.
class LProgressSeries
{
public:
    LProgressSeries() = default;
    ~LProgressSeries() { End(); }
    LProgressSeries(const LProgressSeries&) = delete;
    LProgressSeries& operator=(const LProgressSeries&) = delete;

    void End();

private:
    friend class LProgressDialog;
    HWND hWnd = nullptr;     // the window, while it lasts
    HWND hParent = nullptr;  // disabled by the first job, until End
    bool bHoldsParent = false;
    bool bParentWasEnabled = false;
    bool bCancelled = false;
};

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
    // created or the runner is already running. With pSeries, the series'
    // window is used and left open.
    bool Run(HWND parent);
    // Set before Run to run the job in a series' window; not owned.
    LProgressSeries* pSeries = nullptr;

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
    // The window a job of pSeries runs in: the series' own, taken over, or a
    // new one it then keeps; false when none can be made.
    bool TakeSeriesWindow(HWND parent);
    // Shows this job's title and an empty bar and texts in `window`.
    void Attach(HWND window);
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
