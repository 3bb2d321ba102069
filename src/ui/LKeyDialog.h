// A modeless dialog with its own message loop, which offers every key to the
// dialog before the focused control sees it.
#pragma once

#include "ui/KeyTable.h"
#include "ui/LDialog.h"

class LKeyDialog : public LDialog
{
public:
    // Creates the dialog (disabling `owner`) and runs its loop until the
    // window is gone, also when it went while being made. False when it
    // already has a window or cannot create one.
    bool Open(LPCSTR templateName, HWND owner);
    // The first half of Open: the window, without the loop.
    bool Create(LPCSTR templateName, HWND owner);
    // What the loop does with one message taken off the queue.
    void ProcessLoopMessage(MSG& msg);

    // `key` is a key value (KeyTable.h); true when the key was handled, and
    // it then never reaches the control.
    virtual bool KeyDown(uint32_t key);
    virtual bool KeyUp(WPARAM virtualKey);
    virtual bool PreTranslateMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    // Enables the owner again and destroys the window.
    void Close(INT_PTR result) override;

protected:
    // Calls CmCommand for the table's command of `key`; true on a match.
    bool DispatchKeyTable(const LKeyCommand* table, int count, uint32_t key);

private:
    HWND hOwner = nullptr;
};

// The key value of `virtualKey` with the modifiers held now (GetKeyState).
uint32_t KeyValueNow(WPARAM virtualKey);
