#include "ui/LSplashAbout.h"

#include "resources/AppInstance.h"
#include "resources/resource.h"
#include "ui/WebPage.h"

namespace {

const char* const PANEL_CLASS = "LAW";
const UINT SPLASH_TIMER = 1;
const UINT SPLASH_MS = 7000;

// The credit lines under the picture, right-aligned.
// The first two lines share their rows with the name and version on the left,
// so they stay short.
const char* const CREDIT_LINES =
    "Free audio CD ripper\n"
    "by Talmarin\n"
    "\n"
    "Updates and support at\n"
    "www.talmarin.com";

LRESULT CALLBACK PanelProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* panel = reinterpret_cast<LSplashAboutBase*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!panel)
        return DefWindowProcA(window, msg, wParam, lParam);
    switch (msg)
    {
    case WM_PAINT:
    {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        panel->Paint(window, dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_TIMER:
    case WM_LBUTTONDOWN:
        if (!panel->bAbout)
        {
            if (panel->hWnd == window)
                panel->hWnd = nullptr;
            DestroyWindow(window);
        }
        return 0;
    default:
        return DefWindowProcA(window, msg, wParam, lParam);
    }
}

HFONT PanelFont(int weight)
{
    return CreateFontA(16, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, nullptr);
}

} // namespace

SIZE SplashPictureSize()
{
    SIZE size = {0, 0};
    HBITMAP picture = LoadBitmapA(hAppInstance, MAKEINTRESOURCEA(IDB_SPLASH));
    BITMAP info;
    if (picture && GetObjectA(picture, sizeof(info), &info))
        size = {info.bmWidth, info.bmHeight};
    if (picture)
        DeleteObject(picture);
    return size;
}

void RegisterSplashAboutClass()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PanelProc;
    windowClass.cbWndExtra = 4;
    windowClass.hInstance = hAppInstance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = PANEL_CLASS;
    RegisterClassA(&windowClass);
}

void LSplashAboutBase::Paint(HWND window, HDC dc) const
{
    HBITMAP picture = LoadBitmapA(hAppInstance, MAKEINTRESOURCEA(IDB_SPLASH));
    BITMAP info = {};
    if (picture && GetObjectA(picture, sizeof(info), &info))
    {
        HDC pictureDc = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(pictureDc, picture);
        BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, pictureDc, 0, 0, SRCCOPY);
        SelectObject(pictureDc, old);
        DeleteDC(pictureDc);
    }
    if (picture)
        DeleteObject(picture);
    const int w = info.bmWidth;
    const int h = info.bmHeight;

    RECT textRect = {2, h + 1, w - 4, h + 83};
    RECT nameRect = textRect;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    HFONT bold = PanelFont(FW_BOLD);
    HFONT normal = PanelFont(FW_NORMAL);
    HGDIOBJ oldFont = SelectObject(dc, bold);
    nameRect.top += DrawTextA(dc, "Corvane", -1, &nameRect, DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, normal);
    DrawTextA(dc, "Corvane v 1.32", -1, &nameRect, DT_WORDBREAK | DT_NOPREFIX);
    DrawTextA(dc, CREDIT_LINES, -1, &textRect, DT_RIGHT | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    DeleteObject(bold);
    DeleteObject(normal);

    if (bAbout)
    {
        RECT client;
        GetClientRect(window, &client);
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
        MoveToEx(dc, 0, client.bottom - 1, nullptr);
        LineTo(dc, client.right, client.bottom - 1);
        SelectObject(dc, oldPen);
    }
}

void LSplashScreen::Display(LSplashAboutBase& panel, HWND owner)
{
    if (panel.hWnd)
    {
        DestroyWindow(panel.hWnd);
        panel.hWnd = nullptr;
    }
    const SIZE picture = SplashPictureSize();
    const int width = picture.cx + 4;
    const int height = picture.cy + 88;
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    HWND window = CreateWindowExA(0, PANEL_CLASS, "", WS_POPUP | WS_VISIBLE | WS_DLGFRAME, (desktop.right - width) / 2,
                                  (desktop.bottom - height) / 2, width, height, owner, nullptr, hAppInstance, nullptr);
    if (!window)
        return;
    panel.hWnd = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&panel));
    panel.bAbout = 0;
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    SetTimer(window, SPLASH_TIMER, SPLASH_MS, nullptr);
}

LAboutBox::LAboutBox() : panel{"", 1, nullptr} {}

void LAboutBox::InitDialog()
{
    HWND panelWindow = GetDlgItem(hWnd, IDC_ABOUT_PANEL);
    SetWindowLongPtrA(panelWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&panel));
    const SIZE picture = SplashPictureSize();
    const int w = picture.cx;
    const int h = picture.cy;
    const int buttonHeight = 9 + DialogUnitsToPixels(10);
    MoveControl(IDC_ABOUT_WEBPAGE, 4, h + 96, 140, buttonHeight);
    MoveControl(IDOK, w - 106, h + 96, 100, buttonHeight);
    MoveControl(IDC_ABOUT_PANEL, 0, 0, w, h + 88);

    // The client area becomes W x (H + B + 103), the window staying where it is.
    RECT window;
    RECT client;
    GetWindowRect(hWnd, &window);
    GetClientRect(hWnd, &client);
    const int frameWidth = (window.right - window.left) - client.right;
    const int frameHeight = (window.bottom - window.top) - client.bottom;
    SetWindowPos(hWnd, nullptr, 0, 0, w + frameWidth, h + buttonHeight + 103 + frameHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void LAboutBox::CmCommand(WORD id, WORD /*notifyCode*/)
{
    if (id == IDC_ABOUT_WEBPAGE)
        OpenWebPage("corvane/index");
}
