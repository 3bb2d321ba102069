// Wizard pages in a real wizard sheet, pressed through by a timer as a user
// presses Next, Back and Finish.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/LPropertyPage.h"

namespace {

std::vector<std::string> calls;

class RecordingPage : public LWizardPage
{
public:
    explicit RecordingPage(const char* name) : name(name) {}
    void OnSetActive() override { calls.push_back(name + " active"); }
    void OnKillActive() override { calls.push_back(name + " left"); }
    bool CmOk() override
    {
        calls.push_back(name + (bAccept ? " accepts" : " refuses"));
        return bAccept;
    }

    std::string name;
    bool bAccept = true;
};

// The user's presses, one per timer tick, on the wizard sheet.
std::vector<std::function<void(HWND)>> presses;

void CALLBACK Press(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND sheet = FindWindowA("#32770", nullptr);
    while (sheet && !PropSheet_GetCurrentPageHwnd(sheet))
        sheet = FindWindowExA(nullptr, sheet, "#32770", nullptr);
    if (!sheet)
        return;
    if (presses.empty())
    {
        KillTimer(nullptr, id);
        return;
    }
    auto press = presses.front();
    presses.erase(presses.begin());
    press(sheet);
}

TEST(LWizardPage, NextAndFinishGoOnlyWhereThePageAgrees)
{
    RecordingPage first("first");
    RecordingPage second("second");
    first.bAccept = false;
    second.nWizardButtons = PSWIZB_BACK | PSWIZB_FINISH;
    PROPSHEETPAGEA pages[2] = {first.MakePage("WizardPageOne", "First", "The first page", false),
                               second.MakePage("WizardPageTwo", "Second", "The second page", false)};
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_WIZARD;
    header.nPages = 2;
    header.ppsp = pages;

    calls.clear();
    presses = {
        [](HWND sheet) { PropSheet_PressButton(sheet, PSBTN_NEXT); },  // refused: stays
        [&](HWND sheet) {
            first.bAccept = true;
            PropSheet_PressButton(sheet, PSBTN_NEXT);
        },
        [](HWND sheet) { PropSheet_PressButton(sheet, PSBTN_FINISH); },
    };
    SetTimer(nullptr, 0, 150, Press);
    PropertySheetA(&header);

    EXPECT_EQ(std::vector<std::string>({"first active", "first refuses", "first accepts", "first left",
                                        "second active", "second accepts"}),
              calls);
}

} // namespace
