// Stands in for the sound editor and its setup, which the program fetches
// from the component servers. What it does depends on its own file name:
//   tssetup.exe      the editor's setup: records how it was started, copies
//                    itself into the editor's folder as tessaro.exe and
//                    registers its command line as "RunEdit", as a real setup
//                    would
//   lingersetup.exe  a setup that records how it was started, then stays until
//                    the event "CorvaneTestSetupRelease" is set (a minute at most)
//   any other name   the editor: records its command line and a copy of the
//                    file it was given, shows a window of class
//                    "TessaroTestEditor" and ends when that window is closed
//   with --close     closes every open editor window, and ends
// The records lie beside the program: setup.txt (command line, then the show
// state, -1 when none was given) and edited.txt (command line, then the file
// argument) with edited.wav.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

const char* const EDITOR_CLASS = "TessaroTestEditor";
const char* const RUN_EDIT_KEY = "Software\\Talmarin\\Tessaro\\Settings";
const DWORD LINGER_MS = 60000;

std::string OwnPath()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof(path));
    return path;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of("\\/")); }

std::string LowerName(const std::string& path)
{
    std::string name = path.substr(path.find_last_of("\\/") + 1);
    CharLowerA(&name[0]);
    return name;
}

// Written whole under another name, then renamed: a reader never sees half of it.
void WriteRecord(const std::string& path, const std::string& text)
{
    const std::string partial = path + ".new";
    HANDLE file = CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    MoveFileExA(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void RecordStart(const std::string& folder)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    WriteRecord(folder + "\\setup.txt", std::string(GetCommandLineA()) + "\n" + std::to_string(show) + "\n");
}

// The editor's folder: "<Program Files>\Talmarin\Tessaro".
std::string InstallFolder()
{
    char programFiles[MAX_PATH] = "";
    GetEnvironmentVariableA("ProgramFiles", programFiles, sizeof(programFiles));
    const std::string maker = std::string(programFiles) + "\\Talmarin";
    CreateDirectoryA(maker.c_str(), nullptr);
    const std::string folder = maker + "\\Tessaro";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

int Setup()
{
    const std::string folder = InstallFolder();
    RecordStart(folder);
    const std::string editor = folder + "\\tessaro.exe";
    if (!CopyFileA(OwnPath().c_str(), editor.c_str(), FALSE))
        return 1;
    const std::string command = "\"" + editor + "\" \"%s\"";
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, RUN_EDIT_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return 1;
    RegSetValueExA(key, "RunEdit", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));
    RegCloseKey(key);
    return 0;
}

int Linger()
{
    RecordStart(FolderOf(OwnPath()));
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "CorvaneTestSetupRelease");
    WaitForSingleObject(release, LINGER_MS);
    CloseHandle(release);
    return 0;
}

// The first argument after the program's own name, as the C runtime splits it.
std::string FirstArgument()
{
    int n = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &n);
    std::string first;
    if (arguments && n > 1)
    {
        char text[MAX_PATH * 2] = "";
        WideCharToMultiByte(CP_ACP, 0, arguments[1], -1, text, sizeof(text), nullptr, nullptr);
        first = text;
    }
    LocalFree(arguments);
    return first;
}

LRESULT CALLBACK EditorProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DESTROY)
    {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

int Editor(HINSTANCE instance)
{
    const std::string folder = FolderOf(OwnPath());
    const std::string file = FirstArgument();
    const std::string copy = folder + "\\edited.wav";
    DeleteFileA(copy.c_str());
    CopyFileA(file.c_str(), copy.c_str(), FALSE);
    WriteRecord(folder + "\\edited.txt", std::string(GetCommandLineA()) + "\n" + file + "\n");

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = EditorProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = EDITOR_CLASS;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassA(&windowClass);
    const std::string caption = "Tessaro - " + file;
    HWND window = CreateWindowA(EDITOR_CLASS, caption.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 400,
                                200, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    ShowWindow(window, SW_SHOWNORMAL);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

int CloseEditors()
{
    while (HWND window = FindWindowA(EDITOR_CLASS, nullptr))
        SendMessageA(window, WM_CLOSE, 0, 0);
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    if (std::string(commandLine) == "--close")
        return CloseEditors();
    const std::string name = LowerName(OwnPath());
    if (name == "tssetup.exe")
        return Setup();
    if (name == "lingersetup.exe")
        return Linger();
    return Editor(instance);
}
