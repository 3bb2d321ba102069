#include "soundfile/LMP3EncodePipe.h"

#include "settings/SettingsStore.h"
#include "sound/LSinkConvertRate.h"
#include "sound/SampleBlocks.h"
#include "sound/SampleFormat.h"
#include "soundfile/LFlacFile.h"

namespace {

// About 6 s of CD audio: the encoder keeps working while the rip waits on
// the drive, so the rip takes no longer than the encoding. (32 KiB, 0.19 s,
// left the encoder idle at every read: the rip took 12 % longer.)
constexpr DWORD PIPE_BUFFER_BYTES = 1 << 20;
constexpr DWORD DESTRUCTOR_WAIT_MS = 5000;
// The tail of a track takes the encoder well under a second; a minute means
// it hangs.
constexpr unsigned FINISH_WAIT_MS = 60000;
// An encoder that takes no block for this long hangs.
constexpr unsigned WRITE_WAIT_MS = 60000;
// An encoder told its input has ended early gives up within this, and cleans
// up after itself; one that does not is terminated, so that Cancel ends it
// within a second.
constexpr DWORD ABORT_GRACE_MS = 500;
constexpr DWORD TERMINATE_WAIT_MS = 5000;

} // namespace

void ReadMp3EncoderPath(char (&path)[TEXT_BUFFER_SIZE])
{
    ReadRegistryString(HKEY_LOCAL_MACHINE, MP3_ENCODER_KEY, "Path", "", path);
}

LCountedPtr<LMP3EncodePipe> LMP3EncodePipe::OpenMp3Sink(const Mp3EncoderSettings& settings, const char* outputPath,
                                                        uint8_t channels, int32_t rate, const Mp3Tags* tags,
                                                        int64_t frames)
{
    int32_t inputRate = rate;
    uint8_t inputChannels = channels;
    ChooseMp3Input(settings, rate, channels, inputRate, inputChannels);
    // The rate converter in front of the encoder makes its own count.
    const int64_t inputFrames = frames < 0 ? -1 : ConvertedFrames(frames, rate, inputRate);
    return LCountedPtr<LMP3EncodePipe>(
        new LMP3EncodePipe(settings, outputPath, inputChannels, inputRate, tags, inputFrames));
}

LMP3EncodePipe::LMP3EncodePipe(const Mp3EncoderSettings& settings, const char* outputPath, uint8_t channels,
                               int32_t rate, const Mp3Tags* tags, int64_t frames)
    : LSoundSinkBase(rate, channels)
{
    szCommandLine[0] = '\0';
    // No channels: the base has flagged the sink, and no encoder may start.
    if (bError)
        return;
    char encoderPath[TEXT_BUFFER_SIZE];
    ReadMp3EncoderPath(encoderPath);
    // The command line is UTF-8, so that the tags keep every character.
    char encoderUtf8[FLAC_COMMENT_SIZE];
    char outputUtf8[FLAC_COMMENT_SIZE];
    AnsiToUtf8(encoderPath, encoderUtf8);
    AnsiToUtf8(outputPath, outputUtf8);
    if (encoderPath[0] == '\0'
        || !MakeMp3CommandLine(settings, encoderUtf8, nSampleRate, nChannels, outputUtf8, tags, szCommandLine,
                               sizeof(szCommandLine), frames))
    {
        bError = 1;
        return;
    }

    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, PIPE_BUFFER_BYTES))
    {
        bError = 1;
        return;
    }
    // Only the child may inherit the pipe: a write end it inherited would
    // keep its input open for ever.
    HANDLE ownEnd = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), writeEnd, GetCurrentProcess(), &ownEnd, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        ownEnd = nullptr;
    CloseHandle(writeEnd);

    ChildStart how;
    how.nShowState = SW_HIDE;
    how.bNewConsole = true;
    how.hStandardInput = readEnd;
    how.bUtf8CommandLine = true;
    const bool bStarted = ownEnd && encoder.Start(szCommandLine, how);
    CloseHandle(readEnd);
    if (!bStarted)
    {
        bError = 1;
        if (ownEnd)
            CloseHandle(ownEnd);
        return;
    }
    if (!input.Open(ownEnd, static_cast<DWORD>(BRIDGE_BLOCK_FRAMES) * nChannels * 2))
        Abort();
}

LMP3EncodePipe::~LMP3EncodePipe()
{
    // An encoder that has stopped reading would hold the worker for ever.
    if (input.Drain(nullptr, DESTRUCTOR_WAIT_MS) == Failed && input.IsBusy())
        encoder.Terminate(TERMINATE_WAIT_MS);
    CloseInput();
    encoder.WaitEnded(DESTRUCTOR_WAIT_MS);
}

void LMP3EncodePipe::Write(const int32_t* frames, int count)
{
    nWritten += count;
    // An encoder that has gone cannot take the rest: the track is lost.
    if (bError || !input.IsOpen())
    {
        bError = 1;
        return;
    }
    const int nSamples = count * nChannels;
    SamplesTo16LE(frames, nSamples, input.Buffer());
    if (input.Send(static_cast<DWORD>(nSamples) * 2, pJob, WRITE_WAIT_MS) != Done)
        bError = 1;
}

void LMP3EncodePipe::Finish()
{
    if (!encoder.IsStarted())
    {
        CloseInput();
        return;
    }
    if (input.Drain(nullptr, FINISH_WAIT_MS) == Failed && input.IsBusy())
    {
        Abort();
        return;
    }
    CloseInput();
    if (encoder.WaitEnded(FINISH_WAIT_MS))
        Ended();
    else
        Abort();
}

ProcessResult LMP3EncodePipe::Finish(LJobControl& job)
{
    if (!encoder.IsStarted())
    {
        CloseInput();
        return Done;
    }
    // The last blocks first. Stopped, or an encoder that takes nothing: it is
    // still running, for Abort.
    const ProcessResult drained = input.Drain(&job, FINISH_WAIT_MS);
    if (drained == Stopped || (drained == Failed && input.IsBusy()))
        return drained;
    if (drained == Failed)
        bError = 1;
    CloseInput();
    const ProcessResult r = encoder.Wait(job, FINISH_WAIT_MS);
    if (r == Done)
        Ended();
    return r;
}

void LMP3EncodePipe::Abort()
{
    bError = 1;
    if (!encoder.IsStarted())
    {
        CloseInput();
        return;
    }
    // A write in flight ends only when the encoder does.
    if (input.IsBusy())
        encoder.Terminate(TERMINATE_WAIT_MS);
    CloseInput();
    if (!encoder.WaitEnded(ABORT_GRACE_MS))
        encoder.Terminate(TERMINATE_WAIT_MS);
    encoder.Release();
}

void LMP3EncodePipe::CloseInput() { input.Close(); }

void LMP3EncodePipe::Ended()
{
    if (!encoder.EndedWithSuccess())
        bError = 1;
    encoder.Release();
}
