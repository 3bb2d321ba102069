// The main window's toolbar, built from a table of buttons.
#pragma once

#include <windows.h>

#include <cstdint>

struct LToolButton
{
    uint16_t nCommand;
    int16_t nImage;          // negative: the program's bitmap resource -nImage
    const char* szLabel;
    const char* szToolTip;   // may be null
    uint8_t nStyle;          // 0 button, 1 separator
};

constexpr int TOOLBAR_ID = 89;

class LToolBar
{
public:
    // Creates the toolbar in `hToolBar` as a child of `owner` and adds the
    // `count` buttons of `buttons`, all enabled.
    static void SetToolBar(HWND& hToolBar, const LToolButton* buttons, HWND owner, int count);
};
