#include "ui/LToolBar.h"

#include <commctrl.h>

#include "resources/AppInstance.h"

namespace {

// The size of the images of the standard large set, which ours match.
const int IMAGE_SIZE = 24;

} // namespace

void LToolBar::SetToolBar(HWND& hToolBar, const LToolButton* buttons, HWND owner, int count)
{
    hToolBar = CreateToolbarEx(owner, WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT, TOOLBAR_ID, 0,
                               HINST_COMMCTRL, IDB_STD_LARGE_COLOR, nullptr, 0, 0, 0, IMAGE_SIZE, IMAGE_SIZE,
                               sizeof(TBBUTTON));
    HWND hToolTips = reinterpret_cast<HWND>(SendMessageA(hToolBar, TB_GETTOOLTIPS, 0, 0));
    for (int i = 0; i < count; ++i)
    {
        const LToolButton& entry = buttons[i];
        TBBUTTON button = {};
        button.idCommand = entry.nCommand;
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = entry.nStyle == 1 ? BTNS_SEP : BTNS_BUTTON;
        button.iString = reinterpret_cast<INT_PTR>(entry.szLabel);
        button.iBitmap = entry.nImage;
        if (entry.nImage < 0)
        {
            TBADDBITMAP bitmap = {hAppInstance, static_cast<UINT_PTR>(-entry.nImage)};
            button.iBitmap = static_cast<int>(SendMessageA(hToolBar, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&bitmap)));
        }
        SendMessageA(hToolBar, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&button));
        // The toolbar made a tool for the button under its command; it gets
        // our text in place of asking the owner for one.
        if (entry.szToolTip && hToolTips)
        {
            TOOLINFOA tool = {};
            tool.cbSize = TTTOOLINFOA_V2_SIZE;
            tool.uFlags = TTF_SUBCLASS;
            tool.hwnd = hToolBar;
            tool.uId = entry.nCommand;
            tool.lpszText = const_cast<char*>(entry.szToolTip);
            SendMessageA(hToolTips, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
    SendMessageA(hToolBar, TB_AUTOSIZE, 0, 0);
}
