// A window's screenshot: its size, its frame, its client area and its child
// windows, read back from the PNG file.
#include <gtest/gtest.h>

#include <windows.h>

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

TEST_F(WindowShot, FailsForAWindowThatIsGone)
{
    DestroyWindow(window);
    EXPECT_FALSE(SaveWindowPng(window, "WindowShotGone.png"));
    window = nullptr;
}

}  // namespace
