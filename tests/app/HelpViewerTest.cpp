// Help from the real program: F1 and the Settings dialog's Help open
// corvane.hlp, which the build puts beside corvane.exe, in the system's
// help viewer (Wine's winhlp32), on the right page.
#include "app/RealProgram.h"

#include <algorithm>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "Screenshots.h"
#include "shot/WindowShot.h"

namespace {

const char* const VIEWER_CLASS = "MS_WINHELP";
const char* const HELP_TITLE = "Corvane Help";

// The viewer's main window once it shows the help's title.
HWND Viewer()
{
    HWND viewer = FindWindowA(VIEWER_CLASS, HELP_TITLE);
    return viewer && IsWindowVisible(viewer) ? viewer : nullptr;
}

// The text of the page the viewer shows.
std::string PageText(HWND viewer)
{
    HWND page = FindWindowExA(viewer, nullptr, "RichEdit20A", nullptr);
    std::string text(16384, '\0');
    text.resize(page ? SendMessageA(page, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0])) : 0);
    return text;
}

// The page's lines; the first is the topic's title, or the help's title on
// the contents page.
std::vector<std::string> PageLines(HWND viewer)
{
    std::vector<std::string> lines;
    const std::string text = PageText(viewer);
    for (std::size_t start = 0, end; start < text.size(); start = end + 1)
    {
        end = std::min(text.find_first_of("\r\n", start), text.size());
        if (end > start)
            lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

bool ShowsPage(const char* title)
{
    HWND viewer = Viewer();
    return viewer && !PageLines(viewer).empty() && PageLines(viewer)[0] == title;
}

// What the viewer shows, for a failure's message.
std::string ViewerState()
{
    HWND viewer = FindWindowA(VIEWER_CLASS, nullptr);
    if (!viewer)
        return "no viewer window";
    char caption[128] = "";
    GetWindowTextA(viewer, caption, sizeof(caption));
    return std::string("the viewer \"") + caption + (IsWindowVisible(viewer) ? "\" shows: " : "\", hidden, has: ") +
           PageText(viewer).substr(0, 200);
}

// A key pressed on the keyboard while `window` is in front: F1 reaches a
// program as a key of the system's input, never as a posted message.
void PressKey(HWND window, WORD key)
{
    SetForegroundWindow(window);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == window; }, 10000));
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = key;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(2u, SendInput(2, keys, sizeof(INPUT)));
}

BOOL CALLBACK CountVisibleButton(HWND child, LPARAM count)
{
    char className[16] = "";
    GetClassNameA(child, className, sizeof(className));
    if (!lstrcmpiA(className, "Button") && IsWindowVisible(child))
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int VisibleButtons(HWND viewer)
{
    int count = 0;
    EnumChildWindows(viewer, CountVisibleButton, reinterpret_cast<LPARAM>(&count));
    return count;
}

// The viewer's picture, once it has laid out its buttons (Summary, Index,
// Back, About, Up, << and >>), drawn its page and waits for input.
void SaveViewerPicture(HWND viewer, const char* name)
{
    SetForegroundWindow(viewer);
    EXPECT_TRUE(WaitFor([&] { return VisibleButtons(viewer) == 7; }, 30000)) << VisibleButtons(viewer) << " buttons";
    DWORD processId = 0;
    GetWindowThreadProcessId(viewer, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId);
    ASSERT_NE(nullptr, process);
    WaitForInputIdle(process, 10000);
    CloseHandle(process);
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
        for (HWND viewer; (viewer = FindWindowA(VIEWER_CLASS, nullptr)) != nullptr && IsWindow(viewer);)
        {
            PostMessageA(viewer, WM_CLOSE, 0, 0);
            WaitFor([&] { return !IsWindow(viewer); }, 30000);
        }
        RealProgramTest::TearDown();
        if (program)
        {
            EXPECT_EQ(0u, ExitCodeAfter(program));
            CloseHandle(program);
        }
    }
    HANDLE program = nullptr;
    HWND window = nullptr;
};

TEST_F(HelpViewerTest, F1InTheMainWindowOpensTheContents)
{
    PressKey(window, VK_F1);
    ASSERT_TRUE(WaitFor([] { return ShowsPage(HELP_TITLE); }, 30000)) << ViewerState();
    const std::vector<std::string> contents = PageLines(Viewer());
    for (const char* topic : {"The Main Window", "Ripping a CD", "Settings", "MP3 Options", "Troubleshooting"})
        EXPECT_NE(contents.end(), std::find(contents.begin(), contents.end(), topic)) << topic << " is not listed";
    SaveViewerPicture(Viewer(), "help-contents.png");
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
        PressKey(settings, VK_F1);
    EXPECT_TRUE(WaitFor([] { return ShowsPage("Settings"); }, 30000)) << ViewerState();
    if (Viewer())
        SaveViewerPicture(Viewer(), (std::string("help-settings-") + GetParam().szName + ".png").c_str());
    PostMessageA(settings, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(settings); }, 30000));
}

INSTANTIATE_TEST_SUITE_P(Ways, SettingsHelpTest,
                         ::testing::Values(SettingsHelpCase{"help_button", true}, SettingsHelpCase{"f1", false}),
                         [](const ::testing::TestParamInfo<SettingsHelpCase>& info) { return info.param.szName; });

} // namespace
