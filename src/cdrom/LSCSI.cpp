#include "cdrom/LSCSI.h"

#include <cstring>

#include "cdrom/LDeviceIo.h"
#include "files/TextBuffer.h"
#include "jobs/LWorkerJobControl.h"

int UseASPI32 = -1;

namespace {

SendASPI32CommandFunction SendASPI32Command;
GetASPI32SupportInfoFunction GetASPI32SupportInfo;

const BYTE SENSE_ALLOCATION_LENGTH = 14;
const ULONG PASS_THROUGH_TIMEOUT_S = 200;
const DWORD BUSY_RETRY_MS = 500;
// How long an aborted command may take to come back before its memory is
// given up for lost.
const DWORD CANCEL_WAIT_MS = 5000;

template <typename Function>
Function LookUp(HMODULE hModule, const char* name)
{
    // Through the generic function type, which any function pointer converts to.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(hModule, name)));
}

} // namespace

LSCSI::LSCSI() : pRequest(new LSCSIRequest())
{
    pRequest->Overlapped.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    // SS_PENDING is 0: a request block that never carried a command must not
    // look as if one were in flight.
    pRequest->Srb.SRB_Status = SS_COMP;
}

LSCSI::~LSCSI()
{
    // No job runs here to wait through.
    const LSignalObject neverStopped;
    LWorkerJobControl plainWait(neverStopped);
    const bool bIdle = CancelOutstanding(plainWait);
    Close();
    if (bIdle)
    {
        CloseHandle(pRequest->Overlapped.hEvent);
        delete pRequest;
    }
    // Otherwise the request block and its event stay: the drive still owns them.
}

bool LSCSI::_UseASPI32Detect()
{
    if (UseASPI32 == 0 || UseASPI32 == 1)
        return UseASPI32 == 1;
    UseASPI32 = 0;
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    version.dwPlatformId = VER_PLATFORM_WIN32_NT;  // a failed call counts as NT
    GetVersionExA(&version);
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT)
        return false;
    if (HMODULE hAspi = LoadLibraryA("WNASPI32"))
    {
        SendASPI32Command = LookUp<SendASPI32CommandFunction>(hAspi, "SendASPI32Command");
        GetASPI32SupportInfo = LookUp<GetASPI32SupportInfoFunction>(hAspi, "GetASPI32SupportInfo");
        if (SendASPI32Command && GetASPI32SupportInfo)
            UseASPI32 = 1;
    }
    return UseASPI32 == 1;
}

DWORD LSCSI::GetASPIAdapterCount()
{
    if (!_UseASPI32Detect())
        return 0;
    const DWORD info = GetASPI32SupportInfo();
    return ((info >> 8) & 0xFF) == SS_COMP ? info : 0;
}

BYTE LSCSI::GetASPIDeviceType(BYTE adapter, BYTE target, BYTE lun)
{
    SRB_GDEVBlock device = {};
    device.SRB_Cmd = SC_GET_DEV_TYPE;
    device.SRB_Status = 0xFF;
    device.SRB_HaId = adapter;
    device.SRB_Target = target;
    device.SRB_Lun = lun;
    device.SRB_DeviceType = DTYPE_UNKNOWN;
    SendASPI32Command(&device);
    return device.SRB_DeviceType;
}

int LSCSI::WalkCDROMDrives(int wanted, LSCSI* scsi)
{
    int nFound = 0;
    if (_UseASPI32Detect())
    {
        const int nAdapters = GetASPIAdapterCount() & 0xFF;
        for (int adapter = 0; adapter < nAdapters; ++adapter)
            for (int target = 0; target < 7; ++target)  // target 7 is the host adapter's own id
                for (int lun = 0; lun < 8; ++lun)
                {
                    if (GetASPIDeviceType(adapter, target, lun) != DTYPE_CDROM)
                        continue;
                    if (nFound++ == wanted)
                        return scsi->OpenASPI32(adapter, target, lun) ? nFound : 0;
                }
        return nFound;
    }
    char roots[512] = {};
    DeviceIo().LogicalDriveStrings(sizeof(roots) - 1, roots);
    roots[sizeof(roots) - 2] = '\0';
    roots[sizeof(roots) - 1] = '\0';
    for (const char* root = roots; *root != '\0'; root += strlen(root) + 1)
    {
        if (DeviceIo().DriveType(root) != DRIVE_CDROM)
            continue;
        if (nFound++ == wanted)
            return scsi->OpenSPTD(root) ? nFound : 0;
    }
    return nFound;
}

