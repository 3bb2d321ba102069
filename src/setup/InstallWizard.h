// The install wizard: the licence agreement, then the related programs the
// user may install with Corvane.
#pragma once

#include <windows.h>

#include "components/RelatedPrograms.h"
#include "ui/LPropertyPage.h"

struct InstallChoices
{
    // Ticked on the related-programs page, in the table's order.
    bool bInstall[RELATED_PROGRAM_COUNT];
};

class LLicenceTermsDlg : public LWizardPage
{
public:
    LLicenceTermsDlg() { nWizardButtons = PSWIZB_NEXT; }
    void InitDialog() override;
    void EnableControls() override;
    void CmCommand(WORD id, WORD notifyCode) override;
    bool CmOk() override;
    bool CmCancel() override;
};

class LProductsDlg : public LWizardPage
{
public:
    explicit LProductsDlg(InstallChoices& choices) : choices(choices) { nWizardButtons = PSWIZB_BACK | PSWIZB_FINISH; }
    void InitDialog() override;
    void OnSetActive() override;
    bool CmOk() override;
    bool CmCancel() override;

private:
    InstallChoices& choices;
};

// Runs the wizard owned by `owner`; false when the user left it with Cancel
// (and confirmed). The ticks are in `choices` otherwise.
bool RunInstallWizard(HWND owner, InstallChoices& choices);
