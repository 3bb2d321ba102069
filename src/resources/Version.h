// The program's name and version as its files name it (log, cue sheet).
#pragma once

constexpr const char* PROGRAM_NAME_VERSION = "Corvane 1.32";
