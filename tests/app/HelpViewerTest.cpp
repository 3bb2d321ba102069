// Help from the real program: F1 and the Settings dialog's Help open
// corvane.hlp, which the build puts beside corvane.exe, in the system's
// help viewer (Wine's winhlp32), on the right page.
#include "app/RealProgram.h"

#include <algorithm>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "Screenshots.h"
#include "shot/HelpViewer.h"
#include "shot/WindowShot.h"

namespace {

const char* const HELP_TITLE = "Corvane Help";

bool ShowsPage(const char* title)
{
    HWND viewer = FindHelpViewer(HELP_TITLE);
    const std::vector<std::string> lines = viewer ? HelpViewerPageLines(viewer) : std::vector<std::string>();
    return !lines.empty() && lines[0] == title;
}

// What the viewer shows, for a failure's message.
std::string ViewerState()
{
    HWND viewer = FindWindowA("MS_WINHELP", nullptr);
    if (!viewer)
        return "no viewer window";
    char caption[128] = "";
    GetWindowTextA(viewer, caption, sizeof(caption));
    const std::vector<std::string> lines = HelpViewerPageLines(viewer);
    return std::string("the viewer \"") + caption + (IsWindowVisible(viewer) ? "\" shows: " : "\", hidden, has: ") +
           (lines.empty() ? "nothing" : lines[0]);
}

void SaveViewerPicture(const char* name)
{
    HWND viewer = FindHelpViewer(HELP_TITLE);
    EXPECT_TRUE(WaitHelpViewerDrawn(viewer, 30000));
    EXPECT_TRUE(SaveWindowPng(viewer, ScreenshotPath(name).c_str()));
}

class HelpViewerTest : public RealProgramTest
{
protected:
    void SetUp() override
    {
        program = Start(ProgramPath(), "");
        ASSERT_NE(nullptr, program);
        ASSERT_TRUE(WaitFor([] { return MainWindows().size() == 1 && ShowsTracks(MainWindows()[0]); }, 30000));
        window = MainWindows()[0];
    }
    void TearDown() override
    {
        for (HWND viewer; (viewer = FindWindowA("MS_WINHELP", nullptr)) != nullptr;)
        {
            PostMessageA(viewer, WM_CLOSE, 0, 0);
            ASSERT_TRUE(WaitFor([&] { return !IsWindow(viewer); }, 30000));
        }
        RealProgramTest::TearDown();
        EXPECT_EQ(0u, ExitCodeAfter(program));
        CloseHandle(program);
    }
    HANDLE program = nullptr;
    HWND window = nullptr;
};

TEST_F(HelpViewerTest, F1InTheMainWindowOpensTheContents)
{
    ASSERT_TRUE(PressKey(window, VK_F1));
    ASSERT_TRUE(WaitFor([] { return ShowsPage(HELP_TITLE); }, 30000)) << ViewerState();
    const std::vector<std::string> contents = HelpViewerPageLines(FindHelpViewer(HELP_TITLE));
    for (const char* topic : {"The Main Window", "Ripping a CD", "Settings", "MP3 Options", "Troubleshooting"})
        EXPECT_NE(contents.end(), std::find(contents.begin(), contents.end(), topic)) << topic << " is not listed";
    SaveViewerPicture("help-contents.png");
}

// The Settings dialog's two ways to its help: its Help button and F1.
struct SettingsHelpCase
{
    const char* szName;
    bool bButton;
};

class SettingsHelpTest : public HelpViewerTest, public ::testing::WithParamInterface<SettingsHelpCase>
{
};

TEST_P(SettingsHelpTest, OpensTheSettingsTopic)
{
    PostMessageA(window, WM_COMMAND, CM_SETTINGS, 0);
    HWND settings = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (settings = FindWindowA("#32770", "Settings")) != nullptr; }, 30000));
    if (GetParam().bButton)
        PostMessageA(settings, WM_COMMAND, MAKEWPARAM(IDHELP, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(settings, IDHELP)));
    else
        ASSERT_TRUE(PressKey(settings, VK_F1));
    EXPECT_TRUE(WaitFor([] { return ShowsPage("Settings"); }, 30000)) << ViewerState();
    if (FindHelpViewer(HELP_TITLE))
        SaveViewerPicture((std::string("help-settings-") + GetParam().szName + ".png").c_str());
    PostMessageA(settings, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(settings); }, 30000));
}

INSTANTIATE_TEST_SUITE_P(Ways, SettingsHelpTest,
                         ::testing::Values(SettingsHelpCase{"help_button", true}, SettingsHelpCase{"f1", false}),
                         [](const ::testing::TestParamInfo<SettingsHelpCase>& info) { return info.param.szName; });

} // namespace
