#include "shot/WindowShot.h"

#include "shot/PngWriter.h"

// The picture is copied from the screen rather than asked of the window with
// PrintWindow: under Wine, PrintWindow only erases the window's background,
// without the frame and without the child controls, while the screen holds
// exactly what the user sees.
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
