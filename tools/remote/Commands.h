// The remote control's commands, each true when it succeeded; what failed
// is printed.
#pragma once

// The main window's.
bool WaitReady(int seconds);
bool Shot(const char* path);
bool Help(const char* path);
bool Rip(const char* folder);
bool DetectOffset();
bool Edit(int row);
bool Play(int track);
bool CloseMain();

// The setup file's and the uninstaller's.
bool Install(int seconds);
bool Uninstall(int seconds);
bool ListInstall();
