// A program for the job runner's tests: sleeps the given milliseconds, then
// creates the given file, so a test can see that it outlived a wait.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    Sleep(static_cast<DWORD>(atoi(argv[1])));
    HANDLE file = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    CloseHandle(file);
    return 0;
}
