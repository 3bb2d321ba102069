// Writes blocks into a pipe on a worker thread. A reader that stops reading
// blocks the worker, never the caller: the caller waits for the worker
// through its job, so the window answers and Cancel works, or with a time-out.
#pragma once

#include <windows.h>

#include <cstdint>

#include "jobs/LJobControl.h"
#include "jobs/LThread.h"

class PipeFeeder : public LThread
{
public:
    PipeFeeder() = default;
    // Closes the pipe as Close does.
    ~PipeFeeder() override;

    // Takes the pipe's write end `pipe` (closed by Close from now on) and
    // starts the worker, with two blocks of `blockBytes`. False, with the
    // pipe closed, when the worker cannot start.
    bool Open(HANDLE pipe, DWORD blockBytes);
    bool IsOpen() const { return hPipe != nullptr; }

    // The block the next Send hands over.
    uint8_t* Buffer() { return buffers[iFront]; }
    // Waits until the worker has written the block before, then hands it the
    // first `size` bytes of Buffer(): Done; Stopped when `job` (null: none)
    // was stopped first; Failed when the worker was still writing after
    // `timeoutMs` or a write failed (the reader has gone).
    ProcessResult Send(DWORD size, LJobControl* job, unsigned timeoutMs);
    // Waits as Send does until every block sent is written.
    ProcessResult Drain(LJobControl* job, unsigned timeoutMs);
    // True while the worker is writing a block: the reader has not yet
    // taken it.
    bool IsBusy() const { return hIdle && WaitForSingleObject(hIdle, 0) != WAIT_OBJECT_0; }
    // Ends the worker and closes the pipe, which ends the reader's input. A
    // write still in flight is waited for: the caller first lets it end, by
    // Drain or by ending the reader.
    void Close();

protected:
    void ThreadFunction() override;

private:
    HANDLE hPipe = nullptr;
    HANDLE hWork = nullptr;  // auto-reset: a block waits for the worker
    HANDLE hIdle = nullptr;  // manual-reset: no block is being written
    uint8_t* buffers[2] = {};
    int iFront = 0;
    // The block the worker writes, and whether a write has failed.
    const uint8_t* pBack = nullptr;
    DWORD nBackBytes = 0;
    volatile LONG bFailed = 0;
};
