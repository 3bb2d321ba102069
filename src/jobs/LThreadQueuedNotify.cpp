#include "jobs/LThreadQueuedNotify.h"

#include "resources/AppInstance.h"

namespace {

const char NOTIFY_CLASS[] = "LTQN";

} // namespace

LThreadQueuedNotify::LThreadQueuedNotify()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.cbWndExtra = sizeof(LONG_PTR);
    windowClass.hInstance = hAppInstance;
    windowClass.lpszClassName = NOTIFY_CLASS;
    // Registered by every notifier; the second registration fails harmlessly.
    RegisterClassA(&windowClass);
    hWnd = CreateWindowExA(0, NOTIFY_CLASS, "", 0, 0, 0, 0, 0, nullptr, nullptr, hAppInstance, nullptr);
    if (hWnd)
        SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

LThreadQueuedNotify::~LThreadQueuedNotify()
{
    if (hWnd)
        DestroyWindow(hWnd);
}

void LThreadQueuedNotify::PostNotify()
{
    PostMessageA(hWnd, WM_USER, 0, 0);
}

LRESULT CALLBACK LThreadQueuedNotify::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_USER)
        return DefWindowProcA(hWnd, message, wParam, lParam);
    auto* notify = reinterpret_cast<LThreadQueuedNotify*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (notify)
        notify->EvNotify();
    return 0;
}
