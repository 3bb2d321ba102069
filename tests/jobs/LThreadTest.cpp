#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

#include "jobs/LSignalObject.h"
#include "jobs/LThread.h"
#include "jobs/LThreadQueuedNotify.h"
#include "jobs/LWorkerJobControl.h"
#include "WaitFor.h"

namespace {

// A body that counts its runs and waits for the stop signal or for `release`.
class WaitingThread : public LThread
{
public:
    WaitingThread() : release(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~WaitingThread() override
    {
        StopThreadTimed(5000);
        CloseHandle(release);
    }

    bool StopSignalSet() const { return stopSignal.IsSet(); }

    HANDLE release;
    std::atomic<int> nRuns{0};
    std::atomic<int> lastWaitResult{-1};

protected:
    void ThreadFunction() override
    {
        ++nRuns;
        lastWaitResult = stopSignal.WaitSignalDual(release, INFINITE);
    }
};

bool IsRunning(HANDLE hThread)
{
    DWORD exitCode = 0;
    return hThread && GetExitCodeThread(hThread, &exitCode) && exitCode == STILL_ACTIVE;
}

TEST(LThread, StartWhileRunningLeavesTheThreadAlone)
{
    WaitingThread thread;
    thread.Start(THREAD_PRIORITY_NORMAL);
    ASSERT_TRUE(WaitFor([&] { return thread.nRuns == 1; }));
    HANDLE first = thread.hThread;

    thread.Start(THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_EQ(first, thread.hThread);
    EXPECT_EQ(THREAD_PRIORITY_NORMAL, GetThreadPriority(thread.hThread));
    EXPECT_TRUE(IsRunning(thread.hThread));

    thread.StopThreadTimed(5000);
    EXPECT_EQ(nullptr, thread.hThread);
    EXPECT_EQ(Stopped, thread.lastWaitResult);  // ended by the stop signal
    EXPECT_EQ(1, thread.nRuns);
    EXPECT_TRUE(thread.StopSignalSet());
}

TEST(LThread, RestartAfterTheBodyEndedRunsAFreshThreadWithTheSignalCleared)
{
    WaitingThread thread;
    thread.Start(THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_EQ(THREAD_PRIORITY_BELOW_NORMAL, GetThreadPriority(thread.hThread));
    SetEvent(thread.release);
    ASSERT_TRUE(WaitFor([&] { return !IsRunning(thread.hThread); }));
    EXPECT_EQ(Done, thread.lastWaitResult);

    // After a stop the signal stays set until the next start clears it.
    thread.StopThreadTimed(5000);
    EXPECT_TRUE(thread.StopSignalSet());
    ResetEvent(thread.release);
    thread.Start(THREAD_PRIORITY_NORMAL);
    EXPECT_FALSE(thread.StopSignalSet());
    ASSERT_TRUE(WaitFor([&] { return thread.nRuns == 2; }));
    EXPECT_TRUE(IsRunning(thread.hThread));
    thread.StopThreadTimed(5000);
    EXPECT_EQ(Stopped, thread.lastWaitResult);
}

TEST(LThread, StopOfAThreadNeverStartedReturnsAtOnce)
{
    WaitingThread thread;
    DWORD start = GetTickCount();
    thread.StopThreadTimed(5000);
    EXPECT_LT(GetTickCount() - start, 5000u) << "it waited for the time-out";
    EXPECT_EQ(nullptr, thread.hThread);
}

// A body that never looks at its stop signal.
class DeafThread : public LThread
{
public:
    ~DeafThread() override { StopThreadTimed(5000); }
    std::atomic<bool> started{false};
    std::atomic<bool> finished{false};

protected:
    void ThreadFunction() override
    {
        started = true;
        Sleep(60000);
        finished = true;
    }
};

TEST(LThread, ABodyThatIgnoresTheStopSignalIsTerminatedAfterTheTimeout)
{
    DeafThread thread;
    thread.Start(THREAD_PRIORITY_NORMAL);
    ASSERT_TRUE(WaitFor([&] { return thread.started.load(); }));
    HANDLE watch;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), thread.hThread, GetCurrentProcess(), &watch, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));

    DWORD start = GetTickCount();
    thread.StopThreadTimed(300);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 250u);
    EXPECT_EQ(nullptr, thread.hThread);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(watch, 5000));  // it is gone
    DWORD exitCode = 1;
    GetExitCodeThread(watch, &exitCode);
    EXPECT_EQ(0u, exitCode);
    EXPECT_FALSE(thread.finished);
    CloseHandle(watch);
}

