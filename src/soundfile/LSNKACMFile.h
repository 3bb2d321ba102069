// The compressed-WAV sink: the audio goes as 16-bit PCM, at the channels and
// rate of the chosen wave-format record, through the audio compression
// manager into the codec's format, and the codec's output makes the "data"
// chunk of a file whose "fmt " block is the record itself.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <memory>
#include <vector>

#include "sound/LSoundStream.h"
#include "soundfile/WaveFileWriter.h"

class LSNKACMFile : public LSoundSinkBase
{
public:
    // `record` is followed by its cbSize codec bytes, as in LWaveFormatRecord.
    // The codec's stream is opened before the file is created, so that a
    // format no codec writes, or a record that disagrees with its codec's
    // suggestion (LWaveFileFormat::TestSupportedRecord), leaves no file and
    // an older one untouched; that, and a file that cannot be created, set
    // bError.
    LSNKACMFile(const char* path, const WAVEFORMATEX& record);
    // Finishes the file if that has not been done.
    ~LSNKACMFile() override;
    LSNKACMFile(const LSNKACMFile&) = delete;
    LSNKACMFile& operator=(const LSNKACMFile&) = delete;

    // Converts whole codec blocks as the source buffer fills; the rest waits
    // for the next write or for Finish. A codec that takes nothing from a
    // full buffer sets bError, since the rest of the write would be lost.
    void Write(const int32_t* frames, int count) override;
    // A codec's output cannot be cut back: the file keeps what it has.
    void Seek(int) override {}
    // Converts what the source buffer holds with the end flag, its last
    // block completed with silence, writes it, rewrites the header with the
    // sizes and closes the file; any failure of these sets bError.
    void Finish() override;

private:
    // Silence up to the codec's next whole block: codecs that convert whole
    // blocks only would drop the end of the audio even with the end flag.
    void PadLastBlock();
    // One conversion of the source buffer; its output goes to the file. A
    // conversion that says it wrote past the destination fails the file.
    bool Convert(DWORD flags);
    void WriteBytes(const void* bytes, DWORD size);
    std::vector<uint8_t> MakeHeader(uint32_t dataSize) const;

    WaveFileWriter file;
    std::unique_ptr<uint8_t[]> pRecord;  // 18 + cbSize bytes
    HACMSTREAM hStream = nullptr;
    // Its cbSrcLength is what the source buffer holds between conversions.
    ACMSTREAMHEADER Header = {};
    bool bPrepared = false;
    std::unique_ptr<uint8_t[]> pSource;
    std::unique_ptr<uint8_t[]> pDestination;
    DWORD nSourceSize = 0;       // 8192 frames of 16-bit PCM
    DWORD nDestinationSize = 0;  // what the codec makes of a full source buffer at most, with room to spare
    DWORD nSourceBlock = 0;      // the PCM bytes of one block of codec output, or 0
    uint32_t nTotal = 0;         // codec bytes written
};