BYTE LSCSI::GetCDROMDriveCount()
{
    return static_cast<BYTE>(WalkCDROMDrives(-1, nullptr));
}

bool LSCSI::OpenCDROMDrive(BYTE index)
{
    return WalkCDROMDrives(index, this) == index + 1;
}

bool LSCSI::OpenASPI32(BYTE adapter, BYTE target, BYTE lun)
{
    nAdapter = adapter;
    nTarget = target;
    nLun = lun;
    return true;
}

bool LSCSI::OpenSPTD(const char* root)
{
    Close();
    char path[TEXT_BUFFER_SIZE];
    size_t n = FormatText(path, sizeof(path), "\\\\.\\%s", root);
    if (n > 0 && path[n - 1] == '\\')
        path[n - 1] = '\0';
    hDevice = DeviceIo().OpenDevice(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    FILE_FLAG_OVERLAPPED);
    return hDevice != INVALID_HANDLE_VALUE;
}

void LSCSI::Close()
{
    if (hDevice != INVALID_HANDLE_VALUE)
        DeviceIo().CloseDevice(hDevice);
    hDevice = INVALID_HANDLE_VALUE;
}

bool LSCSI::CommandPending() const
{
    // The manager or the driver writes the status last, on its own thread,
    // after the data: read with acquire order, it tells that the data is there.
    if (UseASPI32 == 1)
        return __atomic_load_n(&pRequest->Srb.SRB_Status, __ATOMIC_ACQUIRE) == SS_PENDING;
    return __atomic_load_n(&pRequest->Overlapped.Internal, __ATOMIC_ACQUIRE) == STATUS_PENDING;
}

bool LSCSI::CancelOutstanding(LJobControl& job)
{
    if (!CompletionEvent() || !CommandPending())
        return true;
    if (bGivenUp)
        return false;
    if (UseASPI32 == 1)
    {
        SRB_Abort abort = {};
        abort.SRB_Cmd = SC_ABORT_SRB;
        abort.SRB_HaId = nAdapter;
        abort.SRB_ToAbort = &pRequest->Srb;
        SendASPI32Command(&abort);
    }
    else if (hDevice != INVALID_HANDLE_VALUE)
        DeviceIo().Cancel(hDevice);
    // A stopped job ends its waits at once (Cancel may have been pressed
    // before or during this one), but the drive may still write into the
    // buffers: the rest of the time is waited for all the same.
    const DWORD start = GetTickCount();
    ProcessResult r = ProcessSCSIWaitForCommand(job, *this, CANCEL_WAIT_MS);
    if (r == Stopped)
    {
        const DWORD elapsed = GetTickCount() - start;
        const DWORD remaining = elapsed < CANCEL_WAIT_MS ? CANCEL_WAIT_MS - elapsed : 0;
        const LSignalObject neverStopped;
        LWorkerJobControl plainWait(neverStopped);
        r = ProcessSCSIWaitForCommand(plainWait, *this, remaining);
    }
    bGivenUp = r != Done;
    return !bGivenUp;
}

ProcessResult ProcessSCSIExecuteCommandAsync(LJobControl&, LSCSI& scsi, const BYTE* cdb, bool bDataOut,
                                             DWORD nBufLen, void* pBuf, BYTE nCdbLen)
{
    LSCSIRequest& request = *scsi.pRequest;
    HANDLE hEvent = request.Overlapped.hEvent;
    if (nCdbLen > 16)
        nCdbLen = 16;
    if (LSCSI::_UseASPI32Detect())
    {
        SRB_ExecSCSICmd& srb = request.Srb;
        memset(&srb, 0, sizeof(srb));
        srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
        srb.SRB_Status = SS_ERR;
        srb.SRB_HaId = scsi.nAdapter;
        srb.SRB_Flags = SRB_EVENT_NOTIFY | (bDataOut ? SRB_DIR_OUT : SRB_DIR_IN);
        srb.SRB_Target = scsi.nTarget;
        srb.SRB_Lun = scsi.nLun;
        srb.SRB_BufLen = nBufLen;
        srb.SRB_BufPointer = static_cast<BYTE*>(pBuf);
        srb.SRB_SenseLen = SENSE_ALLOCATION_LENGTH;
        srb.SRB_CDBLen = nCdbLen;
        srb.SRB_PostProc = hEvent;
        memcpy(srb.CDBByte, cdb, nCdbLen);
        const DWORD r = SendASPI32Command(&srb);
        // A pending command belongs to the manager's thread from here on: its
        // status is read only after the event. One the manager finished at once
        // (or refused) gets the event set here.
        if (r == SS_PENDING)
            return Done;
        SetEvent(hEvent);
        return r == SS_ERR || srb.SRB_Status == SS_ERR ? Failed : Done;
    }

    SPTDWithSense& record = request.Sptd;
    memset(&record, 0, sizeof(record));
    SCSI_PASS_THROUGH_DIRECT& sptd = record.Sptd;
    sptd.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
    sptd.CdbLength = nCdbLen;
    sptd.SenseInfoLength = SENSE_ALLOCATION_LENGTH;
    sptd.DataIn = bDataOut ? SCSI_IOCTL_DATA_OUT : SCSI_IOCTL_DATA_IN;
    sptd.DataTransferLength = nBufLen;
    sptd.TimeOutValue = PASS_THROUGH_TIMEOUT_S;
    sptd.DataBuffer = pBuf;
    sptd.SenseInfoOffset = offsetof(SPTDWithSense, ucSenseBuf);
    memcpy(sptd.Cdb, cdb, nCdbLen);
    DWORD returned = 0;
    if (DeviceIo().Control(scsi.hDevice, IOCTL_SCSI_PASS_THROUGH_DIRECT, &record, sizeof(record), &record,
                           sizeof(record), &returned, &request.Overlapped))
    {
        SetEvent(hEvent);
        return Done;
    }
    if (GetLastError() == ERROR_IO_PENDING)
        return Done;
    SetEvent(hEvent);
    return Failed;
}

