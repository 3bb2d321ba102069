#include "ui/LPropertyPage.h"

#include "resources/AppInstance.h"

PROPSHEETPAGEA LPropertyPage::MakePage(LPCSTR templateName, const char* title, const char* subTitle, bool bHelp)
{
    PROPSHEETPAGEA page = {};
    page.dwSize = sizeof(page);
    page.dwFlags = PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE | (bHelp ? PSP_HASHELP : 0);
    page.hInstance = hAppInstance;
    page.pszTemplate = templateName;
    page.pfnDlgProc = PageDialogProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    page.pszHeaderTitle = title;
    page.pszHeaderSubTitle = subTitle;
    return page;
}

INT_PTR CALLBACK LPropertyPage::PageDialogProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG)
    {
        const PROPSHEETPAGEA* page = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
        return BindOnInit(page ? reinterpret_cast<LDialog*>(page->lParam) : nullptr, hDlg);
    }
    return Forward(hDlg, msg, wParam, lParam);
}

INT_PTR LPropertyPage::NotifyResult(LONG_PTR result)
{
    SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, result);
    return 1;
}

INT_PTR LPropertyPage::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->hwndFrom == GetParent(hWnd))
    {
        switch (reinterpret_cast<NMHDR*>(lParam)->code)
        {
        case PSN_HELP:
            CmHelp();
            return 1;
        case PSN_APPLY:
            return NotifyResult(CmOk() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE);
        default:
            break;
        }
    }
    // The sheet's OK and Cancel buttons are not the page's.
    if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
        return 1;
    return LDialog::DialogProc(msg, wParam, lParam);
}

void LWizardPage::OnSetActive() {}
void LWizardPage::OnKillActive() {}

INT_PTR LWizardPage::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->hwndFrom == GetParent(hWnd))
    {
        switch (reinterpret_cast<NMHDR*>(lParam)->code)
        {
        case PSN_SETACTIVE:
            PostMessageA(GetParent(hWnd), PSM_SETWIZBUTTONS, 0, nWizardButtons);
            OnSetActive();
            EnableControls();
            return 1;
        case PSN_KILLACTIVE:
            OnKillActive();
            return 1;
        case PSN_WIZNEXT:
            return NotifyResult(CmOk() ? 0 : -1);
        case PSN_WIZFINISH:
            return NotifyResult(CmOk() ? 0 : 1);
        case PSN_QUERYCANCEL:
            return NotifyResult(CmCancel() ? FALSE : TRUE);
        default:
            break;
        }
    }
    return LPropertyPage::DialogProc(msg, wParam, lParam);
}
