// Where the program is installed: the folder Talmarin\Corvane under the system's
// program-files folder.
#pragma once

// Puts the install folder's path into `path` (a TEXT_BUFFER_SIZE buffer), creating
// the program-files folder and the maker folder when missing, and the install
// folder itself with full access for everyone. An existing folder is left as it is.
void GetInstallProgramFilesPath(char* path);
