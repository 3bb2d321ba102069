// Captures the message boxes the code under test shows on this thread and
// answers them at once, so that no test waits on a box nobody will close.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

struct CapturedMessageBox
{
    std::string caption;
    std::string text;
    HWND hOwner;
    // The standard icon shown: IDI_ERROR, IDI_WARNING, IDI_QUESTION,
    // IDI_INFORMATION, or null for none.
    LPCSTR icon;
};

class MessageBoxCapture
{
public:
    // Each box is answered with `answer` (IDOK, IDYES, IDNO, IDCANCEL ...).
    explicit MessageBoxCapture(int answer = IDOK) : answer(answer)
    {
        active = this;
        hHook = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    }
    ~MessageBoxCapture()
    {
        UnhookWindowsHookEx(hHook);
        active = nullptr;
    }
    MessageBoxCapture(const MessageBoxCapture&) = delete;
    MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

    std::vector<CapturedMessageBox> boxes;
    int answer;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_ACTIVATE && active)
            active->Capture(reinterpret_cast<HWND>(wParam));
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    void Capture(HWND box)
    {
        char className[16] = "";
        GetClassNameA(box, className, sizeof(className));
        // The box's text is the static control with identifier 0xFFFF; other
        // dialogs label their fields that way too, but a box has no combo box.
        HWND textControl = GetDlgItem(box, 0xFFFF);
        if (lstrcmpA(className, "#32770") != 0 || !textControl || FindWindowExA(box, nullptr, "ComboBox", nullptr))
            return;
        CapturedMessageBox captured;
        captured.caption = WindowText(box);
        captured.text = WindowText(textControl);
        captured.hOwner = GetWindow(box, GW_OWNER);
        captured.icon = ShownIcon(box);
        boxes.push_back(captured);
        PostMessageA(box, WM_COMMAND, answer, 0);
    }

    static std::string WindowText(HWND window)
    {
        char text[1024] = "";
        GetWindowTextA(window, text, sizeof(text));
        return text;
    }

    // Standard icons are shared, so the icon control holds the very handle
    // LoadIcon gives for the same identifier.
    static LPCSTR ShownIcon(HWND box)
    {
        static const LPCSTR icons[] = {IDI_ERROR, IDI_WARNING, IDI_QUESTION, IDI_INFORMATION};
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        {
            HICON shown = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
            if (!shown)
                continue;
            for (LPCSTR icon : icons)
                if (LoadIconA(nullptr, icon) == shown)
                    return icon;
        }
        return nullptr;
    }

    HHOOK hHook;
    static inline MessageBoxCapture* active = nullptr;
};

// Exactly one box was shown, with this caption, text and icon. A caller that
// goes on to read the box wraps it in ASSERT_NO_FATAL_FAILURE.
inline void ExpectOneBox(const std::vector<CapturedMessageBox>& boxes, const std::string& caption,
                         const std::string& text, LPCSTR icon)
{
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(caption, boxes[0].caption);
    EXPECT_EQ(text, boxes[0].text);
    EXPECT_EQ(icon, boxes[0].icon);
}
