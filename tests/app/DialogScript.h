// Plays a user's part in modal dialogs: each step waits for the dialog with
// its caption to show, then acts on it (clicks, selections). The steps run
// from a timer, which the dialogs' own message loops dispatch, so a step may
// open another modal dialog whose steps then run inside it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class DialogScript
{
public:
    DialogScript() : timer(SetTimer(nullptr, 0, 20, Tick)) { active = this; }
    ~DialogScript()
    {
        KillTimer(nullptr, timer);
        active = nullptr;
    }
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    // Adds a step for the next showing of the dialog captioned `caption`.
    void On(const char* caption, std::function<void(HWND)> act) { steps.push_back({caption, std::move(act), false}); }
    bool AllDone() const
    {
        for (const Step& step : steps)
            if (!step.bDone)
                return false;
        return true;
    }

    static void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
    static void Select(HWND dialog, int id, int index)
    {
        SendDlgItemMessageA(dialog, id, CB_SETCURSEL, index, 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    }
    static std::string Text(HWND dialog, int id)
    {
        char text[260] = "";
        GetDlgItemTextA(dialog, id, text, sizeof(text));
        return text;
    }
    static bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
    static bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }

private:
    struct Step
    {
        std::string caption;
        std::function<void(HWND)> act;
        bool bDone;
    };

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        if (!active)
            return;
        // The first step not yet done, and only once its dialog is up.
        for (size_t i = 0; i < active->steps.size(); ++i)
        {
            if (active->steps[i].bDone)
                continue;
            HWND dialog = FindWindowA("#32770", active->steps[i].caption.c_str());
            if (!dialog || !IsWindowVisible(dialog) || !IsWindowEnabled(dialog))
                return;
            active->steps[i].bDone = true;
            active->steps[i].act(dialog);
            return;
        }
    }

    std::vector<Step> steps;
    UINT_PTR timer;
    static inline DialogScript* active = nullptr;
};
