// Where the program is installed: the folder Talmarin\Corvane under the system's
// program-files folder.
#pragma once

#include "files/TextBuffer.h"

// Puts the install folder's path into `path`, creating the program-files folder
// and the maker folder when missing, and the install folder itself with full
// access for everyone. An existing folder is left as it is.
void GetInstallProgramFilesPath(char (&path)[TEXT_BUFFER_SIZE]);

// The folder `name` inside the install folder, created, and recorded as the
// value `name` of the settings section "Folders".
void CreateFolder(const char* name);

// The maker's folder "Talmarin" in the program-files folder the system names;
// false when the system names none (the default is not taken).
bool GetMakerFolder(char (&path)[TEXT_BUFFER_SIZE]);
