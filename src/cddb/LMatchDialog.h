// The choice among the discs a CDDB server lists for an inexact match.
#pragma once

#include <vector>

#include "cddb/CDDBEntry.h"
#include "ui/LDialog.h"

class LMatchDialog : public LDialog
{
public:
    explicit LMatchDialog(const std::vector<CDDBMatch>& matches);

    // Shows the list, the first entry selected; the index chosen, or -1 when
    // the user cancelled.
    int Choose(HWND owner);

    void InitDialog() override;
    bool CmOk() override;
    void CmCommand(WORD id, WORD notifyCode) override;

private:
    const std::vector<CDDBMatch>& matches;
    int nChosen = -1;
};
