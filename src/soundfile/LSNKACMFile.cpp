#include "soundfile/LSNKACMFile.h"

#include <cstring>

#include "sound/SampleBlocks.h"
#include "soundfile/CodecRecordCheck.h"
#include "soundfile/WaveFormatFile.h"
#include "soundfile/WaveHeader.h"

namespace {

constexpr DWORD SOURCE_FRAMES = 8192;

} // namespace

LSNKACMFile::LSNKACMFile(const char* path, const WAVEFORMATEX& record)
    : LSoundSinkBase(static_cast<int32_t>(record.nSamplesPerSec), static_cast<uint8_t>(record.nChannels))
{
    // A record of no channels or no rate is one no codec can be fed; one
    // whose blocks are not the codec's own would make it misjudge its output.
    if (bError || !IsWholeRecord(record))
    {
        bError = 1;
        return;
    }
    const size_t recordSize = WAVE_RECORD_BASE_SIZE + record.cbSize;
    LWaveFormatRecord whole = {};
    memcpy(whole.bytes, &record, recordSize);
    if (!LWaveFileFormat::TestSupportedRecord(whole))
    {
        bError = 1;
        return;
    }
    pRecord.reset(new uint8_t[recordSize]);
    memcpy(pRecord.get(), &record, recordSize);

    uint8_t pcmRecord[WAVE_RECORD_BASE_SIZE];
    MakePcmRecord(pcmRecord, nChannels, static_cast<uint32_t>(nSampleRate), 2);
    WAVEFORMATEX pcm;
    memcpy(&pcm, pcmRecord, sizeof(pcm));
    WAVEFORMATEX* target = reinterpret_cast<WAVEFORMATEX*>(pRecord.get());
    if (acmStreamOpen(&hStream, nullptr, &pcm, target, nullptr, 0, 0, 0) != MMSYSERR_NOERROR
        && acmStreamOpen(&hStream, nullptr, &pcm, target, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME)
               != MMSYSERR_NOERROR)
    {
        hStream = nullptr;
        bError = 1;
        return;
    }

    nSourceSize = pcm.nBlockAlign * SOURCE_FRAMES;
    DWORD reported = 0;
    if (acmStreamSize(hStream, nSourceSize, &reported, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR)
        reported = 0;
    nDestinationSize = CodecDestinationSize(reported);
    if (nDestinationSize == 0)
    {
        bError = 1;
        return;
    }
    // The PCM one block of the codec's output is made from; 0 when the codec
    // does not say.
    if (acmStreamSize(hStream, target->nBlockAlign, &nSourceBlock, ACM_STREAMSIZEF_DESTINATION) != MMSYSERR_NOERROR)
        nSourceBlock = 0;
    pSource.reset(new uint8_t[nSourceSize]);
    pDestination.reset(new uint8_t[nDestinationSize]);
    Header.cbStruct = sizeof(Header);
    Header.pbSrc = pSource.get();
    Header.cbSrcLength = nSourceSize;
    Header.pbDst = pDestination.get();
    Header.cbDstLength = nDestinationSize;
    if (acmStreamPrepareHeader(hStream, &Header, 0) != MMSYSERR_NOERROR)
    {
        bError = 1;
        return;
    }
    bPrepared = true;
    Header.cbSrcLength = 0;

    if (!file.Open(path, FILE_SHARE_READ, CREATE_ALWAYS))
    {
        bError = 1;
        return;
    }
    const std::vector<uint8_t> header = MakeHeader(WAVE_SIZE_UNKNOWN);
    WriteBytes(header.data(), static_cast<DWORD>(header.size()));
}

LSNKACMFile::~LSNKACMFile() { Finish(); }

void LSNKACMFile::Write(const int32_t* frames, int count)
{
    nWritten += count;
    if (bError)
        return;
    if (!file.IsOpen())
    {
        bError = 1;
        return;
    }
    int remaining = count * nChannels;
    while (remaining > 0)
    {
        const int room = static_cast<int>((nSourceSize - Header.cbSrcLength) / 2);
        const int n = remaining < room ? remaining : room;
        SamplesTo16LE(frames, n, pSource.get() + Header.cbSrcLength);
        frames += n;
        remaining -= n;
        Header.cbSrcLength += static_cast<DWORD>(n) * 2;
        const bool bFull = Header.cbSrcLength == nSourceSize;
        if (!Convert(ACM_STREAMCONVERTF_BLOCKALIGN))
            return;
        if (bFull && Header.cbSrcLengthUsed == 0)
        {
            bError = 1;
            return;
        }
        memmove(pSource.get(), pSource.get() + Header.cbSrcLengthUsed, Header.cbSrcLength - Header.cbSrcLengthUsed);
        Header.cbSrcLength -= Header.cbSrcLengthUsed;
    }
}

void LSNKACMFile::Finish()
{
    if (hStream)
    {
        if (bPrepared && file.IsOpen())
        {
            PadLastBlock();
            Convert(ACM_STREAMCONVERTF_END);
        }
        if (bPrepared)
        {
            Header.cbSrcLength = nSourceSize;
            Header.cbDstLength = nDestinationSize;
            if (acmStreamUnprepareHeader(hStream, &Header, 0) != MMSYSERR_NOERROR)
                bError = 1;
            bPrepared = false;
        }
        if (acmStreamClose(hStream, 0) != MMSYSERR_NOERROR)
            bError = 1;
        hStream = nullptr;
    }
    if (!file.IsOpen())
        return;
    const std::vector<uint8_t> header = MakeHeader(nTotal);
    if (!file.Finish(header.data(), static_cast<DWORD>(header.size())))
        bError = 1;
}

void LSNKACMFile::PadLastBlock()
{
    if (nSourceBlock == 0)
        return;
    const DWORD partial = Header.cbSrcLength % nSourceBlock;
    if (partial == 0 || Header.cbSrcLength - partial + nSourceBlock > nSourceSize)
        return;
    memset(pSource.get() + Header.cbSrcLength, 0, nSourceBlock - partial);
    Header.cbSrcLength += nSourceBlock - partial;
}

bool LSNKACMFile::Convert(DWORD flags)
{
    Header.cbSrcLengthUsed = 0;
    Header.cbDstLengthUsed = 0;
    if (acmStreamConvert(hStream, &Header, flags) != MMSYSERR_NOERROR
        || !IsConversionInside(Header.cbDstLengthUsed, nDestinationSize))
    {
        bError = 1;
        return false;
    }
    WriteBytes(pDestination.get(), Header.cbDstLengthUsed);
    nTotal += Header.cbDstLengthUsed;
    return true;
}

void LSNKACMFile::WriteBytes(const void* bytes, DWORD size)
{
    if (!file.Write(bytes, size))
        bError = 1;
}

std::vector<uint8_t> LSNKACMFile::MakeHeader(uint32_t dataSize) const
{
    std::vector<uint8_t> header(WaveHeaderSize(WaveRecordExtraSize(pRecord.get())));
    MakeWaveHeader(header.data(), pRecord.get(), dataSize);
    return header;
}
