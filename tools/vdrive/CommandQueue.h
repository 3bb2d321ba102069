// Completes a virtual drive's commands on a worker thread, each at its due
// time (later by the delay its result asks for, as a drive's retries take), as
// a drive does. A command that hangs stays pending until it is
// aborted. The queue's lock and wake-up are Win32's slim lock and condition
// variable, which meet the issuing thread without a round trip to the system
// when nobody waits.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <list>
#include <memory>

#include "vdrive/VirtualDrive.h"

class CommandQueue
{
public:
    using Completion = std::function<void(const CommandResult&)>;

    CommandQueue();
    ~CommandQueue();
    CommandQueue(const CommandQueue&) = delete;
    CommandQueue& operator=(const CommandQueue&) = delete;

    // Queues a command for `drive`; `complete` runs on the worker, with the
    // queue locked, once the command has run. The command block is copied;
    // `data` must stay valid until completion or a successful Abort. A held
    // command does not run until ReleaseHeld; otherwise only Abort ends it.
    void Submit(const void* key, VirtualDrive& drive, const uint8_t* cdb, int cdbLength, uint8_t* data,
                uint32_t dataLength, Completion complete, bool bHold = false);

    // Takes the pending command with `key` out of the queue: true when there
    // was one. After Abort returns, no completion runs for it.
    bool Abort(const void* key);

    // Held commands, and those that hung, run now (a read that hangs hangs again).
    void ReleaseHeld();

    // A sector's reads by `drive`, counted on the worker.
    SectorReadCount ReadCount(const VirtualDrive& drive, int64_t sector);

    // Commands queued that have neither completed nor been aborted.
    int PendingCount();

private:
    struct Pending;
    static DWORD WINAPI RunWorker(void* queue);
    void Run();

    SRWLOCK lock;
    CONDITION_VARIABLE wake;
    std::list<std::unique_ptr<Pending>> pending;
    bool bStopping = false;
    HANDLE hWorker;
};
