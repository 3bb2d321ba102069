#include <windows.h>
#include <shlobj.h>

#include "files/LFile.h"
#include "files/TextBuffer.h"

bool LFile::DeleteFolderAndFiles(const char* folderPath)
{
    char pattern[TEXT_BUFFER_SIZE];
    CopyText(pattern, folderPath);
    FilePathCat(pattern, "*.*");
    WIN32_FIND_DATAA found;
    HANDLE hSearch = FindFirstFileA(pattern, &found);
    if (hSearch != INVALID_HANDLE_VALUE)
    {
        do
        {
            if (found.cFileName[0] == '.')
                continue;
            char filePath[TEXT_BUFFER_SIZE];
            CopyText(filePath, folderPath);
            FilePathCat(filePath, found.cFileName);
            // Sub-folders and files in use stay; the folder then stays too.
            DeleteFileA(filePath);
        } while (FindNextFileA(hSearch, &found));
        FindClose(hSearch);
    }
    return RemoveDirectoryA(folderPath) != FALSE;
}

bool LFile::MoveReplacing(const char* from, const char* to)
{
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING))
        return true;
    if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
        return false;
    DeleteFileA(to);
    return MoveFileA(from, to) != FALSE;
}

bool LFile::GetTempFolder(char (&folder)[TEXT_BUFFER_SIZE])
{
    const DWORD length = GetTempPathA(sizeof(folder), folder);
    if (length == 0 || length >= sizeof(folder))
    {
        folder[0] = '\0';
        return false;
    }
    return true;
}

bool BrowseForFolder(char (&path)[TEXT_BUFFER_SIZE], const char* title)
{
    CoInitialize(nullptr);
    char displayName[MAX_PATH];
    BROWSEINFOA browse = {};
    browse.hwndOwner = GetActiveWindow();
    browse.pszDisplayName = displayName;
    browse.lpszTitle = title;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    bool chosen = false;
    LPITEMIDLIST itemList = SHBrowseForFolderA(&browse);
    if (itemList)
    {
        static_assert(sizeof(path) >= MAX_PATH, "SHGetPathFromIDList writes up to MAX_PATH characters");
        chosen = SHGetPathFromIDListA(itemList, path) != FALSE;
        CoTaskMemFree(itemList);
    }
    CoUninitialize();
    return chosen;
}
