// A window's screenshot: its size, its frame, its client area and its child
// windows, read back from the PNG file.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "shot/WindowShot.h"
#include "tools/PngReader.h"

namespace {

const COLORREF kClientColour = RGB(10, 200, 30);
const COLORREF kChildColour = RGB(200, 20, 60);

uint32_t Rgb(COLORREF colour) { return uint32_t(GetRValue(colour)) << 16 | GetGValue(colour) << 8 | GetBValue(colour); }

// Registers a window class whose background is a solid colour; nothing else
// paints.
const char* ColourClass(const char* name, COLORREF colour)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = CreateSolidBrush(colour);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
    return name;
}

class WindowShot : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static const char* frameClass = ColourClass("ShotTestFrame", kClientColour);
        static const char* childClass = ColourClass("ShotTestChild", kChildColour);
        window = CreateWindowA(frameClass, "Window shot", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 40, 320, 240, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        child = CreateWindowA(childClass, "", WS_CHILD | WS_VISIBLE, 20, 20, 80, 50, window, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(child, nullptr);
        UpdateWindow(window);
    }
    void TearDown() override
    {
        if (window)
            DestroyWindow(window);
    }

    // Where the client point p of w is in the picture of the whole window.
    POINT InPicture(HWND w, POINT p) const
    {
        RECT frame;
        GetWindowRect(window, &frame);
        ClientToScreen(w, &p);
        return {p.x - frame.left, p.y - frame.top};
    }

    HWND window = nullptr;
    HWND child = nullptr;
};

TEST_F(WindowShot, PictureHoldsTheFrameTheClientAreaAndTheChildren)
{
    // Left in the working folder (the build's tests folder under CTest) for a
    // person to look at.
    const char* path = "WindowShotTest.png";
    ASSERT_TRUE(SaveWindowPng(window, path));

    PngImage image;
    ASSERT_EQ(ReadPng(path, image), "");
    RECT frame;
    GetWindowRect(window, &frame);
    ASSERT_EQ(image.width, frame.right - frame.left);
    ASSERT_EQ(image.height, frame.bottom - frame.top);

    RECT client;
    GetClientRect(window, &client);
    const POINT inClient = InPicture(window, {client.right - 20, client.bottom - 20});
    EXPECT_EQ(image.Pixel(inClient.x, inClient.y), Rgb(kClientColour));
    const POINT inChild = InPicture(child, {40, 25});
    EXPECT_EQ(image.Pixel(inChild.x, inChild.y), Rgb(kChildColour));

    // The title bar, above the client area, is part of the picture.
    const int captionY = InPicture(window, {0, 0}).y / 2;
    ASSERT_GT(captionY, 0);
    const uint32_t caption = image.Pixel(image.width / 2, captionY);
    EXPECT_NE(caption, Rgb(kClientColour));
    EXPECT_NE(caption, Rgb(kChildColour));
}

// A window of another thread that, asked to change, paints a moment later
// (on a timer, as a list filled in the background does).
const COLORREF kLateColour = RGB(230, 220, 20);
const UINT WM_CHANGE_LATER = WM_APP + 1;
const UINT_PTR LATE_TIMER = 1;
HBRUSH lateBrush = nullptr;

LRESULT CALLBACK LatePainter(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg)
    {
    case WM_CHANGE_LATER:
        SetTimer(window, LATE_TIMER, 20, nullptr);
        return 0;
    case WM_TIMER:
        KillTimer(window, LATE_TIMER);
        lateBrush = CreateSolidBrush(kLateColour);
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_ERASEBKGND:
        if (lateBrush)
        {
            RECT client;
            GetClientRect(window, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, lateBrush);
            return 1;
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

TEST(WindowShotOfAnotherThread, ThePictureWaitsForWhatTheWindowPaintsRightAfterTheRedraw)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = LatePainter;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = CreateSolidBrush(kClientColour);
    wc.lpszClassName = "ShotTestLatePainter";
    RegisterClassA(&wc);
    HANDLE created = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HWND window = nullptr;
    DWORD ownerId = 0;
    std::thread owner([&] {
        ownerId = GetCurrentThreadId();
        window = CreateWindowA("ShotTestLatePainter", "Late", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 80, 60, 240, 180,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        UpdateWindow(window);
        SetEvent(created);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
    });
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(created, 10000));
    ASSERT_NE(nullptr, window);

    PostMessageA(window, WM_CHANGE_LATER, 0, 0);
    const char* path = "WindowShotLate.png";
    EXPECT_TRUE(SaveWindowPng(window, path));
    PngImage image;
    EXPECT_EQ(ReadPng(path, image), "");
    RECT client;
    GetClientRect(window, &client);
    POINT p = {client.right / 2, client.bottom / 2};
    ClientToScreen(window, &p);
    RECT frame;
    GetWindowRect(window, &frame);
    if (image.width > 0)
    {
        EXPECT_EQ(image.Pixel(p.x - frame.left, p.y - frame.top), Rgb(kLateColour));
    }

    PostMessageA(window, WM_CLOSE, 0, 0);
    PostThreadMessageA(ownerId, WM_QUIT, 0, 0);
    owner.join();
    CloseHandle(created);
}

TEST_F(WindowShot, FailsForAWindowThatIsGone)
{
    DestroyWindow(window);
    EXPECT_FALSE(SaveWindowPng(window, "WindowShotGone.png"));
    window = nullptr;
}

}  // namespace
