#include "shot/WindowShot.h"

#include "shot/PngWriter.h"

// The picture is copied from the screen rather than asked of the window with
// PrintWindow: under Wine, PrintWindow only erases the window's background,
// without the frame and without the child controls, while the screen holds
// exactly what the user sees.
namespace {

// How long nothing may be left to paint before the picture is taken: a window
// that fills a list or draws on a timer paints a moment after it is asked.
constexpr DWORD SETTLE_MS = 300;
// The most a picture waits for a window that keeps painting.
constexpr DWORD PAINT_WAIT_MS = 5000;

BOOL CALLBACK FindPendingPaint(HWND child, LPARAM pending)
{
    if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE))
    {
        *reinterpret_cast<bool*>(pending) = true;
        return FALSE;
    }
    return TRUE;
}

// Whether the window or a child has a part left to paint, once the window's
// thread has handled what was sent to it before.
bool HasPendingPaint(HWND window)
{
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, PAINT_WAIT_MS, &answer);
    if (GetUpdateRect(window, nullptr, FALSE))
        return true;
    bool bPending = false;
    EnumChildWindows(window, FindPendingPaint, reinterpret_cast<LPARAM>(&bPending));
    return bPending;
}

// Waits until the window has had nothing to paint for SETTLE_MS (or
// PAINT_WAIT_MS passed): the redraw asked for, and whatever the window does
// right after it, has reached the screen. A window of this thread is painted
// here.
void WaitPainted(HWND window)
{
    const bool bOwnThread = GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
    const DWORD start = GetTickCount();
    DWORD quietSince = start;
    while (GetTickCount() - start < PAINT_WAIT_MS && GetTickCount() - quietSince < SETTLE_MS)
    {
        if (bOwnThread)
        {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        }
        if (HasPendingPaint(window))
            quietSince = GetTickCount();
        Sleep(10);
    }
}

} // namespace

bool SaveWindowPng(HWND window, const char* path)
{
    RECT rect;
    if (!IsWindow(window) || !GetWindowRect(window, &rect))
        return false;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;

    // Paint what is pending now, the frame and the children included, so that
    // the screen is up to date before it is read.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    WaitPainted(window);
    if (!IsWindow(window))
        return false;

    // A top-down 32-bit DIB: the pixel layout WritePng takes.
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;

    bool bSaved = false;
    HDC screen = GetDC(nullptr);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(screen);
    if (bitmap && memory)
    {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY))
        {
            GdiFlush();
            bSaved = WritePng(path, width, height, static_cast<const uint8_t*>(bits));
        }
        SelectObject(memory, old);
    }
    if (memory)
        DeleteDC(memory);
    if (bitmap)
        DeleteObject(bitmap);
    ReleaseDC(nullptr, screen);
    return bSaved;
}
