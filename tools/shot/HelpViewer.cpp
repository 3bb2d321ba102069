#include "shot/HelpViewer.h"

#include <algorithm>

namespace {

const char* const VIEWER_CLASS = "MS_WINHELP";
// Summary, Index, Back, About, Up, << and >>.
const int VIEWER_BUTTONS = 7;
const DWORD STEP_MS = 20;

BOOL CALLBACK CountVisibleButton(HWND child, LPARAM count)
{
    char className[16] = "";
    GetClassNameA(child, className, sizeof(className));
    if (!lstrcmpiA(className, "Button") && IsWindowVisible(child))
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int VisibleButtons(HWND viewer)
{
    int count = 0;
    EnumChildWindows(viewer, CountVisibleButton, reinterpret_cast<LPARAM>(&count));
    return count;
}

template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(STEP_MS))
        if (condition())
            return true;
    return condition();
}

} // namespace

HWND FindHelpViewer(const char* title)
{
    HWND viewer = FindWindowA(VIEWER_CLASS, title);
    return viewer && IsWindowVisible(viewer) ? viewer : nullptr;
}

std::vector<std::string> HelpViewerPageLines(HWND viewer)
{
    // The page is a rich edit control, which gives its text to another
    // process as to its own.
    HWND page = FindWindowExA(viewer, nullptr, "RichEdit20A", nullptr);
    std::string text(16384, '\0');
    text.resize(page ? SendMessageA(page, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0])) : 0);
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; start < text.size(); start = end + 1)
    {
        end = std::min(text.find_first_of("\r\n", start), text.size());
        if (end > start)
            lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

bool WaitHelpViewerDrawn(HWND viewer, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    // Another program's window may come back to the front after the viewer
    // opened: the viewer is asked again until it is there.
    if (!WaitUntil(
            [&] {
                SetForegroundWindow(viewer);
                return GetForegroundWindow() == viewer && VisibleButtons(viewer) == VIEWER_BUTTONS;
            },
            timeoutMs))
        return false;
    // Painted again at once, buttons and all, as one picture.
    RedrawWindow(viewer, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    DWORD processId = 0;
    GetWindowThreadProcessId(viewer, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (!process)
        return false;
    const DWORD spent = GetTickCount() - start;
    const bool bIdle = WaitForInputIdle(process, spent < timeoutMs ? timeoutMs - spent : 0) == 0;
    CloseHandle(process);
    return bIdle;
}

bool PressKey(HWND window, WORD key)
{
    SetForegroundWindow(window);
    if (!WaitUntil([&] { return GetForegroundWindow() == window; }, 10000))
        return false;
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = key;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    return SendInput(2, keys, sizeof(INPUT)) == 2;
}
