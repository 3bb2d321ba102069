#include "soundfile/WaveFormatFile.h"

#include "files/LFile.h"
#include "files/TextBuffer.h"
#include "setup/InstallFolder.h"

void WaveFormatFilePath(char (&path)[TEXT_BUFFER_SIZE])
{
    GetInstallProgramFilesPath(path);
    LFile::FilePathCat(path, "WavCodec.wff");
}

void LoadWaveFormat(LWaveFormatRecord& record)
{
    ZeroMemory(&record, sizeof(record));
    record.Format.wFormatTag = WAVE_FORMAT_PCM;
    record.Format.nChannels = 2;
    record.Format.nSamplesPerSec = 44100;
    record.Format.nAvgBytesPerSec = 176400;
    record.Format.nBlockAlign = 4;
    record.Format.wBitsPerSample = 16;
    record.Format.cbSize = 0;

    char path[TEXT_BUFFER_SIZE];
    WaveFormatFilePath(path);
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD read = 0;
    ReadFile(file, record.bytes, sizeof(record.bytes), &read, nullptr);
    CloseHandle(file);
}
