// The dialog classes every window of the program derives from. An object is
// bound to its dialog window from WM_INITDIALOG until Close or WM_DESTROY, and
// the window's messages become virtual operations.
#pragma once

#include <windows.h>

#include "files/TextBuffer.h"

// A list-view column: text, width (negative: what the earlier columns leave of
// the client width) and LVCFMT_ alignment. A table ends with a null text.
struct LListColumn
{
    const char* szText;
    int nWidth;
    int nFormat;
};

// A control's tooltip text.
struct LToolText
{
    int nId;
    const char* szText;
};

class LDialog
{
public:
    LDialog() = default;
    virtual ~LDialog() = default;
    LDialog(const LDialog&) = delete;
    LDialog& operator=(const LDialog&) = delete;

    virtual void InitDialog();
    // True closes the dialog (Close(1) / Close(2)).
    virtual bool CmOk();
    virtual bool CmCancel();
    virtual void CmHelp();
    virtual void EnableControls();
    virtual void CmCommand(WORD id, WORD notifyCode);
    // Runs once, as the window goes.
    virtual void DestroyDialog();
    virtual void Close(INT_PTR result);
    virtual INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam);

    // Runs the dialog modally; its result is the value given to Close.
    INT_PTR DoModal(LPCSTR templateName, HWND owner);

    // Control helpers on this dialog's window.
    // The pixel height of `n` vertical dialog units.
    int DialogUnitsToPixels(int n) const;
    // Moves and sizes without repainting, then invalidates the control.
    void MoveControl(int id, int x, int y, int width, int height) const;
    // At most 259 characters of the control's text; empty on failure.
    void GetControlText(int id, char (&text)[TEXT_BUFFER_SIZE]) const;
    // Empties the combo box's list, then adds the null-terminated `texts`.
    void FillComboBox(int id, const char* const* texts) const;
    void InsertListColumns(int id, const LListColumn* columns) const;
    // Every row gets the selected-and-focused state exactly when it is `row`.
    void SelectOneRow(int id, int row) const;
    // Column `column` takes the client width left by the first `count`
    // other columns, but at least `minimum`.
    void StretchColumn(int count, int id, int minimum, int column) const;
    void EnableMenuItem(int id, bool bEnable) const;
    void EnableControl(int id, bool bEnable) const;
    void EnableControlRange(int first, int last, bool bEnable) const;
    // The tooltip window is created on first use and kept in `hToolTip`;
    // without one the tools are silently missing.
    void AddTool(HWND& hToolTip, int id, const char* text) const;
    void AddTools(HWND& hToolTip, const LToolText* tools, int count) const;
    void UpdateTool(HWND hToolTip, int id, const char* text) const;

    HWND hWnd = nullptr;

protected:
    static INT_PTR CALLBACK CommonDialogProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam);
    // What the dialog procedures do once they know the object.
    static INT_PTR BindOnInit(LDialog* dialog, HWND hDlg);
    static INT_PTR Forward(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam);
};

// Opens "corvane.hlp" beside the program with a help command (3 contents,
// 1 a context number) and its data.
void DisplayHelpContents(HWND owner, UINT command, ULONG_PTR data);
