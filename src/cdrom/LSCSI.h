// Carries SCSI command blocks to one CD-ROM drive, over the ASPI for Win32
// manager or over SCSI pass-through on the drive's device handle. Drives are
// numbered 0, 1, 2 ... in the order the back end finds them.
#pragma once

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include "cdrom/AspiRecords.h"
#include "jobs/LJobControl.h"

// The pass-through record: the request, then a sense buffer (at offset 48 in
// the 32-bit program).
struct SPTDWithSense
{
    SCSI_PASS_THROUGH_DIRECT Sptd;
    ULONG nFiller;
    UCHAR ucSenseBuf[32];
};
#ifndef _WIN64
static_assert(sizeof(SPTDWithSense) == 80, "pass-through record with sense");
#endif

// What the drive writes into while a command is in flight. It lives on the
// heap so that it can outlive its LSCSI when a request will not finish.
struct LSCSIRequest
{
    OVERLAPPED Overlapped;  // its event signals the completion of every command
    SRB_ExecSCSICmd Srb;
    SPTDWithSense Sptd;
};

// Back end: -1 not decided yet, 0 pass-through, 1 ASPI.
extern int UseASPI32;

class LSCSI
{
public:
    LSCSI();
    // Cancels a command still in flight and waits for it (see CancelOutstanding).
    ~LSCSI();
    LSCSI(const LSCSI&) = delete;
    LSCSI& operator=(const LSCSI&) = delete;

    static bool _UseASPI32Detect();
    // Support-info result (adapter count in the low byte); 0 without ASPI.
    static DWORD GetASPIAdapterCount();
    static BYTE GetASPIDeviceType(BYTE adapter, BYTE target, BYTE lun);
    static BYTE GetCDROMDriveCount();

    bool OpenCDROMDrive(BYTE index);
    bool OpenASPI32(BYTE adapter, BYTE target, BYTE lun);
    bool OpenSPTD(const char* root);
    void Close();

    // The completion event of every command. It is not reset when a command
    // is issued (a round trip to the system per command), so it may still be
    // set by an earlier one: whether a command is in flight is its request's
    // status (CommandPending), and ProcessSCSIWaitForCommand waits for it.
    HANDLE CompletionEvent() const { return pRequest->Overlapped.hEvent; }
    // True while the command last issued has not completed.
    bool CommandPending() const;

    // Makes sure no command is in flight any more: a command that did not
    // complete (a time-out, a stop) is aborted and waited for, up to 5 s,
    // through `job`, so that a progress window keeps painting meanwhile; a
    // stop of the job does not shorten that wait. False when the command
    // still did not complete; the data buffer it was given must then never
    // be freed, because the drive may still write into it. The wait happens
    // once: having given up, later calls (the destructor's too) give up at
    // once, the request block being the drive's from then on.
    bool CancelOutstanding(LJobControl& job);

    BYTE nAdapter = 0;
    BYTE nTarget = 0;
    BYTE nLun = 0;
    HANDLE hDevice = INVALID_HANDLE_VALUE;
    LSCSIRequest* pRequest;

private:
    // A command was aborted and waited for in vain.
    bool bGivenUp = false;

    // Walks the CD-ROM drives in numbering order, opening drive `wanted` when
    // `scsi` is given; returns how many drives were walked.
    static int WalkCDROMDrives(int wanted, LSCSI* scsi);
};

// Issues one command without waiting: Done when it is pending or complete,
// Failed when it was refused (the completion event is then signalled and the
// command is not pending).
ProcessResult ProcessSCSIExecuteCommandAsync(LJobControl& job, LSCSI& scsi, const BYTE* cdb, bool bDataOut,
                                             DWORD nBufLen, void* pBuf, BYTE nCdbLen);
// Waits up to `timeoutMs` for the command in flight to complete: Done when it
// has (whether it succeeded, ProcessSCSIExecuteCommandAsyncWait tells),
// Stopped when the job was stopped meanwhile, Failed on time-out. Its status
// is looked at before the event and again after each wake-up, so a signal an
// earlier command left, or sets late, never ends this command's wait.
ProcessResult ProcessSCSIWaitForCommand(LJobControl& job, LSCSI& scsi, DWORD timeoutMs);
// After the command completed: Done when it succeeded, else Failed.
ProcessResult ProcessSCSIExecuteCommandAsyncWait(LJobControl& job, LSCSI& scsi);
// The sense key (SPC: 3 MEDIUM ERROR, 5 ILLEGAL REQUEST, ...) of the command
// that last completed with CHECK CONDITION; 0 (NO SENSE) for one that did not.
BYTE SCSISenseKey(const LSCSI& scsi);
// Issues one command and waits up to `nTimeOutMs` for it, reissuing it every
// 500 ms while an ASPI drive reports BUSY, until that budget is spent.
ProcessResult ProcessSCSIExecuteCommand(LJobControl& job, LSCSI& scsi, const BYTE* cdb, bool bDataOut,
                                        DWORD nTimeOutMs, DWORD nBufLen, void* pBuf, BYTE nCdbLen);
