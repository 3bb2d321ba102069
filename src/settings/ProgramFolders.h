// The program's folders. Where they are is worked out without side effects;
// creating them (with their security) is for start-up and the installer only.
#pragma once

#include "files/TextBuffer.h"

// Where: the install folder, Talmarin\Corvane under the system's
// program-files folder ("C:\Program Files" when the system names none).
void GetInstallProgramFilesPath(char (&path)[TEXT_BUFFER_SIZE]);

// Where: the maker's folder "Talmarin" in the program-files folder the
// system names; false when the system names none (the default is not taken).
bool GetMakerFolder(char (&path)[TEXT_BUFFER_SIZE]);

// Where: the folder recorded as "Folders"\`name` ("DataFiles" when `name` is
// null); when none is recorded, the install folder (followed by `name` when
// given).
void GetDataFolder(const char* name, char (&out)[TEXT_BUFFER_SIZE]);

// Where: the program's folder for what a user saves (Talmarin\Corvane in
// the user's application-data folder); false when the system names none.
bool GetUserDataFolder(char (&path)[TEXT_BUFFER_SIZE]);
// Create: the same, with the maker's folder, when missing; false when it
// cannot be made.
bool CreateUserDataFolder(char (&path)[TEXT_BUFFER_SIZE]);

// Create: puts the install folder's path into `path`, creating the
// program-files folder and the maker folder when missing, and the install
// folder itself with the security it inherits from the program-files folder
// (users may read and run, not change, what is installed). An existing folder
// is left as it is.
void CreateInstallFolder(char (&path)[TEXT_BUFFER_SIZE]);

// Create: the folder `name` inside the install folder, recorded as the value
// `name` of the settings section "Folders".
void CreateFolder(const char* name);
