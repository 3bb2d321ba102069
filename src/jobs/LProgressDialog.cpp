#include "jobs/LProgressDialog.h"

#include <commctrl.h>

#include "resources/AppInstance.h"
#include "resources/resource.h"

LProgressDialog::LProgressDialog(const char* title) : szTitle(title)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
}

LProgressDialog::~LProgressDialog() = default;

INT_PTR LProgressDialog::OnDialogMessage(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    return 0;
}

namespace {

// The window property that names a series' window's series.
const char SERIES_PROPERTY[] = "LProgressSeries";

} // namespace

void LProgressSeries::End()
{
    // The owner is enabled before the window goes, as at the end of a job.
    if (bHoldsParent && bParentWasEnabled && IsWindow(hParent))
    {
        EnableWindow(hParent, TRUE);
        SetActiveWindow(hParent);
        SetFocus(hParent);
    }
    bHoldsParent = false;
    if (hWnd)
    {
        HWND window = hWnd;
        hWnd = nullptr;
        RemovePropA(window, SERIES_PROPERTY);
        DestroyWindow(window);
    }
}

void LProgressDialog::Attach(HWND window)
{
    hWnd = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowTextA(window, szTitle);
    SetDlgItemTextA(window, IDC_PROGRESS_LINE0, "");
    SetDlgItemTextA(window, IDC_PROGRESS_LINE1, "");
    SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
    nShownPercent = 0;
}

bool LProgressDialog::TakeSeriesWindow(HWND parent)
{
    LProgressSeries& series = *pSeries;
    if (series.hWnd && series.hParent == parent)
    {
        Attach(series.hWnd);
        return true;
    }
    // A window of another owner is not this job's to show.
    series.End();
    if (!CreateDialogParamA(hAppInstance, "LProgressDialog", parent, DialogProc, reinterpret_cast<LPARAM>(this)))
        return false;
    series.hWnd = hWnd;
    series.hParent = parent;
    series.bHoldsParent = parent != nullptr;
    series.bParentWasEnabled = parent && IsWindowEnabled(parent);
    SetPropA(hWnd, SERIES_PROPERTY, &series);
    if (parent)
        EnableWindow(parent, FALSE);
    return true;
}

bool LProgressDialog::Run(HWND parent)
{
    if (hWnd)
        return false;
    if (pSeries)
    {
        // After a Cancel the job runs without a window, and so stops at its
        // first look.
        bDrained = false;
        if (!pSeries->bCancelled && !TakeSeriesWindow(parent))
            return false;
        const bool bSucceeded = RunJob();
        // The window stays for the next job; until then no job answers it.
        if (hWnd)
            SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
        hWnd = nullptr;
        return bSucceeded;
    }
    if (!CreateDialogParamA(hAppInstance, "LProgressDialog", parent, DialogProc, reinterpret_cast<LPARAM>(this)))
        return false;
    // A job run while another job already holds the owner disabled must not
    // enable it when it ends: the outer job is still running.
    const bool bParentWasEnabled = parent && IsWindowEnabled(parent);
    if (parent)
        EnableWindow(parent, FALSE);

    bDrained = false;
    const bool bSucceeded = RunJob();

    // The owner is enabled before the progress window goes, so that the
    // activation returns to it rather than to another program.
    if (bParentWasEnabled && IsWindow(parent))
    {
        EnableWindow(parent, TRUE);
        SetActiveWindow(parent);
        SetFocus(parent);
    }
    if (hWnd)
    {
        HWND window = hWnd;
        hWnd = nullptr;
        DestroyWindow(window);
    }
    return bSucceeded;
}

void LProgressDialog::SetText(int line, const char* text)
{
    if (hWnd && (line == 0 || line == 1))
        SetDlgItemTextA(hWnd, line == 0 ? IDC_PROGRESS_LINE0 : IDC_PROGRESS_LINE1, text);
}

void LProgressDialog::SetProgress(double fraction)
{
    if (!hWnd)
        return;
    // Clamped first: converting an out-of-range double to int is undefined.
    int percent = 0;
    if (fraction >= 1.0)
        percent = 100;
    else if (fraction > 0.0)
        percent = static_cast<int>(fraction * 100.0);
    // A repaint costs more than a fast drive's read: the bar is only told of
    // a new percentage.
    if (percent == nShownPercent)
        return;
    nShownPercent = percent;
    SendDlgItemMessageA(hWnd, IDC_PROGRESS_BAR, PBM_SETPOS, percent, 0);
}

