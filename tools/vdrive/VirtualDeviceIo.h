// The pass-through seam pointed at virtual drives: drive letters of chosen
// types, and for CD-ROM letters a VirtualDrive that answers the pass-through
// and eject/load control calls asynchronously, as a driver does.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "cdrom/LDeviceIo.h"
#include "vdrive/CommandQueue.h"
#include "vdrive/VirtualDrive.h"

class VirtualDeviceIo : public LDeviceIo
{
public:
    // Adds drive letter `letter` of `driveType`; a CD-ROM letter serves `config`.
    void AddDrive(char letter, UINT driveType, const DriveConfig& config = DriveConfig());

    DWORD LogicalDriveStrings(DWORD bufferLength, char* buffer) override;
    UINT DriveType(const char* root) override;
    HANDLE OpenDevice(const char* path, DWORD access, DWORD shareMode, DWORD flags) override;
    BOOL Control(HANDLE hDevice, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned,
                 OVERLAPPED* overlapped) override;
    BOOL Cancel(HANDLE hDevice) override;
    BOOL CloseDevice(HANDLE hDevice) override;

    // Reads of a sector by the drive at `letter` (zeros for no such drive).
    SectorReadCount ReadCount(char letter, int64_t sector);

    // Commands issued that have neither completed nor been cancelled.
    int PendingCommands() { return queue.PendingCount(); }

    std::atomic<int> nControlCalls{0};
    std::string lastOpenedPath;

    // What a test does as each command is issued (counted from 1), on the
    // issuing thread once the command is queued: stop or cancel the job at a
    // known point of its work, for example.
    std::function<void(int iCommand)> onIssue;
    // Commands, by the same count, that do not complete, as with a drive that
    // stopped answering: only a cancel, or ReleaseHeldCommands, ends them.
    std::set<int> heldCommands;
    // Commands that completed into their requests.
    std::atomic<int> nCompleted{0};

    // Cancel calls made, and what a test does as each is made, on the
    // calling thread, before the drive answers it.
    std::atomic<int> nCancels{0};
    std::function<void()> onCancel;
    // The drive ignores cancels, as one that lost track of its requests: a
    // held command then stays in flight until it is released.
    bool bCancelIgnored = false;
    // Each command's completion signals again, late: as the handle's next
    // command is issued, the event of the one before is set once more while
    // the new one is still in flight.
    bool bSignalsLate = false;
    // The held commands run now and complete, as when the drive answers again.
    void ReleaseHeldCommands() { queue.ReleaseHeld(); }

private:
    struct Letter
    {
        UINT driveType;
        std::unique_ptr<VirtualDrive> drive;
    };
    VirtualDrive* DriveOf(HANDLE hDevice);

    std::map<char, Letter> letters;
    std::map<HANDLE, OVERLAPPED*> inFlight;  // the request each handle has in flight
    std::string errors;
    int nIssued = 0;
    CommandQueue queue;  // last: stopped before the drives go
};
