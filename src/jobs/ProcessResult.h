// The result of every job and of every step inside a job that can wait, fail
// or be stopped.
#pragma once

enum ProcessResult
{
    Done = 0,     // the operation completed
    Stopped = 1,  // the job was stopped (Cancel, or a worker's stop signal)
    Failed = 2,   // the operation failed or timed out
};
