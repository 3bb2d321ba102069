// Where the program is installed: the folder Talmarin\Corvane under the system's
// program-files folder.
#pragma once

#include "files/TextBuffer.h"

// Puts the install folder's path into `path`, creating the program-files folder
// and the maker folder when missing, and the install folder itself with full
// access for everyone. An existing folder is left as it is.
void GetInstallProgramFilesPath(char (&path)[TEXT_BUFFER_SIZE]);
