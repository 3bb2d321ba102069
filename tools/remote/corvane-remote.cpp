// Drives a running Corvane from outside, through window messages (and F1,
// which a program takes only from the keyboard, as a key of the system's
// input), as a user's actions would: for the run command on machines without
// a screen.
//   corvane-remote COMMAND [ARG] [COMMAND [ARG]]...
//     wait-ready SECONDS   wait for the main window, idle, with its tracks listed,
//                          print when it was found (Unix time) and click the
//                          splash away
//     shot FILE.png        save a picture of the main window
//     help FILE.png        press F1 in the main window, wait for the help
//                          viewer, save a picture of it and close it
//     rip FOLDER           set the output folder, check every track, press Rip
//                          and wait until the last track is written
//     detect-offset        open Settings, press Detect Read Offset, answer its
//                          question (Yes: save the correction found), print
//                          the correction Settings then shows and press OK
//     edit ROW             select row ROW (from 1), press Edit and wait until
//                          the program asks the user to exit the sound editor
//     play N               select track N (from 1), press Play, check that Stop
//                          is enabled, and wait until it is greyed again
//     close                cancel a running job, close the main window and
//                          wait for it to go
//     install SECONDS      go through the setup file's wizard: agree, Next,
//                          tick nothing, Install; wait for the wizard to go
//     uninstall SECONDS    wait for the uninstaller's question, answer Yes, and
//                          wait for every uninstaller to end
//     list-install         print the files below the maker's folder with their
//                          sizes, the shortcuts with their targets and the
//                          registry values the installer writes
// While a command waits, every message box the program shows is printed and
// answered by the rules of BOX_RULES; one that reports a failure, or one no
// rule knows, fails the command once it is answered.
// Exit code 0 when every command succeeded; the first failure is printed.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Commands.h"

namespace {

// One command of the command line: its word, whether an argument follows,
// and what runs it (with the argument, or null).
struct Command
{
    const char* szName;
    bool bArgument;
    bool (*Run)(const char* argument);
};

const Command COMMANDS[] = {
    {"wait-ready", true, [](const char* a) { return WaitReady(atoi(a)); }},
    {"shot", true, [](const char* a) { return Shot(a); }},
    {"help", true, [](const char* a) { return Help(a); }},
    {"rip", true, [](const char* a) { return Rip(a); }},
    {"detect-offset", false, [](const char*) { return DetectOffset(); }},
    {"edit", true, [](const char* a) { return Edit(atoi(a)); }},
    {"play", true, [](const char* a) { return Play(atoi(a)); }},
    {"close", false, [](const char*) { return CloseMain(); }},
    {"install", true, [](const char* a) { return Install(atoi(a)); }},
    {"uninstall", true, [](const char* a) { return Uninstall(atoi(a)); }},
    {"list-install", false, [](const char*) { return ListInstall(); }},
};

} // namespace

int main(int argc, char** argv)
{
    // The run command may end this program by force: what it printed must be
    // out by then, and in order with the errors.
    setvbuf(stdout, nullptr, _IONBF, 0);
    for (int i = 1; i < argc; ++i)
    {
        const char* word = argv[i];
        const Command* command = nullptr;
        for (const Command& c : COMMANDS)
            if (!strcmp(word, c.szName) && (!c.bArgument || i + 1 < argc))
                command = &c;
        if (!command)
        {
            fprintf(stderr, "corvane-remote: unknown command %s\n", word);
            return 1;
        }
        const char* argument = command->bArgument ? argv[++i] : nullptr;
        if (!command->Run(argument))
            return 1;
    }
    return 0;
}
