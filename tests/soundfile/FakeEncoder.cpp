// Stands in for the MP3 encoder in the tests of the pipe and of the rip. It
// takes the encoder's command line, and what it does is chosen by the
// environment variable FAKE_ENCODER, which it inherits from the test:
//   copy (or unset)  stores the raw input as the output file, and its
//                    arguments, one a line, in the output path + ".args"
//   exit1            ends at once with exit code 1, writing nothing
//   die-after=N      reads N bytes, then ends with exit code 3, writing nothing
//   hang             never reads and never ends
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    char mode[64] = "copy";
    GetEnvironmentVariableA("FAKE_ENCODER", mode, sizeof(mode));
    if (!strcmp(mode, "exit1"))
        return 1;
    if (!strcmp(mode, "hang"))
    {
        Sleep(INFINITE);
        return 0;
    }
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char block[65536];
    DWORD n = 0;
    if (!strncmp(mode, "die-after=", 10))
    {
        long left = atol(mode + 10);
        while (left > 0 && ReadFile(input, block, left < 65536 ? left : 65536, &n, nullptr) && n > 0)
            left -= static_cast<long>(n);
        return 3;
    }

    // The output path is the last argument the encoder is given before its tags.
    const char* output = nullptr;
    for (int i = 1; i < argc; ++i)
        if (!strcmp(argv[i], "-") && i + 1 < argc)
            output = argv[i + 1];
    if (!output)
        return 1;
    FILE* args = fopen((std::string(output) + ".args").c_str(), "wb");
    for (int i = 1; args && i < argc; ++i)
        fprintf(args, "%s\n", argv[i]);
    if (args)
        fclose(args);
    FILE* out = fopen(output, "wb");
    if (!out)
        return 2;
    while (ReadFile(input, block, sizeof(block), &n, nullptr) && n > 0)
        fwrite(block, 1, n, out);
    fclose(out);
    return 0;
}
