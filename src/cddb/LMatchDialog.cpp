#include "cddb/LMatchDialog.h"

#include "resources/resource.h"

LMatchDialog::LMatchDialog(const std::vector<CDDBMatch>& matches) : matches(matches) {}

int LMatchDialog::Choose(HWND owner)
{
    nChosen = -1;
    return DoModal("LMatchDialog", owner) == IDOK ? nChosen : -1;
}

void LMatchDialog::InitDialog()
{
    LDialog::InitDialog();
    for (const CDDBMatch& match : matches)
    {
        char row[3 * TEXT_BUFFER_SIZE];
        FormatText(row, sizeof(row), "%s: %s", match.szCategory, match.szTitle[0] ? match.szTitle : match.szDiscId);
        SendDlgItemMessageA(hWnd, IDC_MATCHES, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
    }
    SendDlgItemMessageA(hWnd, IDC_MATCHES, LB_SETCURSEL, 0, 0);
}

bool LMatchDialog::CmOk()
{
    const LRESULT selected = SendDlgItemMessageA(hWnd, IDC_MATCHES, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR || selected >= static_cast<LRESULT>(matches.size()))
        return false;
    nChosen = static_cast<int>(selected);
    return true;
}

void LMatchDialog::CmCommand(WORD id, WORD notifyCode)
{
    // A double click chooses as OK does.
    if (id == IDC_MATCHES && notifyCode == LBN_DBLCLK && CmOk())
        Close(IDOK);
}
