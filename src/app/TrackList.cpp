#include "app/TrackList.h"

#include <commctrl.h>

#include "files/LFile.h"

namespace {

// List-view state images: 1 an empty box, 2 a checked one.
const UINT STATE_UNCHECKED = INDEXTOSTATEIMAGEMASK(1);
const UINT STATE_CHECKED = INDEXTOSTATEIMAGEMASK(2);

} // namespace

int TrackList::RowCount() const
{
    return static_cast<int>(SendMessageA(hList, LVM_GETITEMCOUNT, 0, 0));
}

int TrackList::SelectedRow() const
{
    return static_cast<int>(SendMessageA(hList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

bool TrackList::IsRowChecked(int row) const
{
    return static_cast<UINT>(SendMessageA(hList, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK)) == STATE_CHECKED;
}

void TrackList::SetRowChecked(int row, bool bChecked) const
{
    LVITEMA item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = bChecked ? STATE_CHECKED : STATE_UNCHECKED;
    SendMessageA(hList, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

bool TrackList::IsAnyRowChecked() const
{
    const int nRows = RowCount();
    for (int i = 0; i < nRows; ++i)
        if (IsRowChecked(i))
            return true;
    return false;
}

void TrackList::CheckAll(bool bChecked) const
{
    for (int i = 0; i < RowCount(); ++i)
        SetRowChecked(i, bChecked);
}

void TrackList::GetRowText(int row, char (&text)[TEXT_BUFFER_SIZE]) const
{
    text[0] = '\0';
    LVITEMA item = {};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = TEXT_BUFFER_SIZE;
    SendMessageA(hList, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

void TrackList::SetRowName(int row, const char* text) const
{
    char name[TEXT_BUFFER_SIZE];
    LFile::MakeValidFileName(text, name);
    LVITEMA item = {};
    item.iSubItem = 0;
    item.pszText = name;
    SendMessageA(hList, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

void TrackList::SetRowStatus(int row, const char* text) const
{
    LVITEMA item = {};
    item.iSubItem = STATUS_COLUMN;
    item.pszText = const_cast<char*>(text);
    SendMessageA(hList, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

void TrackList::EditName(int row) const
{
    SetFocus(hList);
    SendMessageA(hList, LVM_EDITLABELA, row, 0);
}

void TrackList::Fill(const LCDDBInfo& disc, const bool* checked) const
{
    // Drawn once when filled, not once per row.
    SendMessageA(hList, WM_SETREDRAW, FALSE, 0);
    SendMessageA(hList, LVM_DELETEALLITEMS, 0, 0);
    const int first = FirstTrackRow(disc);
    const int nRows = disc.nTracks + first;
    const int32_t hiddenSeconds = disc.nTracks > 0 ? TrackSeconds(0, disc.Tracks[0].nStartSector) : 0;
    for (int row = 0; row < nRows; ++row)
    {
        char name[TEXT_BUFFER_SIZE];
        char duration[TEXT_BUFFER_SIZE];
        const int32_t seconds = row < first ? hiddenSeconds : disc.Tracks[row - first].nSeconds;
        LFile::MakeValidFileName(row < first ? HIDDEN_TRACK_NAME : disc.Tracks[row - first].szName, name);
        if (row >= first && disc.Tracks[row - first].bData)
            CopyText(duration, "data");
        else
            FormatText(duration, sizeof(duration), "%d:%.2d", seconds / 60, seconds % 60);
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = name;
        SendMessageA(hList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        item.iSubItem = 1;
        item.pszText = duration;
        SendMessageA(hList, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    }
    for (int row = 0; row < nRows; ++row)
    {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = row == 0 ? LVIS_SELECTED | LVIS_FOCUSED : 0;
        SendMessageA(hList, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
    // A data track is listed so that the disc's numbering stays, but it holds
    // no audio: it starts unchecked, as does the hidden track.
    for (int row = 0; row < nRows; ++row)
        SetRowChecked(row, row >= first && !disc.Tracks[row - first].bData && checked[row]);
    SendMessageA(hList, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hList, nullptr, TRUE);
}

void TrackList::Clear() const
{
    SendMessageA(hList, LVM_DELETEALLITEMS, 0, 0);
}
