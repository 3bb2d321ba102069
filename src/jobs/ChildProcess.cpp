#include "jobs/ChildProcess.h"

#include <string>

#include "files/TextBuffer.h"
#include "jobs/CommandLine.h"

namespace {

// Room for a path and its arguments, quoted.
constexpr std::size_t COMMAND_LINE_SIZE = 4 * TEXT_BUFFER_SIZE;

std::wstring Widen(const char* text, UINT codePage)
{
    const int size = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (size <= 0)
        return std::wstring();
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, &out[0], size);
    out.resize(static_cast<std::size_t>(size) - 1);
    return out;
}

// In the code page, with "?" for what it lacks, as a program started with a
// code-page command line gets it.
std::string Narrow(const std::wstring& text, UINT codePage)
{
    const int size = WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), -1, &out[0], size, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(size) - 1);
    return out;
}

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
    const DWORD flags = how.bNewConsole ? CREATE_NEW_CONSOLE : 0;
    bool bCreated = false;
    bool bTryAnsi = true;
    if (how.bUtf8CommandLine)
    {
        std::wstring wideLine = Widen(commandLine, CP_UTF8);
        const std::wstring widePath = programPath ? Widen(programPath, CP_ACP) : std::wstring();
        const std::wstring wideFolder = how.szFolder ? Widen(how.szFolder, CP_ACP) : std::wstring();
        STARTUPINFOW wideStartup = {};
        wideStartup.cb = sizeof(wideStartup);
        wideStartup.dwFlags = startup.dwFlags;
        wideStartup.wShowWindow = startup.wShowWindow;
        wideStartup.hStdInput = startup.hStdInput;
        wideStartup.hStdOutput = startup.hStdOutput;
        wideStartup.hStdError = startup.hStdError;
        bCreated = !wideLine.empty()
                   && CreateProcessW(programPath ? widePath.c_str() : nullptr, &wideLine[0], nullptr, nullptr,
                                     bInherit ? TRUE : FALSE, flags, nullptr,
                                     how.szFolder ? wideFolder.c_str() : nullptr, &wideStartup, &process);
        // Windows 98 starts programs with code-page command lines only.
        bTryAnsi = !bCreated && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED;
        if (bTryAnsi)
            line = Narrow(Widen(commandLine, CP_UTF8), CP_ACP);
    }
    if (!bCreated && bTryAnsi)
        bCreated = CreateProcessA(programPath, &line[0], nullptr, nullptr, bInherit ? TRUE : FALSE, flags, nullptr,
                                  how.szFolder, &startup, &process);
    if (!bCreated)
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
