// The dialog classes with real windows: how messages become operations, and
// the splash and About panel.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "resources/resource.h"
#include "ui/LDialog.h"
#include "ui/LSplashAbout.h"

namespace {

// Records what reaches it; OK closes only when allowed.
class RecordingDialog : public LDialog
{
public:
    void InitDialog() override { calls.push_back("InitDialog"); }
    bool CmOk() override
    {
        calls.push_back("CmOk");
        return bOkCloses;
    }
    void CmHelp() override { calls.push_back("CmHelp"); }
    void EnableControls() override { calls.push_back("EnableControls"); }
    void CmCommand(WORD id, WORD) override { calls.push_back("CmCommand " + std::to_string(id)); }
    void DestroyDialog() override { calls.push_back("DestroyDialog"); }

    std::vector<std::string> calls;
    bool bOkCloses = false;
};

// The messages a test sends to the modal dialog, from a timer on its thread.
std::vector<std::pair<WPARAM, LPARAM>> script;

void CALLBACK PlayScript(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    HWND dialog = FindWindowA("#32770", "About Corvane");
    for (const auto& command : script)
        SendMessageA(dialog, WM_COMMAND, command.first, command.second);
}

TEST(LDialog, CommandsBecomeOperationsAndCloseEndsTheModalDialog)
{
    RecordingDialog dialog;
    RegisterSplashAboutClass();
    HWND someControl = reinterpret_cast<HWND>(0x1234);
    script = {{IDHELP, reinterpret_cast<LPARAM>(someControl)},  // Help, whatever sends it
              {MAKEWPARAM(555, 7), 0},
              {IDOK, 0},  // refused: the dialog stays
              {IDCANCEL, 0}};
    SetTimer(nullptr, 0, 100, PlayScript);
    EXPECT_EQ(IDCANCEL, dialog.DoModal("LAbout", nullptr));
    EXPECT_EQ(nullptr, dialog.hWnd);
    EXPECT_EQ(std::vector<std::string>({"InitDialog", "EnableControls", "CmHelp", "CmCommand 555", "EnableControls",
                                        "CmOk", "DestroyDialog"}),
              dialog.calls)
        << "DestroyDialog runs once";
}

TEST(LSplashScreen, AClickClosesTheSplashButNotTheAboutPanel)
{
    RegisterSplashAboutClass();
    LSplashAboutBase splash = {"", 0, nullptr};
    LSplashScreen::Display(splash, nullptr);
    ASSERT_NE(nullptr, splash.hWnd);
    const SIZE picture = SplashPictureSize();
    ASSERT_GT(picture.cx, 0);
    RECT rect;
    GetWindowRect(splash.hWnd, &rect);
    EXPECT_EQ(picture.cx + 4, rect.right - rect.left);
    EXPECT_EQ(picture.cy + 88, rect.bottom - rect.top);
    HWND window = splash.hWnd;
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(nullptr, splash.hWnd);

    LSplashAboutBase about = {"", 1, nullptr};
    HWND panel = CreateWindowExA(0, "LAW", "", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(panel, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&about));
    SendMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageA(panel, WM_TIMER, 1, 0);
    EXPECT_TRUE(IsWindow(panel));
    DestroyWindow(panel);
}

} // namespace
