// The one way the program starts another program: the ripper's encoder, the
// sound editor, a component's setup, the installed program and the
// uninstaller's copy all start through ChildProcess.
#pragma once

#include <windows.h>

#include "jobs/LJobControl.h"

// How a program is started.
struct ChildStart
{
    WORD nShowState = SW_SHOWNORMAL;  // its first window: SW_HIDE, SW_SHOWNORMAL ...
    bool bNewConsole = false;         // a console of its own (a console program stays hidden with SW_HIDE)
    // When set, the program inherits it as its standard input, and this
    // program's standard output and error; otherwise it inherits nothing.
    HANDLE hStandardInput = nullptr;
    const char* szFolder = nullptr;  // its current folder; null for this program's
    // The command line is UTF-8 (the path the code page's): the program gets
    // every character of it, where the system passes command lines as
    // UTF-16; elsewhere what the code page has of it.
    bool bUtf8CommandLine = false;
};

class ChildProcess
{
public:
    ChildProcess() = default;
    // Lets go of the program, which keeps running.
    ~ChildProcess() { Release(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `commandLine` (the program's path first, quoted when it holds
    // spaces); false when it could not be started. A program started before
    // is let go first. For command lines made elsewhere (the editor's).
    bool Start(const char* commandLine, const ChildStart& how);
    // Starts the program at `programPath` with `arguments` (may be empty):
    // the path is both the program started and, quoted, the command line's
    // first word (MakeCommandLine), so that no other program can start in
    // its place; false when it could not be started.
    bool StartProgram(const char* programPath, const char* arguments, const ChildStart& how);
    // True between a successful Start and Release.
    bool IsStarted() const { return hProcess != nullptr; }

    // Waits through `job` for the program to end, as LJobControl::WaitForHandle.
    ProcessResult Wait(LJobControl& job, unsigned timeoutMs);
    // Waits without a job; true when the program has ended.
    bool WaitEnded(DWORD timeoutMs);
    // Waits until the program takes input, or `timeoutMs` passes.
    void WaitUntilIdle(DWORD timeoutMs);
    // True when the program ended with exit code 0.
    bool EndedWithSuccess();
    // Ends the program by force and waits up to `timeoutMs` for it to go.
    void Terminate(DWORD timeoutMs);
    // Closes the handle; the program keeps running.
    void Release();

private:
    // CreateProcessA with `programPath` as its application name (null: the
    // command line's first word).
    bool Create(const char* programPath, const char* commandLine, const ChildStart& how);

    HANDLE hProcess = nullptr;
};

// Runs the program at `programPath` with `arguments` (StartProgram) hidden in
// a console of its own and waits up to `timeoutMs` for it to end: Done when
// it ended (its exit code is not read), Stopped when the user cancelled,
// Failed when it could not start or timed out. A program still running when
// the wait ends keeps running.
ProcessResult ProcessRunProgram(LJobControl& job, const char* programPath, const char* arguments, unsigned timeoutMs);
