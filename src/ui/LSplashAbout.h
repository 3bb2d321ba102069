// The picture panel of the start-up splash and of the About box: bitmap 1
// with the program's name, version and credit lines under it.
#pragma once

#include <windows.h>

#include "files/TextBuffer.h"
#include "ui/LDialog.h"

struct LSplashAboutBase
{
    char szText[TEXT_BUFFER_SIZE];
    BYTE bAbout;   // 0 the splash, which closes itself; 1 the About panel
    HWND hWnd;     // the splash window

    void Paint(HWND window, HDC dc) const;
};

// Registers the panel's window class "LAW"; harmless when it exists.
void RegisterSplashAboutClass();

class LSplashScreen
{
public:
    // Shows the splash centred on the desktop, owned by `owner`, for seven
    // seconds or until it is clicked. Replaces one the record still shows.
    static void Display(LSplashAboutBase& panel, HWND owner);
};

// The About box: the panel, a web-page button and OK.
class LAboutBox : public LDialog
{
public:
    LAboutBox();
    void InitDialog() override;
    void CmCommand(WORD id, WORD notifyCode) override;

    LSplashAboutBase panel;
};

// The size of bitmap resource 1; 0 x 0 when it cannot be loaded.
SIZE SplashPictureSize();
