// Waits for a condition with a deadline instead of sleeping a fixed time.
#pragma once

#include <windows.h>

template <typename Condition>
bool WaitFor(Condition condition, DWORD timeoutMs = 5000)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(5))
        if (condition())
            return true;
    return condition();
}
