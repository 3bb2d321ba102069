// A hidden window that lets a worker thread wake a handler on the thread that
// created it (the user-interface thread). A notification carries no payload:
// the handler reads whatever state the worker left in the owner's fields.
#pragma once

#include <windows.h>

class LThreadQueuedNotify
{
public:
    LThreadQueuedNotify();
    virtual ~LThreadQueuedNotify();
    LThreadQueuedNotify(const LThreadQueuedNotify&) = delete;
    LThreadQueuedNotify& operator=(const LThreadQueuedNotify&) = delete;

    // Called from any thread; never blocks. Every post gives one EvNotify call.
    void PostNotify();

    HWND hWnd;

protected:
    // Runs on the creating thread, one call at a time, in posting order.
    virtual void EvNotify() = 0;

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};