bool LProgressDialog::IsStopped()
{
    if (hWnd && bDrained && GetTickCount() - nLastDrainTick < DRAIN_INTERVAL_MS)
        return false;
    return ProcessMessages();
}

bool LProgressDialog::ProcessMessages()
{
    bDrained = true;
    nLastDrainTick = GetTickCount();
    // Messages sent by other threads are handled inside PeekMessage itself,
    // so a Cancel clicked that way can end the window while it finds nothing.
    MSG msg;
    while (hWnd && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        if (msg.message == WM_QUIT)
        {
            // The program is ending: the job stops as on Cancel, and the quit
            // goes back on the queue for the loop that owns it.
            HWND window = hWnd;
            hWnd = nullptr;
            DestroyWindow(window);
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsDialogMessageA(hWnd, &msg))
        {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return hWnd == nullptr;
}

ProcessResult LProgressDialog::WaitForHandle(HANDLE handle, unsigned timeoutMs)
{
    return WaitDraining(handle, timeoutMs, Failed);
}

ProcessResult LProgressDialog::Pause(unsigned ms)
{
    // Nothing else ends a pause early, so a Cancel already made ends it at once.
    if (ProcessMessages())
        return Stopped;
    return WaitDraining(nullptr, ms, Done);
}

ProcessResult LProgressDialog::WaitDraining(HANDLE handle, unsigned timeoutMs, ProcessResult timedOut)
{
    const DWORD nHandles = handle ? 1 : 0;
    DWORD start = GetTickCount();
    DWORD remaining = timeoutMs;
    for (;;)
    {
        // The handle is looked at first: a message wait may report queued
        // messages ahead of a handle that is already signalled.
        DWORD r = handle ? WaitForSingleObject(handle, 0) : WAIT_TIMEOUT;
        if (r == WAIT_TIMEOUT)
            r = MsgWaitForMultipleObjects(nHandles, &handle, FALSE, remaining, QS_ALLINPUT);
        if (nHandles == 1 && (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED_0))
            return Done;
        if (r == WAIT_TIMEOUT)
            return timedOut;
        // A handle that cannot be waited on would otherwise spin until the time-out.
        if (r != WAIT_OBJECT_0 + nHandles)
            return Failed;
        if (ProcessMessages())
            return Stopped;
        // Time spent with messages is charged, so a steady stream of them
        // cannot stretch the time-out.
        const DWORD now = GetTickCount();
        const DWORD elapsed = now - start;
        remaining = elapsed < remaining ? remaining - elapsed : 0;
        start = now;
    }
}

void LProgressDialog::ShowError(const char* text)
{
    MessageBoxA(hWnd, text, "Error", MB_OK | MB_ICONWARNING);
}

INT_PTR CALLBACK LProgressDialog::DialogProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG)
    {
        reinterpret_cast<LProgressDialog*>(lParam)->Attach(hDlg);
        return TRUE;
    }
    LProgressDialog* dialog = reinterpret_cast<LProgressDialog*>(GetWindowLongPtrA(hDlg, GWLP_USERDATA));
    // A series' window that goes other than by End is cancelled for the
    // jobs still to come.
    if (msg == WM_DESTROY)
        if (auto* series = static_cast<LProgressSeries*>(RemovePropA(hDlg, SERIES_PROPERTY)))
        {
            series->hWnd = nullptr;
            series->bCancelled = true;
        }
    if (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL)
    {
        if (dialog && dialog->hWnd == hDlg)
            dialog->hWnd = nullptr;
        DestroyWindow(hDlg);
        return TRUE;
    }
    // Destroyed from outside (with its owner, say): the job sees a Cancel
    // rather than keep a handle that no longer names a window.
    if (msg == WM_DESTROY && dialog && dialog->hWnd == hDlg)
    {
        dialog->hWnd = nullptr;
        return TRUE;
    }
    if (dialog && dialog->hWnd == hDlg)
        return dialog->OnDialogMessage(msg, wParam, lParam);
    return 0;
}
