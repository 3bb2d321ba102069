#include "soundfile/LWaveFile.h"

#include "sound/SampleBlocks.h"
#include "sound/SampleFormat.h"
#include "soundfile/LSNKACMFile.h"
#include "soundfile/WaveHeader.h"

LSoundSinkPtr LWaveFile::OpenSink(const char* path, const WAVEFORMATEX& format)
{
    if (format.wFormatTag != WAVE_FORMAT_PCM)
        return LSoundSinkPtr(new LSNKACMFile(path, format));
    return OpenSinkPCM(static_cast<int32_t>(format.nSamplesPerSec), path, format.wBitsPerSample,
                       static_cast<uint8_t>(format.nChannels));
}

LSoundSinkPtr LWaveFile::OpenSinkPCM(int32_t rate, const char* path, int bits, uint8_t channels)
{
    if (bits <= 8)
        return LSoundSinkPtr(new LSNKPCMFile8(rate, path, channels));
    if (bits <= 16)
        return LSoundSinkPtr(new LSNKPCMFile16(rate, path, channels));
    return LSoundSinkPtr();
}

LSNKPCMFileBase::LSNKPCMFileBase(int32_t rate, const char* path, uint8_t channels, int bytesPerSample)
    : LSoundSinkBase(rate, channels), nBytesPerSample(bytesPerSample), nBlockAlign(nChannels * bytesPerSample),
      pBuffer(new uint8_t[static_cast<size_t>(BRIDGE_BLOCK_FRAMES) * nChannels * bytesPerSample])
{
    if (!file.Open(path, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS))
    {
        bError = 1;
        return;
    }
    uint8_t header[WAVE_HEADER_SIZE];
    MakeHeader(header, WAVE_SIZE_UNKNOWN);
    WriteBytes(header, sizeof(header));
    // An older, longer file of that name is cut right after the new header.
    SetEndOfFile(file.Handle());
}

LSNKPCMFileBase::~LSNKPCMFileBase()
{
    Finish();
    delete[] pBuffer;
}

void LSNKPCMFileBase::Finish()
{
    uint8_t header[WAVE_HEADER_SIZE];
    MakeHeader(header, static_cast<uint32_t>(nWritten) * nBlockAlign);
    if (!file.Finish(header, sizeof(header)))
        bError = 1;
}

void LSNKPCMFileBase::Write(const int32_t* frames, int count)
{
    nWritten += count;
    ConvertSamples(frames, count * nChannels, pBuffer);
    WriteBytes(pBuffer, static_cast<DWORD>(count) * nBlockAlign);
}

void LSNKPCMFileBase::Seek(int frame)
{
    if (frame > nWritten)
        return;
    if (frame < 0)
        frame = 0;
    nWritten = frame;
    if (!file.IsOpen()
        || SetFilePointer(file.Handle(), WAVE_HEADER_SIZE + frame * nBlockAlign, nullptr, FILE_BEGIN)
               == INVALID_SET_FILE_POINTER
        || !SetEndOfFile(file.Handle()))
        bError = 1;
}

void LSNKPCMFileBase::WriteBytes(const void* bytes, DWORD size)
{
    if (!file.Write(bytes, size))
        bError = 1;
}

void LSNKPCMFileBase::MakeHeader(uint8_t (&header)[WAVE_HEADER_SIZE], uint32_t dataSize) const
{
    MakeWaveHeader(header, nChannels, static_cast<uint32_t>(nSampleRate), static_cast<uint16_t>(nBytesPerSample),
                   dataSize);
}

void LSNKPCMFile16::ConvertSamples(const int32_t* samples, int count, uint8_t* out) const
{
    SamplesTo16LE(samples, count, out);
}

void LSNKPCMFile8::ConvertSamples(const int32_t* samples, int count, uint8_t* out) const
{
    for (int i = 0; i < count; ++i)
        out[i] = SampleTo8(samples[i]);
}
