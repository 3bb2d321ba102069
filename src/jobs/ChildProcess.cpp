#include "jobs/ChildProcess.h"

#include <string>

#include "files/TextBuffer.h"
#include "jobs/CommandLine.h"

namespace {

// Room for a path and its arguments, quoted.
constexpr std::size_t COMMAND_LINE_SIZE = 4 * TEXT_BUFFER_SIZE;

} // namespace

bool ChildProcess::Start(const char* commandLine, const ChildStart& how) { return Create(nullptr, commandLine, how); }

bool ChildProcess::StartProgram(const char* programPath, const char* arguments, const ChildStart& how)
{
    Release();
    char line[COMMAND_LINE_SIZE];
    return MakeCommandLine(programPath, arguments, line, sizeof(line)) && Create(programPath, line, how);
}

bool ChildProcess::Create(const char* programPath, const char* commandLine, const ChildStart& how)
{
    Release();
    // CreateProcessA may write into its command line.
    std::string line(commandLine);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = how.nShowState;
    const bool bInherit = how.hStandardInput != nullptr;
    if (bInherit)
    {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdInput = how.hStandardInput;
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(programPath, &line[0], nullptr, nullptr, bInherit ? TRUE : FALSE,
                        how.bNewConsole ? CREATE_NEW_CONSOLE : 0, nullptr, how.szFolder, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    hProcess = process.hProcess;
    return true;
}

ProcessResult ChildProcess::Wait(LJobControl& job, unsigned timeoutMs)
{
    if (!hProcess)
        return Failed;
    return job.WaitForHandle(hProcess, timeoutMs);
}

bool ChildProcess::WaitEnded(DWORD timeoutMs)
{
    return hProcess && WaitForSingleObject(hProcess, timeoutMs) == WAIT_OBJECT_0;
}

void ChildProcess::WaitUntilIdle(DWORD timeoutMs)
{
    if (hProcess)
        WaitForInputIdle(hProcess, timeoutMs);
}

bool ChildProcess::EndedWithSuccess()
{
    DWORD exitCode = 1;
    return hProcess && GetExitCodeProcess(hProcess, &exitCode) && exitCode == 0;
}

void ChildProcess::Terminate(DWORD timeoutMs)
{
    if (!hProcess)
        return;
    TerminateProcess(hProcess, 1);
    WaitForSingleObject(hProcess, timeoutMs);
}

void ChildProcess::Release()
{
    if (hProcess)
        CloseHandle(hProcess);
    hProcess = nullptr;
}

ProcessResult ProcessRunProgram(LJobControl& job, const char* programPath, const char* arguments, unsigned timeoutMs)
{
    ChildProcess program;
    ChildStart how;
    how.nShowState = SW_HIDE;
    how.bNewConsole = true;
    if (!program.StartProgram(programPath, arguments, how))
        return Failed;
    if (program.Wait(job, timeoutMs) == Failed)
        return Failed;
    return job.IsStopped() ? Stopped : Done;
}
