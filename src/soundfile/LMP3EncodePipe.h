// The MP3 sink: starts the encoder component as a child process and feeds it
// 16-bit PCM through a pipe on its standard input; the encoder writes the file.
// A worker writes into the pipe, so that an encoder that stops reading never
// blocks the window: a write waits for it through the job, which answers
// Cancel, and fails after a minute.
#pragma once

#include <windows.h>

#include "files/TextBuffer.h"
#include "jobs/ChildProcess.h"
#include "jobs/LJobControl.h"
#include "jobs/PipeFeeder.h"
#include "settings/RegistryKeys.h"
#include "sound/LSoundStream.h"
#include "soundfile/Mp3Encoder.h"

// The registered encoder's path; empty when the component is not installed.
void ReadMp3EncoderPath(char (&path)[TEXT_BUFFER_SIZE]);

class LMP3EncodePipe : public LSoundSinkBase
{
public:
    // The sink for what a job offers (`channels`, `rate`), fed as
    // ChooseMp3Input decides; converters put in front of it bridge the rest.
    // With `frames` (what the job offers, not negative) the encoder makes
    // its file only when all of them arrived.
    static LCountedPtr<LMP3EncodePipe> OpenMp3Sink(const Mp3EncoderSettings& settings, const char* outputPath,
                                                   uint8_t channels, int32_t rate, const Mp3Tags* tags = nullptr,
                                                   int64_t frames = -1);

    // Starts the encoder; bError when it is not registered or cannot start.
    // `frames` counts at `rate`; negative when not known. `outputPath` is in
    // the code page, `tags` in UTF-8: the encoder gets them whole.
    LMP3EncodePipe(const Mp3EncoderSettings& settings, const char* outputPath, uint8_t channels, int32_t rate,
                   const Mp3Tags* tags = nullptr, int64_t frames = -1);
    // Ends the input and gives the encoder 5 s to finish, unless Finish or
    // Abort has already ended it.
    ~LMP3EncodePipe() override;

    // The job the writes run under (null: none); a write that waits for the
    // encoder ends when the job is stopped, raising bError.
    void SetJob(LJobControl* job) { pJob = job; }
    // bError when the encoder has gone, the job was stopped, or the encoder
    // took no block for a minute.
    void Write(const int32_t* frames, int count) override;
    void Seek(int) override {}
    // Ends the input and waits for the encoder to finish the file: bError
    // unless it ended with exit code 0.
    void Finish() override;
    // The same, waiting through `job`: Stopped when the job is stopped
    // first, Failed when the encoder does not end in time. Either way the
    // encoder is then still running, for Abort.
    ProcessResult Finish(LJobControl& job);
    // Ends the encoder without counting its file: the input is closed and it
    // gets half a second to end by itself, else it is terminated; one that
    // has stopped reading is terminated at once. bError is set.
    void Abort();

    // The encoder's command line in UTF-8, for the record; empty when none was made.
    char szCommandLine[MP3_COMMAND_LINE_SIZE];

private:
    void CloseInput();
    // Takes the encoder's exit code once it has ended.
    void Ended();

    ChildProcess encoder;
    // Its blocks are 16-bit little-endian samples, as the encoder reads them.
    PipeFeeder input;
    LJobControl* pJob = nullptr;
};