TEST(LSignalObject, WaitSignalDualTellsWhichHandleEndedTheWait)
{
    LSignalObject signal;
    LSignalObject other;
    EXPECT_FALSE(signal.IsSet());

    DWORD start = GetTickCount();
    EXPECT_EQ(Failed, signal.WaitSignalDual(other.hSignalObject, 100));
    EXPECT_GE(GetTickCount() - start, 80u);

    signal.Set();
    EXPECT_TRUE(signal.IsSet());
    start = GetTickCount();
    EXPECT_EQ(Stopped, signal.WaitSignalDual(other.hSignalObject, 5000));
    EXPECT_LT(GetTickCount() - start, 5000u) << "it waited for the time-out";

    other.Set();
    EXPECT_EQ(Done, signal.WaitSignalDual(other.hSignalObject, 5000));  // both set: the other wins

    signal.Reset();
    EXPECT_FALSE(signal.IsSet());
    EXPECT_EQ(Done, signal.WaitSignalDual(other.hSignalObject, 5000));
}

TEST(LSignalObject, WaitSignalDualWakesWhenAnotherThreadSignals)
{
    LSignalObject signal;
    LSignalObject other;
    std::thread setter([&] {
        Sleep(50);
        signal.Set();
    });
    EXPECT_EQ(Stopped, signal.WaitSignalDual(other.hSignalObject, 5000));
    setter.join();
}

TEST(LWorkerJobControl, TheStopSignalStopsTheJobItsWaitsAndItsPauses)
{
    LSignalObject stop;
    LSignalObject other;
    LWorkerJobControl job(stop);
    EXPECT_FALSE(job.IsStopped());
    DWORD start = GetTickCount();
    EXPECT_EQ(Done, job.Pause(100));
    EXPECT_GE(GetTickCount() - start, 80u) << "the pause did not last";
    EXPECT_EQ(Failed, job.WaitForHandle(other.hSignalObject, 50));

    std::thread stopper([&] {
        Sleep(50);
        stop.Set();
    });
    start = GetTickCount();
    EXPECT_EQ(Stopped, job.Pause(30000));
    EXPECT_LT(GetTickCount() - start, 30000u) << "the pause ran on past the stop";
    stopper.join();
    EXPECT_TRUE(job.IsStopped());
    EXPECT_EQ(Stopped, job.WaitForHandle(other.hSignalObject, 30000));
    other.Set();
    EXPECT_EQ(Done, job.WaitForHandle(other.hSignalObject, 30000)) << "a signalled handle wins over the stop";
}

class CountingNotify : public LThreadQueuedNotify
{
public:
    int nCalls = 0;
    DWORD lastThreadId = 0;

protected:
    void EvNotify() override
    {
        ++nCalls;
        lastThreadId = GetCurrentThreadId();
    }
};

// A worker that posts a few notifications and ends.
class PostingThread : public LThread
{
public:
    explicit PostingThread(LThreadQueuedNotify& notify, int nPosts) : notify(notify), nPosts(nPosts) {}
    ~PostingThread() override { StopThreadTimed(5000); }

protected:
    void ThreadFunction() override
    {
        for (int i = 0; i < nPosts; ++i)
            notify.PostNotify();
    }

private:
    LThreadQueuedNotify& notify;
    int nPosts;
};

TEST(LThreadQueuedNotify, EveryPostFromAWorkerRunsTheHandlerOnTheCreatingThread)
{
    CountingNotify notify;
    ASSERT_NE(nullptr, notify.hWnd);
    EXPECT_FALSE(IsWindowVisible(notify.hWnd));

    PostingThread worker(notify, 3);
    worker.Start(THREAD_PRIORITY_NORMAL);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker.hThread, 5000));
    EXPECT_EQ(0, notify.nCalls);  // nothing runs until this thread reads its queue

    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    EXPECT_EQ(3, notify.nCalls);
    EXPECT_EQ(GetCurrentThreadId(), notify.lastThreadId);
}

TEST(LThreadQueuedNotify, TwoNotifiersShareTheWindowClass)
{
    CountingNotify first;
    CountingNotify second;
    ASSERT_NE(nullptr, first.hWnd);
    ASSERT_NE(nullptr, second.hWnd);
    second.PostNotify();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    EXPECT_EQ(0, first.nCalls);
    EXPECT_EQ(1, second.nCalls);
}

TEST(LThreadQueuedNotify, APostAfterTheWindowIsGoneIsLostQuietly)
{
    HWND gone;
    {
        CountingNotify notify;
        gone = notify.hWnd;
    }
    EXPECT_FALSE(IsWindow(gone));
    EXPECT_FALSE(PostMessageA(gone, WM_USER, 0, 0));
}

} // namespace
