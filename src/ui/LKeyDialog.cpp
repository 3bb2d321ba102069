#include "ui/LKeyDialog.h"

#include "resources/AppInstance.h"

bool LKeyDialog::Create(LPCSTR templateName, HWND owner)
{
    if (hWnd)
        return false;
    if (!CreateDialogParamA(hAppInstance, templateName, owner, CommonDialogProc, reinterpret_cast<LPARAM>(this)))
        return false;
    hOwner = owner;
    if (owner)
        EnableWindow(owner, FALSE);
    return true;
}

bool LKeyDialog::Open(LPCSTR templateName, HWND owner)
{
    if (!Create(templateName, owner))
        return false;
    // A window closed while it was being made (a message box of its start-up
    // answers the close) ends the loop too: no message would come to end it.
    MSG msg;
    while (hWnd && IsWindow(hWnd) && GetMessageA(&msg, nullptr, 0, 0) > 0)
        ProcessLoopMessage(msg);
    if (owner)
        EnableWindow(owner, TRUE);
    return true;
}

void LKeyDialog::ProcessLoopMessage(MSG& msg)
{
    if (PreTranslateMessage(msg.hwnd, msg.message, msg.wParam, msg.lParam))
        return;
    if (hWnd && IsDialogMessageA(hWnd, &msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

bool LKeyDialog::KeyDown(uint32_t /*key*/) { return false; }

bool LKeyDialog::KeyUp(WPARAM /*virtualKey*/) { return false; }

bool LKeyDialog::PreTranslateMessage(HWND /*window*/, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg)
    {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        // Bit 30: the key was already down, an auto-repeat.
        if (lParam & (1 << 30))
            return false;
        return KeyDown(KeyValueNow(wParam));
    case WM_KEYUP:
    case WM_SYSKEYUP:
        return KeyUp(wParam);
    default:
        return false;
    }
}

void LKeyDialog::Close(INT_PTR /*result*/)
{
    if (hOwner)
        EnableWindow(hOwner, TRUE);
    DestroyWindow(hWnd);
}

bool LKeyDialog::DispatchKeyTable(const LKeyCommand* table, int count, uint32_t key)
{
    const uint16_t command = FindKeyCommand(table, count, key);
    if (!command)
        return false;
    CmCommand(command, 0);
    return true;
}

uint32_t KeyValueNow(WPARAM virtualKey)
{
    auto down = [](int key) { return (GetKeyState(key) & 0x8000) != 0; };
    return MakeKeyValue(static_cast<uint16_t>(virtualKey), down(VK_MENU), down(VK_CONTROL), down(VK_SHIFT));
}
