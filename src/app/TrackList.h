// The disc's tracks as the main window lists them: a list view with a check
// box, the track's name and its duration on each row, one row per track of
// the disc record, in the disc's order.
#pragma once

#include <windows.h>

#include "cdrom/LCDDBInfo.h"
#include "files/TextBuffer.h"

// The row of a disc's hidden track (audio before track 1), when it has one:
// above track 1, named "Hidden Track", its track number 00.
constexpr const char* HIDDEN_TRACK_NAME = "Hidden Track";
// The row where the disc record's tracks begin: after the hidden track's row.
inline int FirstTrackRow(const LCDDBInfo& disc) { return disc.bHiddenAudio ? 1 : 0; }

// The list's columns: the name, the duration, and the rip's status.
constexpr int TRACK_COLUMNS = 3;
constexpr int STATUS_COLUMN = 2;

class TrackList
{
public:
    // The list view control the rows live in; its columns are the window's.
    void Attach(HWND list) { hList = list; }
    HWND Handle() const { return hList; }

    int RowCount() const;
    // The selected row, or -1.
    int SelectedRow() const;
    bool IsRowChecked(int row) const;
    void SetRowChecked(int row, bool bChecked) const;
    bool IsAnyRowChecked() const;
    void CheckAll(bool bChecked) const;
    void GetRowText(int row, char (&text)[TEXT_BUFFER_SIZE]) const;
    // The row's name as the user typed it, cleaned of what a file name may
    // not hold.
    void SetRowName(int row, const char* text) const;
    // What became of the row's track in the last rip ("Copy OK", "Ripped",
    // ...); "" empties it.
    void SetRowStatus(int row, const char* text) const;
    // Starts the edit of the row's name.
    void EditName(int row) const;

    // Replaces the rows with the disc's tracks, drawn once when filled: the
    // first row selected, a row checked when `checked` says so (by row),
    // except a data track, which holds no audio, and the hidden track's row,
    // which a user rips only on purpose.
    void Fill(const LCDDBInfo& disc, const bool* checked) const;
    void Clear() const;

private:
    HWND hList = nullptr;
};
