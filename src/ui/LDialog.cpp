#include "ui/LDialog.h"

#include <commctrl.h>

#include "files/LFile.h"
#include "resources/AppInstance.h"

void LDialog::InitDialog() {}
bool LDialog::CmOk() { return true; }
bool LDialog::CmCancel() { return true; }
void LDialog::CmHelp() {}
void LDialog::EnableControls() {}
void LDialog::CmCommand(WORD /*id*/, WORD /*notifyCode*/) {}
void LDialog::DestroyDialog() {}

void LDialog::Close(INT_PTR result)
{
    HWND window = hWnd;
    DestroyDialog();
    hWnd = nullptr;
    EndDialog(window, result);
}

INT_PTR LDialog::DialogProc(UINT msg, WPARAM wParam, LPARAM /*lParam*/)
{
    switch (msg)
    {
    case WM_DESTROY:
        DestroyDialog();
        hWnd = nullptr;
        return 0;
    case WM_ENDSESSION:
        if (wParam)
        {
            DestroyDialog();
            hWnd = nullptr;
        }
        return 1;
    case WM_HELP:
        CmHelp();
        return 1;
    case WM_COMMAND:
        switch (LOWORD(wParam))
        {
        case IDOK:
            if (CmOk())
                Close(IDOK);
            return 1;
        case IDCANCEL:
            if (CmCancel())
                Close(IDCANCEL);
            return 1;
        case IDHELP:
            CmHelp();
            return 1;
        default:
            CmCommand(LOWORD(wParam), HIWORD(wParam));
            EnableControls();
            return 1;
        }
    default:
        return 0;
    }
}

INT_PTR LDialog::DoModal(LPCSTR templateName, HWND owner)
{
    return DialogBoxParamA(hAppInstance, templateName, owner, CommonDialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR LDialog::BindOnInit(LDialog* dialog, HWND hDlg)
{
    SetWindowLongPtrA(hDlg, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
    if (dialog)
    {
        dialog->hWnd = hDlg;
        if (hDlg)
        {
            dialog->InitDialog();
            dialog->EnableControls();
        }
    }
    return TRUE;
}

INT_PTR LDialog::Forward(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    // After Close has cleared the handle, late messages (WM_DESTROY among them)
    // no longer reach the object, so DestroyDialog runs once.
    LDialog* dialog = reinterpret_cast<LDialog*>(GetWindowLongPtrA(hDlg, DWLP_USER));
    if (dialog && dialog->hWnd == hDlg)
        return dialog->DialogProc(msg, wParam, lParam);
    return 0;
}

INT_PTR CALLBACK LDialog::CommonDialogProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG)
        return BindOnInit(reinterpret_cast<LDialog*>(lParam), hDlg);
    return Forward(hDlg, msg, wParam, lParam);
}

int LDialog::DialogUnitsToPixels(int n) const
{
    RECT rect = {0, 0, 0, n};
    MapDialogRect(hWnd, &rect);
    return rect.bottom;
}

void LDialog::MoveControl(int id, int x, int y, int width, int height) const
{
    HWND control = GetDlgItem(hWnd, id);
    MoveWindow(control, x, y, width, height, FALSE);
    InvalidateRect(control, nullptr, TRUE);
}

void LDialog::GetControlText(int id, char (&text)[TEXT_BUFFER_SIZE]) const
{
    text[0] = '\0';
    GetDlgItemTextA(hWnd, id, text, TEXT_BUFFER_SIZE);
}

void LDialog::FillComboBox(int id, const char* const* texts) const
{
    SendDlgItemMessageA(hWnd, id, CB_RESETCONTENT, 0, 0);
    for (; *texts; ++texts)
        SendDlgItemMessageA(hWnd, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(*texts));
}

void LDialog::InsertListColumns(int id, const LListColumn* columns) const
{
    HWND list = GetDlgItem(hWnd, id);
    RECT client;
    GetClientRect(list, &client);
    int used = 0;
    for (int i = 0; columns[i].szText; ++i)
    {
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.fmt = columns[i].nFormat;
        column.cx = columns[i].nWidth >= 0 ? columns[i].nWidth : client.right - used;
        column.pszText = const_cast<char*>(columns[i].szText);
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
        used += column.cx;
    }
}

void LDialog::SelectOneRow(int id, int row) const
{
    HWND list = GetDlgItem(hWnd, id);
    const int nRows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < nRows; ++i)
    {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = i == row ? LVIS_SELECTED | LVIS_FOCUSED : 0;
        SendMessageA(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&item));
    }
}

void LDialog::StretchColumn(int count, int id, int minimum, int column) const
{
    HWND list = GetDlgItem(hWnd, id);
    RECT client;
    GetClientRect(list, &client);
    int width = client.right;
    for (int i = 0; i < count; ++i)
        if (i != column)
            width -= static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0));
    SendMessageA(list, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width > minimum ? width : minimum, 0));
}

void LDialog::EnableMenuItem(int id, bool bEnable) const
{
    ::EnableMenuItem(GetMenu(hWnd), id, MF_BYCOMMAND | (bEnable ? MF_ENABLED : MF_GRAYED));
}

void LDialog::EnableControl(int id, bool bEnable) const
{
    EnableWindow(GetDlgItem(hWnd, id), bEnable);
}

void LDialog::EnableControlRange(int first, int last, bool bEnable) const
{
    for (int id = first; id <= last; ++id)
        EnableControl(id, bEnable);
}

namespace {

// The tool record as the oldest tooltip control still reads it.
TOOLINFOA ControlTool(HWND dialog, HWND control, const char* text)
{
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<char*>(text);
    return tool;
}

} // namespace

void LDialog::AddTool(HWND& hToolTip, int id, const char* text) const
{
    if (!hToolTip)
    {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        hToolTip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hWnd, nullptr,
                                   hAppInstance, nullptr);
        if (!hToolTip)
            return;
        SetWindowPos(hToolTip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    TOOLINFOA tool = ControlTool(hWnd, GetDlgItem(hWnd, id), text);
    SendMessageA(hToolTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void LDialog::AddTools(HWND& hToolTip, const LToolText* tools, int count) const
{
    for (int i = 0; i < count; ++i)
        AddTool(hToolTip, tools[i].nId, tools[i].szText);
}

void LDialog::UpdateTool(HWND hToolTip, int id, const char* text) const
{
    TOOLINFOA tool = ControlTool(hWnd, GetDlgItem(hWnd, id), text);
    SendMessageA(hToolTip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
}

void DisplayHelpContents(HWND owner, UINT command, ULONG_PTR data)
{
    char programPath[TEXT_BUFFER_SIZE];
    char helpPath[TEXT_BUFFER_SIZE];
    GetModuleFileNameA(nullptr, programPath, sizeof(programPath));
    LFile::_GetFolderFromPath(helpPath, programPath);
    LFile::FilePathCat(helpPath, "corvane.hlp");
    WinHelpA(owner, helpPath, command, data);
}
