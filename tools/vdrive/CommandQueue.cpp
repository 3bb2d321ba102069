// The slim lock and condition variable came with Windows Vista; the program
// itself is built for older systems and never uses them.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600

#include "vdrive/CommandQueue.h"

#include <cstring>

namespace {

// Microseconds on a clock that does not go back; the tick count moves in
// steps of many milliseconds, coarser than a drive's delay.
uint64_t NowUs()
{
    static const uint64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<uint64_t>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const uint64_t ticks = static_cast<uint64_t>(now.QuadPart);
    return ticks / frequency * 1000000 + ticks % frequency * 1000000 / frequency;
}

// The queue's lock for one scope.
class Locked
{
public:
    explicit Locked(SRWLOCK& lock) : lock(lock) { AcquireSRWLockExclusive(&lock); }
    ~Locked() { ReleaseSRWLockExclusive(&lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    SRWLOCK& lock;
};

} // namespace

struct CommandQueue::Pending
{
    const void* key;
    VirtualDrive* drive;
    uint8_t cdb[16];
    int cdbLength;
    uint8_t* data;
    uint32_t dataLength;
    Completion complete;
    uint64_t dueUs;
    bool bHung;
    bool bRan;  // run, its completion put off by the result's delay
    CommandResult result;
};

CommandQueue::CommandQueue()
{
    InitializeSRWLock(&lock);
    InitializeConditionVariable(&wake);
    hWorker = CreateThread(nullptr, 0, RunWorker, this, 0, nullptr);
}

CommandQueue::~CommandQueue()
{
    {
        Locked locked(lock);
        bStopping = true;
    }
    WakeAllConditionVariable(&wake);
    if (hWorker)
    {
        WaitForSingleObject(hWorker, INFINITE);
        CloseHandle(hWorker);
    }
}

void CommandQueue::Submit(const void* key, VirtualDrive& drive, const uint8_t* cdb, int cdbLength, uint8_t* data,
                          uint32_t dataLength, Completion complete, bool bHold)
{
    auto command = std::make_unique<Pending>();
    command->key = key;
    command->drive = &drive;
    command->cdbLength = cdbLength < 16 ? cdbLength : 16;
    memcpy(command->cdb, cdb, command->cdbLength);
    command->data = data;
    command->dataLength = dataLength;
    command->complete = std::move(complete);
    command->dueUs = NowUs() + static_cast<uint64_t>(drive.Config().delayMs) * 1000;
    command->bHung = bHold;
    command->bRan = false;
    {
        Locked locked(lock);
        pending.push_back(std::move(command));
    }
    WakeConditionVariable(&wake);
}

bool CommandQueue::Abort(const void* key)
{
    Locked locked(lock);
    for (auto it = pending.begin(); it != pending.end(); ++it)
        if ((*it)->key == key)
        {
            pending.erase(it);
            return true;
        }
    return false;
}

void CommandQueue::ReleaseHeld()
{
    {
        Locked locked(lock);
        for (auto& command : pending)
            if (command->bHung)
            {
                command->bHung = false;
                command->dueUs = NowUs();
            }
    }
    WakeConditionVariable(&wake);
}

SectorReadCount CommandQueue::ReadCount(const VirtualDrive& drive, int64_t sector)
{
    Locked locked(lock);
    return drive.ReadCount(sector);
}

int CommandQueue::PendingCount()
{
    Locked locked(lock);
    return static_cast<int>(pending.size());
}

DWORD WINAPI CommandQueue::RunWorker(void* queue)
{
    static_cast<CommandQueue*>(queue)->Run();
    return 0;
}

void CommandQueue::Run()
{
    Locked locked(lock);
    while (!bStopping)
    {
        // The earliest command that is due and not hung.
        auto next = pending.end();
        for (auto it = pending.begin(); it != pending.end(); ++it)
            if (!(*it)->bHung && (next == pending.end() || (*it)->dueUs < (*next)->dueUs))
                next = it;
        if (next == pending.end())
        {
            SleepConditionVariableSRW(&wake, &lock, INFINITE, 0);
            continue;
        }
        const uint64_t now = NowUs();
        if ((*next)->dueUs > now)
        {
            // Rounded up: waking early would only wait again.
            const uint64_t ms = ((*next)->dueUs - now + 999) / 1000;
            SleepConditionVariableSRW(&wake, &lock, static_cast<DWORD>(ms), 0);
            continue;
        }
        Pending& command = **next;
        if (!command.bRan)
        {
            command.result = command.drive->Execute(command.cdb, command.cdbLength, command.data,
                                                    command.dataLength);
            if (command.result.bHang)
            {
                command.bHung = true;
                continue;
            }
            command.bRan = true;
            if (command.result.delayMs > 0)
            {
                command.dueUs = now + static_cast<uint64_t>(command.result.delayMs) * 1000;
                continue;
            }
        }
        command.complete(command.result);
        pending.erase(next);
    }
}