ProcessResult ProcessSCSIWaitForCommand(LJobControl& job, LSCSI& scsi, DWORD timeoutMs)
{
    HANDLE hEvent = scsi.CompletionEvent();
    const DWORD start = GetTickCount();
    for (;;)
    {
        // Most reads have completed by the time they are waited for.
        if (!scsi.CommandPending())
            return Done;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return Failed;
        const ProcessResult r = job.WaitForHandle(hEvent, timeoutMs - elapsed);
        if (r != Done)
            return r;
        if (!scsi.CommandPending())
            return Done;
        // Woken by a signal an earlier command left: reset, and the status is
        // looked at again before sleeping, since the completion writes it
        // before it sets the event.
        ResetEvent(hEvent);
    }
}

ProcessResult ProcessSCSIExecuteCommandAsyncWait(LJobControl&, LSCSI& scsi)
{
    const LSCSIRequest& request = *scsi.pRequest;
    // Only a command the manager completed (SS_COMP), or the driver carried out
    // (status 0) with good SCSI status, delivered its data.
    if (UseASPI32 == 1)
        return request.Srb.SRB_Status == SS_COMP ? Done : Failed;
    return request.Overlapped.Internal != 0 || request.Sptd.Sptd.ScsiStatus != 0 ? Failed : Done;
}

BYTE SCSISenseKey(const LSCSI& scsi)
{
    const LSCSIRequest& request = *scsi.pRequest;
    const BYTE checkCondition = 0x02;
    // Fixed-format sense data: the key in the low nibble of byte 2.
    if (UseASPI32 == 1)
        return request.Srb.SRB_TargStat == checkCondition ? request.Srb.SenseArea[2] & 0x0F : 0;
    return request.Sptd.Sptd.ScsiStatus == checkCondition ? request.Sptd.ucSenseBuf[2] & 0x0F : 0;
}

ProcessResult ProcessSCSIExecuteCommand(LJobControl& job, LSCSI& scsi, const BYTE* cdb, bool bDataOut,
                                        DWORD nTimeOutMs, DWORD nBufLen, void* pBuf, BYTE nCdbLen)
{
    long budgetMs = static_cast<long>(nTimeOutMs);
    for (;;)
    {
        ProcessResult r = ProcessSCSIExecuteCommandAsync(job, scsi, cdb, bDataOut, nBufLen, pBuf, nCdbLen);
        if (r != Done)
            return r;
        r = ProcessSCSIWaitForCommand(job, scsi, nTimeOutMs);
        if (r != Done)
            return r;
        r = ProcessSCSIExecuteCommandAsyncWait(job, scsi);
        if (r == Done)
            return Done;
        const SRB_ExecSCSICmd& srb = scsi.pRequest->Srb;
        if (UseASPI32 != 1 || srb.SRB_Status != SS_ERR || srb.SRB_TargStat != ASPI_STATUS_BUSY)
            return Failed;
        if (budgetMs < 0)
            return Failed;
        budgetMs -= BUSY_RETRY_MS;
        r = job.Pause(BUSY_RETRY_MS);
        if (r != Done)
            return r;
    }
}
