// WAV file sinks. A PCM file is written with the open-state header; its sizes
// are filled in when the last pointer to the sink lets it go.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "sound/LSoundStream.h"
#include "soundfile/WaveFileWriter.h"
#include "soundfile/WaveHeader.h"

class LWaveFile
{
public:
    // Tag 1 (PCM) gives a PCM sink with the record's rate, bits and channels;
    // other tags give the compressed writer (LSNKACMFile), for which `format`
    // is followed by its cbSize codec bytes.
    static LSoundSinkPtr OpenSink(const char* path, const WAVEFORMATEX& format);
    // Up to 8 bits: 8-bit unsigned samples; 9 to 16: 16-bit; more: no sink.
    static LSoundSinkPtr OpenSinkPCM(int32_t rate, const char* path, int bits, uint8_t channels);
};

// The file behind a PCM sink. bError is set when the file cannot be opened or
// a write to it fails (a full disk), so that the caller can tell a complete
// file from a broken one.
class LSNKPCMFileBase : public LSoundSinkBase
{
public:
    // Finishes the file if that has not been done.
    ~LSNKPCMFileBase() override;
    void Write(const int32_t* frames, int count) override;
    // Cuts the file back to `frame`; a frame beyond what was written is ignored.
    void Seek(int frame) override;
    // Writes the final header and closes the file.
    void Finish() override;

protected:
    LSNKPCMFileBase(int32_t rate, const char* path, uint8_t channels, int bytesPerSample);
    // Converts `count` samples into the file's form in `out`.
    virtual void ConvertSamples(const int32_t* samples, int count, uint8_t* out) const = 0;

private:
    void WriteBytes(const void* bytes, DWORD size);
    void MakeHeader(uint8_t (&header)[WAVE_HEADER_SIZE], uint32_t dataSize) const;

    WaveFileWriter file;
    int nBytesPerSample;
    int nBlockAlign;
    uint8_t* pBuffer;
};

class LSNKPCMFile16 : public LSNKPCMFileBase
{
public:
    LSNKPCMFile16(int32_t rate, const char* path, uint8_t channels) : LSNKPCMFileBase(rate, path, channels, 2) {}

protected:
    void ConvertSamples(const int32_t* samples, int count, uint8_t* out) const override;
};

class LSNKPCMFile8 : public LSNKPCMFileBase
{
public:
    LSNKPCMFile8(int32_t rate, const char* path, uint8_t channels) : LSNKPCMFileBase(rate, path, channels, 1) {}

protected:
    void ConvertSamples(const int32_t* samples, int count, uint8_t* out) const override;
};
