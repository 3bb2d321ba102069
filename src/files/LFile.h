// Path texts and folder services. Results longer than an output buffer holds
// are cut without a report.
#pragma once

#include <cstddef>

#include "files/TextBuffer.h"

class LFile
{
public:
    // Platform-free text operations (LFilePaths.cpp). Both '\' and '/' count as
    // separators when a path is read; '\' is the one written.

    // The path up to its last separator; empty when it has none.
    static void _GetFolderFromPath(char (&folder)[TEXT_BUFFER_SIZE], const char* path);
    // The part after the last separator (the whole path when it has none).
    static void _GetFileFromPath(char (&name)[TEXT_BUFFER_SIZE], const char* path);
    // The file name without its extension; a leading point is not an extension.
    static void GetFileNameNoExtension(char (&name)[TEXT_BUFFER_SIZE], const char* path);
    // Appends `name` to `folderPath` with one separator; returns the new length.
    static std::size_t FilePathCat(char (&folderPath)[TEXT_BUFFER_SIZE], const char* name);
    static std::size_t FilePathCatExt(char (&folderPath)[TEXT_BUFFER_SIZE], const char* name,
                                      const char* extension);
    // Copies `text` without the characters a file name may not hold (controls,
    // "*./:<>?\| and bytes 128-255); a device's name ("nul", "COM1" ...) gets
    // a '_' after it. True when at least one character was kept.
    static bool MakeValidFileName(const char* text, char (&name)[TEXT_BUFFER_SIZE]);
    // True when Windows takes the file `name` for a device: its part before
    // the first point, less trailing spaces, is a device's name ("Con.wav").
    static bool IsDeviceFileName(const char* name);
    // True when `path` names something strictly below `folder`: it starts with
    // the folder (letters compared in any case) and a separator, and no part
    // after that is "." or "..", which could lead back out.
    static bool IsInFolder(const char* path, const char* folder);

    // Win32 folder services (LFileFolders.cpp).

    // Deletes the files directly in the folder, then the folder; true when the
    // folder itself was removed.
    static bool DeleteFolderAndFiles(const char* folderPath);
    // Gives the file `from` the name `to`, replacing a file of that name;
    // false, with both as they were, when it cannot. Windows 98 has no
    // MoveFileEx: there the older file is deleted first.
    static bool MoveReplacing(const char* from, const char* to);
    // The system's folder for temporary files; false (and `folder` empty)
    // when the system names none or none that fits.
    static bool GetTempFolder(char (&folder)[TEXT_BUFFER_SIZE]);
};

// Shows the shell's folder picker; true when the user chose a file-system folder,
// whose path is then in `path`.
bool BrowseForFolder(char (&path)[TEXT_BUFFER_SIZE], const char* title);
