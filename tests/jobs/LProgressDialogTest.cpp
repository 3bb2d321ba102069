// The job runner with its real window: Cancel pressed as a user presses it
// (a click on the button, or Escape), the waits, and running programs.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <thread>

#include "files/LFile.h"
#include "files/TextBuffer.h"
#include "jobs/ChildProcess.h"
#include "jobs/LProgressDialog.h"
#include "resources/resource.h"
#include "ui/MessageBoxCapture.h"
#include "WaitFor.h"
#include "TestFiles.h"

namespace {

// A job whose body is the test's lambda.
class TestJob : public LProgressDialog
{
public:
    explicit TestJob(std::function<bool(TestJob&)> body) : LProgressDialog("Test Job"), body(std::move(body)) {}
    bool RunJob() override { return body(*this); }
    INT_PTR OnDialogMessage(UINT msg, WPARAM, LPARAM) override
    {
        if (msg == WM_APP)
            ++nAppMessages;
        return 0;
    }

    std::function<bool(TestJob&)> body;
    int nAppMessages = 0;
};

// A window for a job to be owned by.
HWND OwnerWindow()
{
    return CreateWindowA("STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                         nullptr, nullptr);
}

HWND CancelButton(const LProgressDialog& job) { return GetDlgItem(job.hWnd, IDCANCEL); }

int ProgressPosition(const LProgressDialog& job)
{
    return static_cast<int>(SendDlgItemMessageA(job.hWnd, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0));
}

std::string ControlText(HWND window, int id)
{
    char text[TEXT_BUFFER_SIZE] = "";
    GetDlgItemTextA(window, id, text, sizeof(text));
    return text;
}

// A manual-reset event that closes itself.
struct Event
{
    explicit Event(bool bSet = false) : h(CreateEventA(nullptr, TRUE, bSet, nullptr)) {}
    ~Event() { CloseHandle(h); }
    HANDLE h;
};

// How a user cancels: both ways go through the window's own message handling.
enum class CancelBy
{
    ClickFromThread,  // BM_CLICK sent to the button by a second thread
    EscapeFromTimer,  // the Escape key posted from a timer on the job's thread
};

HWND escapeTarget = nullptr;

void CALLBACK PressEscape(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    PostMessageA(escapeTarget, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageA(escapeTarget, WM_KEYUP, VK_ESCAPE, 0xC0000001);
}

// Arranges for Cancel to be pressed `delayMs` after the call; join the
// returned thread (if any) after the job.
std::thread CancelLater(LProgressDialog& job, CancelBy how, DWORD delayMs)
{
    if (how == CancelBy::EscapeFromTimer)
    {
        escapeTarget = CancelButton(job);
        SetTimer(nullptr, 0, delayMs, PressEscape);
        return std::thread();
    }
    HWND button = CancelButton(job);
    return std::thread([button, delayMs] {
        Sleep(delayMs);
        SendMessageA(button, BM_CLICK, 0, 0);
    });
}

enum class WaitKind
{
    ForHandle,  // WaitForHandle on a handle that is never signalled
    Pause,
};

class CancelDuringWait : public ::testing::TestWithParam<std::tuple<CancelBy, WaitKind>>
{
};

TEST_P(CancelDuringWait, EndsTheWaitAtTheNextMessage)
{
    HWND owner = OwnerWindow();
    Event never;
    int waitResult = -1;
    DWORD waitedMs = 0;
    bool bOwnerDisabledDuringJob = false;
    std::thread presser;
    TestJob job([&](TestJob& self) {
        bOwnerDisabledDuringJob = !IsWindowEnabled(owner);
        SetFocus(CancelButton(self));
        presser = CancelLater(self, std::get<0>(GetParam()), 200);
        const DWORD start = GetTickCount();
        waitResult = std::get<1>(GetParam()) == WaitKind::ForHandle ? self.WaitForHandle(never.h, 30000)
                                                                     : self.Pause(30000);
        waitedMs = GetTickCount() - start;
        return waitResult == 0;
    });
    EXPECT_FALSE(job.Run(owner));
    if (presser.joinable())
        presser.join();

    EXPECT_EQ(1, waitResult);
    EXPECT_LT(waitedMs, 10000u) << "the wait ran on towards its time-out";
    EXPECT_EQ(nullptr, job.hWnd);
    EXPECT_TRUE(bOwnerDisabledDuringJob);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

INSTANTIATE_TEST_SUITE_P(LProgressDialog, CancelDuringWait,
                         ::testing::Combine(::testing::Values(CancelBy::ClickFromThread, CancelBy::EscapeFromTimer),
                                            ::testing::Values(WaitKind::ForHandle, WaitKind::Pause)));

TEST(LProgressDialog, ASignalledHandleEndsTheWaitBeforeAnyMessage)
{
    Event set(true);
    int waitResult = -1;
    int nDispatchedDuringWait = -1;
    TestJob job([&](TestJob& self) {
        for (int i = 0; i < 5; ++i)
            PostMessageA(self.hWnd, WM_APP, 0, 0);
        waitResult = self.WaitForHandle(set.h, 5000);
        nDispatchedDuringWait = self.nAppMessages;
        self.ProcessMessages();
        return true;
    });
    EXPECT_TRUE(job.Run(nullptr));
    EXPECT_EQ(0, waitResult);
    EXPECT_EQ(0, nDispatchedDuringWait);
    EXPECT_EQ(5, job.nAppMessages);
}

class MessagesDuringWait : public ::testing::TestWithParam<WaitKind>
{
};

TEST_P(MessagesDuringWait, AreDispatchedAndDoNotStretchTheTimeOut)
{
    Event never;
    int waitResult = -1;
    DWORD waitedMs = 0;
    TestJob job([&](TestJob& self) {
        HWND window = self.hWnd;
        Event stopPosting;
        std::thread poster([&] {
            while (WaitForSingleObject(stopPosting.h, 10) == WAIT_TIMEOUT)
                PostMessageA(window, WM_APP, 0, 0);
        });
        const DWORD start = GetTickCount();
        waitResult = GetParam() == WaitKind::ForHandle ? self.WaitForHandle(never.h, 600) : self.Pause(600);
        waitedMs = GetTickCount() - start;
        SetEvent(stopPosting.h);
        poster.join();
        return true;
    });
    EXPECT_TRUE(job.Run(nullptr));

    // A wait for a handle that times out fails; a pause that runs its time is done.
    EXPECT_EQ(GetParam() == WaitKind::ForHandle ? Failed : Done, waitResult);
    EXPECT_GT(job.nAppMessages, 5) << "the messages were not dispatched during the wait";
    EXPECT_GE(waitedMs, 550u) << "the wait ended before its time";
    EXPECT_LT(waitedMs, 3000u) << "the messages stretched the time-out";
}

INSTANTIATE_TEST_SUITE_P(LProgressDialog, MessagesDuringWait, ::testing::Values(WaitKind::ForHandle, WaitKind::Pause));

TEST(LProgressDialog, TextAndProgressReachTheWindow)
{
    TestJob job([&](TestJob& self) {
        EXPECT_EQ("Test Job", [&] {
            char title[TEXT_BUFFER_SIZE] = "";
            GetWindowTextA(self.hWnd, title, sizeof(title));
            return std::string(title);
        }());
        EXPECT_EQ(0, ProgressPosition(self));
        self.SetText(0, "Loading Track 01");
        self.SetText(1, "Ripping Digital Audio...");
        self.SetText(2, "ignored");
        EXPECT_EQ("Loading Track 01", ControlText(self.hWnd, IDC_PROGRESS_LINE0));
        EXPECT_EQ("Ripping Digital Audio...", ControlText(self.hWnd, IDC_PROGRESS_LINE1));

        const struct
        {
            double fraction;
            int shown;
        } cases[] = {{0.999, 99}, {1.0, 100}, {0.5, 50}, {0.014, 1}, {-3.0, 0}, {7.5, 100}, {0.0, 0}};
        for (const auto& c : cases)
        {
            self.SetProgress(c.fraction);
            EXPECT_EQ(c.shown, ProgressPosition(self)) << c.fraction;
        }
        return true;
    });
    EXPECT_TRUE(job.Run(nullptr));
    EXPECT_EQ(nullptr, job.hWnd);
}

TEST(LProgressDialog, AfterCancelTheJobsCallsAreHarmless)
{
    bool bFirst = false;
    bool bSecond = false;
    int waitResult = -1;
    TestJob job([&](TestJob& self) {
        SendMessageA(CancelButton(self), BM_CLICK, 0, 0);
        EXPECT_EQ(nullptr, self.hWnd);
        self.SetText(0, "after");
        self.SetText(1, "after");
        self.SetProgress(0.5);
        bFirst = self.ProcessMessages();
        bSecond = self.ProcessMessages();
        Event set(true);
        waitResult = self.WaitForHandle(set.h, 1000);
        return true;
    });
    // A job that ends after a Cancel still has its own result returned.
    EXPECT_TRUE(job.Run(nullptr));
    EXPECT_TRUE(bFirst);
    EXPECT_TRUE(bSecond);
    EXPECT_EQ(0, waitResult);
}

TEST(LProgressDialog, AWindowDestroyedWithItsOwnerStopsTheJob)
{
    HWND owner = OwnerWindow();
    bool bStopped = false;
    HWND windowAfter = reinterpret_cast<HWND>(1);
    TestJob job([&](TestJob& self) {
        DestroyWindow(owner);  // owned windows go with it
        bStopped = self.IsStopped();
        windowAfter = self.hWnd;
        return true;
    });
    job.Run(owner);
    EXPECT_TRUE(bStopped);
    EXPECT_EQ(nullptr, windowAfter) << "the job holds a handle that no longer names a window";
}

TEST(LProgressDialog, AQuitDuringAJobStopsItAndStaysForTheProgramsLoop)
{
    bool bStopped = false;
    TestJob job([&](TestJob& self) {
        PostQuitMessage(7);
        bStopped = self.ProcessMessages();
        return true;
    });
    job.Run(nullptr);
    EXPECT_TRUE(bStopped);
    MSG msg = {};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit was swallowed";
    EXPECT_EQ(7u, msg.wParam);
}

TEST(LProgressDialog, ANestedJobLeavesTheOwnerDisabledForTheOuterOne)
{
    HWND owner = OwnerWindow();
    bool bDisabledAfterInner = false;
    TestJob outer([&](TestJob&) {
        TestJob inner([](TestJob&) { return true; });
        inner.Run(owner);
        bDisabledAfterInner = !IsWindowEnabled(owner);
        return true;
    });
    outer.Run(owner);
    EXPECT_TRUE(bDisabledAfterInner);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

std::string WindowTitle(HWND window)
{
    char title[TEXT_BUFFER_SIZE] = "";
    GetWindowTextA(window, title, sizeof(title));
    return title;
}

TEST(LProgressSeries, JobsShareOneWindowWithTheOwnerDisabledUntilTheEnd)
{
    HWND owner = OwnerWindow();
    LProgressSeries series;
    HWND first = nullptr;
    TestJob one([&](TestJob& self) {
        first = self.hWnd;
        self.SetText(0, "Loading Track 01");
        self.SetProgress(0.5);
        return true;
    });
    one.pSeries = &series;
    EXPECT_TRUE(one.Run(owner));
    EXPECT_EQ(nullptr, one.hWnd);
    ASSERT_TRUE(IsWindow(first));
    EXPECT_FALSE(IsWindowEnabled(owner)) << "the owner took input between two jobs";

    TestJob two([&](TestJob& self) {
        EXPECT_EQ(first, self.hWnd);
        EXPECT_EQ("Second Job", WindowTitle(self.hWnd));
        EXPECT_EQ("", ControlText(self.hWnd, IDC_PROGRESS_LINE0)) << "the job before's text stayed";
        EXPECT_EQ(0, ProgressPosition(self));
        EXPECT_FALSE(self.IsStopped());
        return true;
    });
    two.szTitle = "Second Job";
    two.pSeries = &series;
    EXPECT_TRUE(two.Run(owner));

    series.End();
    EXPECT_FALSE(IsWindow(first));
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

TEST(LProgressSeries, ACancelBetweenJobsStopsTheNextAtItsStart)
{
    HWND owner = OwnerWindow();
    LProgressSeries series;
    HWND window = nullptr;
    TestJob one([&](TestJob& self) {
        window = self.hWnd;
        return true;
    });
    one.pSeries = &series;
    one.Run(owner);
    // Clicked while nothing runs: a message box's loop, say, delivers it.
    SendMessageA(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindow(window));

    bool bStopped = false;
    HWND windowOfTwo = reinterpret_cast<HWND>(1);
    TestJob two([&](TestJob& self) {
        windowOfTwo = self.hWnd;
        bStopped = self.IsStopped();
        return false;
    });
    two.pSeries = &series;
    EXPECT_FALSE(two.Run(owner));
    EXPECT_TRUE(bStopped);
    EXPECT_EQ(nullptr, windowOfTwo) << "a new window came after the Cancel";
    EXPECT_FALSE(IsWindowEnabled(owner));
    series.End();
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

TEST(LProgressDialog, RunRefusesARunnerThatIsRunning)
{
    bool bNested = true;
    TestJob job([&](TestJob& self) {
        bNested = self.Run(nullptr);
        return true;
    });
    EXPECT_TRUE(job.Run(nullptr));
    EXPECT_FALSE(bNested);
    // And it runs again once it has returned.
    EXPECT_TRUE(job.Run(nullptr));
}

TEST(LProgressDialog, ShowErrorIsAWarningOwnedByTheProgressWindow)
{
    MessageBoxCapture capture;
    HWND progressWindow = nullptr;
    TestJob job([&](TestJob& self) {
        progressWindow = self.hWnd;
        self.ShowError("The drive could not be read.");
        return false;
    });
    EXPECT_FALSE(job.Run(nullptr));
    ASSERT_NO_FATAL_FAILURE(ExpectOneBox(capture.boxes, "Error", "The drive could not be read.", IDI_WARNING));
    EXPECT_EQ(progressWindow, capture.boxes[0].hOwner);
}

// The helper program beside this test.
std::string SleepThenMark()
{
    char path[TEXT_BUFFER_SIZE];
    char folder[TEXT_BUFFER_SIZE];
    GetModuleFileNameA(nullptr, path, sizeof(path));
    LFile::_GetFolderFromPath(folder, path);
    return std::string(folder) + "\\sleep_then_mark.exe";
}

std::string TempMarker(const char* name)
{
    char folder[TEXT_BUFFER_SIZE];
    GetTempPathA(sizeof(folder), folder);
    const std::string marker = std::string(folder) + name;
    DeleteFileA(marker.c_str());
    return marker;
}

TEST(ProcessRunProgram, AProgramThatEndsGivesDone)
{
    const std::string marker = TempMarker("corvane-run-done.mark");
    ProcessResult result = Failed;
    TestJob job([&](TestJob& self) {
        result = ProcessRunProgram(self, SleepThenMark().c_str(), ("0 \"" + marker + "\"").c_str(), 20000);
        return true;
    });
    EXPECT_TRUE(job.Run(nullptr));
    EXPECT_EQ(Done, result);
    EXPECT_TRUE(Exists(marker));
    DeleteFileA(marker.c_str());
}

TEST(ProcessRunProgram, AMissingProgramFailsAtOnce)
{
    ProcessResult result = Done;
    DWORD tookMs = 0;
    TestJob job([&](TestJob& self) {
        const DWORD start = GetTickCount();
        result = ProcessRunProgram(self, "C:\\no-such-folder\\no-such-program.exe", "", 60000);
        tookMs = GetTickCount() - start;
        return true;
    });
    EXPECT_TRUE(job.Run(nullptr));
    EXPECT_EQ(Failed, result);
    EXPECT_LT(tookMs, 30000u) << "it waited for a program that never started";
}

TEST(ProcessRunProgram, AProgramThatOutlivesItsTimeOutFailsAndKeepsRunning)
{
    const std::string marker = TempMarker("corvane-run-late.mark");
    ProcessResult result = Done;
    TestJob job([&](TestJob& self) {
        result = ProcessRunProgram(self, SleepThenMark().c_str(), ("2000 \"" + marker + "\"").c_str(), 300);
        return true;
    });
    EXPECT_TRUE(job.Run(nullptr));
    EXPECT_EQ(Failed, result);
    EXPECT_FALSE(Exists(marker));
    // Not stopped by the time-out: it still gets to write its file.
    EXPECT_TRUE(WaitFor([&] { return Exists(marker); }, 20000));
    DeleteFileA(marker.c_str());
}

TEST(ProcessRunProgram, CancelWhileTheProgramRunsGivesStopped)
{
    const std::string marker = TempMarker("corvane-run-cancel.mark");
    ProcessResult result = Done;
    std::thread presser;
    TestJob job([&](TestJob& self) {
        presser = CancelLater(self, CancelBy::ClickFromThread, 200);
        result = ProcessRunProgram(self, SleepThenMark().c_str(), ("1500 \"" + marker + "\"").c_str(), 30000);
        return true;
    });
    EXPECT_TRUE(job.Run(nullptr));
    presser.join();
    EXPECT_EQ(Stopped, result);
    // Cancel leaves the program running; its file can go once it is written.
    WaitFor([&] { return Exists(marker); }, 20000);
    DeleteFileA(marker.c_str());
}

} // namespace
