// Every registry key the program reads or writes, named once.
#pragma once

// The program's own settings: one sub-key per section below this.
constexpr const char* CORVANE_KEY = "Software\\Talmarin\\Corvane";
// Its sections, machine-wide unless marked per-user.
constexpr const char* SETTINGS_SECTION = "Settings";
constexpr const char* FOLDERS_SECTION = "Folders";
constexpr const char* MAIN_DIALOG_SECTION = "MainDialog";
constexpr const char* MP3_ENCODER_SECTION = "MP3Encoder";
constexpr const char* OUTPUT_FOLDER_LIST = "OutputFolder";  // per-user recent list

// The MP3 encoder component's registration, as its installer writes it.
constexpr const char* MP3_ENCODER_KEY = "Software\\Talmarin\\Components\\mp3el";
// The sound editor's own settings; its setup writes "RunEdit" there.
constexpr const char* TESSARO_SETTINGS_KEY = "Software\\Talmarin\\Tessaro\\Settings";
// The settings key of a program of the same maker, by its short name.
constexpr const char* MAKER_PROGRAM_SETTINGS_FORMAT = "Software\\Talmarin\\%s\\Settings";

// The system's: where programs go, and the entry of the uninstall list.
constexpr const char* CURRENT_VERSION_KEY = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* UNINSTALL_ENTRY_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvane";
constexpr const char* SHELL_FOLDERS_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
