// Pages of property sheets and wizards: the sheet's notifications become the
// dialog's virtual operations.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "ui/LDialog.h"

class LPropertyPage : public LDialog
{
public:
    INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The record that describes this page to the sheet: its template, the
    // header's title and subtitle, and a Help button when `bHelp`.
    PROPSHEETPAGEA MakePage(LPCSTR templateName, const char* title, const char* subTitle, bool bHelp);

protected:
    // Answers a sheet notification with `result` as the message result.
    INT_PTR NotifyResult(LONG_PTR result);

private:
    static INT_PTR CALLBACK PageDialogProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam);
};

// Next and Finish ask CmOk, the sheet's Cancel asks CmCancel: false keeps
// the wizard where it is.
class LWizardPage : public LPropertyPage
{
public:
    INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    virtual void OnSetActive();
    virtual void OnKillActive();

    // PSWIZB_ flags shown while the page is active.
    DWORD nWizardButtons = PSWIZB_BACK | PSWIZB_NEXT;
};
