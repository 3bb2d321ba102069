#include "setup/InstallWizard.h"

#include <commctrl.h>

#include "resources/AppInstance.h"
#include "resources/resource.h"

namespace {

const char* const LICENCE_TEXT =
    "CORVANE SOFTWARE LICENCE AGREEMENT\r\n"
    "\r\n"
    "This is an agreement between you and Talmarin about the use of Corvane, its help file and the MP3 encoder "
    "that comes with it (the Software). By choosing \"I agree with these terms\" and installing the Software you "
    "accept this agreement. If you do not accept it, choose \"I do not agree with these terms\" and leave the "
    "setup program with Cancel.\r\n"
    "\r\n"
    "1. Use. You may install and use the Software on any number of computers that you own or control.\r\n"
    "\r\n"
    "2. Copies. You may copy the setup file and give it to others, unchanged and free of charge. You may not sell "
    "it or change it, and you may not remove this agreement or the copyright notices from it.\r\n"
    "\r\n"
    "3. Your recordings. The Software copies audio from compact discs. You are responsible for having the right "
    "to copy the discs you copy with it, under the laws that apply to you.\r\n"
    "\r\n"
    "4. No warranty. The Software is provided \"as is\", without warranty of any kind, express or implied, "
    "including fitness for a particular purpose. You use it at your own risk.\r\n"
    "\r\n"
    "5. Limitation of liability. Talmarin is not liable for any damage that comes from the use of the Software or "
    "from being unable to use it, including lost data, lost recordings and lost profits, even when told that such "
    "damage may occur.\r\n"
    "\r\n"
    "6. Ending. This agreement ends when you break any of its terms; you must then remove the Software from your "
    "computers.\r\n";

// The question of Cancel: true when the user wants to leave the setup.
bool ConfirmExitSetup(HWND page)
{
    return MessageBoxA(page,
                       "Setup is not complete. If you quit now, the program will not be installed.\r\n\r\nYou may "
                       "run the setup program again at another time to complete the installation.\r\n\r\nExit "
                       "Setup?",
                       "Exit Setup", MB_OKCANCEL | MB_ICONQUESTION)
           == IDOK;
}

} // namespace

void LLicenceTermsDlg::InitDialog()
{
    SetDlgItemTextA(hWnd, IDC_LICENCE_TEXT, LICENCE_TEXT);
}

void LLicenceTermsDlg::EnableControls()
{
    const bool bAgreed = IsDlgButtonChecked(hWnd, IDC_LICENCE_AGREE) == BST_CHECKED;
    PropSheet_SetWizButtons(GetParent(hWnd),
                            nWizardButtons & (bAgreed ? PSWIZB_BACK | PSWIZB_NEXT | PSWIZB_FINISH : PSWIZB_BACK));
}

void LLicenceTermsDlg::CmCommand(WORD id, WORD notifyCode)
{
    if ((id == IDC_LICENCE_AGREE || id == IDC_LICENCE_DISAGREE) && notifyCode == BN_CLICKED)
        EnableControls();
}

bool LLicenceTermsDlg::CmOk()
{
    return IsDlgButtonChecked(hWnd, IDC_LICENCE_AGREE) == BST_CHECKED;
}

bool LLicenceTermsDlg::CmCancel()
{
    return ConfirmExitSetup(hWnd);
}

void LProductsDlg::InitDialog()
{
    for (const RelatedProgram& program : RelatedPrograms)
    {
        const bool bOffered = !IsRelatedProgramInstalled(program);
        CheckDlgButton(hWnd, program.nCheckId, BST_UNCHECKED);
        EnableControl(program.nCheckId, bOffered);
        EnableControl(program.nTextId, bOffered);
    }
}

void LProductsDlg::OnSetActive()
{
    // The wizard's Finish button installs.
    SetDlgItemTextA(GetParent(hWnd), IDC_WIZARD_FINISH_BUTTON, "Install");
}

bool LProductsDlg::CmOk()
{
    for (int i = 0; i < RELATED_PROGRAM_COUNT; ++i)
        choices.bInstall[i] = IsDlgButtonChecked(hWnd, RelatedPrograms[i].nCheckId) == BST_CHECKED;
    return true;
}

bool LProductsDlg::CmCancel()
{
    return ConfirmExitSetup(hWnd);
}

bool RunInstallWizard(HWND owner, InstallChoices& choices)
{
    choices = {};
    LLicenceTermsDlg licence;
    LProductsDlg products(choices);
    PROPSHEETPAGEA pages[2] = {
        licence.MakePage("LLicenceTermsDlg", "Licence Agreement",
                         "Please read the following important information before continuing.", false),
        products.MakePage("LProductsDlg", "Related Programs",
                          "Which optional related programs do you want to install now?", false),
    };
    // A single white pixel, stretched, keeps the header area plain white.
    const DWORD white = 0x00FFFFFF;
    HBITMAP header = CreateBitmap(1, 1, 1, 32, &white);
    PROPSHEETHEADERA sheet = {};
    sheet.dwSize = sizeof(sheet);
    sheet.dwFlags = PSH_PROPSHEETPAGE | PSH_WIZARD97 | PSH_HEADER | PSH_USEHBMHEADER | PSH_USEICONID;
    sheet.hwndParent = owner;
    sheet.hInstance = hAppInstance;
    sheet.pszIcon = MAKEINTRESOURCEA(IDI_CORVANE);
    sheet.pszCaption = "";
    sheet.nPages = 2;
    sheet.ppsp = pages;
    sheet.hbmHeader = header;
    // The sheet's result is positive when it closed with Finish.
    const INT_PTR result = PropertySheetA(&sheet);
    if (header)
        DeleteObject(header);
    return result > 0;
}
