// The shortcuts of an installation and the system folders they go into.
#pragma once

#include "files/TextBuffer.h"

// The start-menu group "Corvane" in the programs folder of all users (or,
// when the system names none, of the user), creating the programs folder
// when missing; false when the system names neither. The group itself is not
// created here.
bool GetStartMenuGroupFolder(char (&folder)[TEXT_BUFFER_SIZE]);
// The desktop of all users, else the user's, else "c:\Windows\Desktop".
void GetDesktopFolder(char (&folder)[TEXT_BUFFER_SIZE]);

// A shell link at `linkPath` to `targetPath`; false when it was not saved.
bool CreateShortcut(const char* linkPath, const char* targetPath);
// "`name`.lnk" in the start-menu group, to `targetPath`; the group is
// created first. Nothing when there is no group.
void CreateStartMenuShortcut(const char* name, const char* targetPath);
// Deletes "`name`.lnk" in the start-menu group, when there is one.
void DeleteStartMenuShortcut(const char* name);
// The desktop shortcut's path, "Corvane.lnk" in the desktop folder.
void GetDesktopShortcutPath(char (&path)[TEXT_BUFFER_SIZE]);
