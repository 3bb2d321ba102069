#include <windows.h>

#include "files/LFile.h"
#include "files/TextBuffer.h"
#include "ui/AppInstance.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    hAppInstance = hInstance;

    // Every file the program reads or writes by a bare name lives beside it. The
    // module's own path is taken rather than the command line's first word, which
    // may be relative or lack the folder when the program was found on the PATH.
    char programPath[TEXT_BUFFER_SIZE];
    char programFolder[TEXT_BUFFER_SIZE];
    GetModuleFileNameA(nullptr, programPath, sizeof(programPath));
    LFile::_GetFolderFromPath(programFolder, programPath);
    // A trailing separator makes "C:" the drive's root, not its current folder.
    LFile::FilePathCat(programFolder, "");
    SetCurrentDirectoryA(programFolder);

    return 0;
}
