// An ASPI for Win32 manager that serves disc images instead of real drives.
// The drives come from the configuration file named by VDRIVE_CONFIG (read on
// first use); execution requests complete on the queue's worker thread, which
// then sets the request's event, as with a real manager.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cdrom/AspiRecords.h"
#include "vdrive/CommandQueue.h"
#include "vdrive/VirtualDrive.h"

namespace {

struct Manager
{
    std::vector<std::unique_ptr<VirtualDrive>> drives;
    int nAdapters = 0;
    CommandQueue queue;
};

std::mutex managerMutex;
Manager* manager;  // lives until the process ends

// Under Wine a Unix path names a file on drive Z:.
std::string WindowsPath(const char* path)
{
    return path[0] == '/' ? std::string("Z:") + path : std::string(path);
}

void Configure(const char* configPath)
{
    std::string errors;
    std::string text;
    std::string path = configPath ? WindowsPath(configPath) : "";
    if (path.empty())
        errors = "vdrive: VDRIVE_CONFIG is not set; no drives\n";
    else if (FILE* file = fopen(path.c_str(), "rb"))
    {
        char block[4096];
        for (size_t n; (n = fread(block, 1, sizeof(block), file)) > 0;)
            text.append(block, n);
        fclose(file);
    }
    else
        errors = "vdrive: cannot read " + path + "; no drives\n";

    auto fresh = new Manager;
    for (const DriveConfig& config : ParseDriveConfig(text, path, errors))
    {
        fresh->drives.push_back(std::make_unique<VirtualDrive>(config, errors));
        if (config.adapter + 1 > fresh->nAdapters)
            fresh->nAdapters = config.adapter + 1;
    }
    if (!errors.empty())
        fputs(errors.c_str(), stderr);
    // A replaced manager may still have requests in flight; it is kept.
    manager = fresh;
}

Manager& TheManager()
{
    std::lock_guard<std::mutex> lock(managerMutex);
    if (!manager)
        Configure(getenv("VDRIVE_CONFIG"));
    return *manager;
}

VirtualDrive* FindDrive(Manager& m, int adapter, int target, int lun)
{
    for (auto& drive : m.drives)
    {
        const DriveConfig& c = drive->Config();
        if (c.adapter == adapter && c.target == target && c.lun == lun)
            return drive.get();
    }
    return nullptr;
}

DWORD ExecuteCommand(Manager& m, SRB_ExecSCSICmd* srb)
{
    VirtualDrive* drive = FindDrive(m, srb->SRB_HaId, srb->SRB_Target, srb->SRB_Lun);
    if (!drive)
        return srb->SRB_Status = SS_NO_DEVICE;
    if (drive->Config().bReject)
        return srb->SRB_Status = SS_ERR;
    srb->SRB_Status = SS_PENDING;
    const bool dataIn = (srb->SRB_Flags & SRB_DIR_OUT) == 0;
    m.queue.Submit(srb, *drive, srb->CDBByte, srb->SRB_CDBLen, dataIn ? srb->SRB_BufPointer : nullptr,
                   dataIn ? srb->SRB_BufLen : 0, [srb](const CommandResult& result) {
                       srb->SRB_HaStat = 0;
                       srb->SRB_TargStat = result.status;
                       if (result.status == SCSI_STATUS_CHECK_CONDITION)
                       {
                           size_t n = srb->SRB_SenseLen < sizeof(srb->SenseArea) ? srb->SRB_SenseLen
                                                                                 : sizeof(srb->SenseArea);
                           memcpy(srb->SenseArea, result.sense, n < SENSE_SIZE ? n : SENSE_SIZE);
                       }
                       // Last, and ordered after the data: a caller may poll the status
                       // rather than wait for the event.
                       __atomic_store_n(&srb->SRB_Status, result.status == SCSI_STATUS_GOOD ? SS_COMP : SS_ERR,
                                        __ATOMIC_RELEASE);
                       if ((srb->SRB_Flags & SRB_EVENT_NOTIFY) && srb->SRB_PostProc)
                           SetEvent(static_cast<HANDLE>(srb->SRB_PostProc));
                   });
    return SS_PENDING;
}

// With VDRIVE_READ_COUNTS set, each drive's read counts go to that file as
// the process ends: a line `adapter target lun sector physical cached` for
// every sector read at all. Other threads are gone by then, so no lock is
// taken, and the file is written with Win32 calls only.
void WriteReadCounts()
{
    const char* path = getenv("VDRIVE_READ_COUNTS");
    if (!path || !*path || !manager)
        return;
    HANDLE file = CreateFileA(WindowsPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::string text;
    for (const auto& drive : manager->drives)
    {
        const DriveConfig& c = drive->Config();
        for (int64_t sector = 0; sector < drive->CountedSectors(); ++sector)
        {
            const SectorReadCount count = drive->ReadCount(sector);
            if (count.physical == 0 && count.cached == 0)
                continue;
            char line[96];
            snprintf(line, sizeof(line), "%d %d %d %lld %u %u\n", c.adapter, c.target, c.lun,
                     static_cast<long long>(sector), count.physical, count.cached);
            text += line;
        }
    }
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_DETACH)
        WriteReadCounts();
    return TRUE;
}


__declspec(dllexport) DWORD __cdecl GetASPI32SupportInfo()
{
    return (SS_COMP << 8) | static_cast<BYTE>(TheManager().nAdapters);
}

__declspec(dllexport) DWORD __cdecl SendASPI32Command(void* request)
{
    Manager& m = TheManager();
    auto* header = static_cast<SRB_Header*>(request);
    if (header->SRB_Cmd != SC_EXEC_SCSI_CMD && header->SRB_HaId >= m.nAdapters)
        return header->SRB_Status = SS_INVALID_HA;
    switch (header->SRB_Cmd)
    {
    case SC_HA_INQUIRY:
    {
        auto* inquiry = static_cast<SRB_HAInquiry*>(request);
        inquiry->HA_Count = static_cast<BYTE>(m.nAdapters);
        inquiry->HA_SCSI_ID = 7;
        memcpy(inquiry->HA_ManagerId, "VDRIVE ASPI     ", 16);
        memcpy(inquiry->HA_Identifier, "VDRIVE ADAPTER  ", 16);
        return inquiry->SRB_Status = SS_COMP;
    }
    case SC_GET_DEV_TYPE:
    {
        auto* device = static_cast<SRB_GDEVBlock*>(request);
        if (!FindDrive(m, device->SRB_HaId, device->SRB_Target, device->SRB_Lun))
            return device->SRB_Status = SS_NO_DEVICE;
        device->SRB_DeviceType = DTYPE_CDROM;
        return device->SRB_Status = SS_COMP;
    }
    case SC_EXEC_SCSI_CMD:
        return ExecuteCommand(m, static_cast<SRB_ExecSCSICmd*>(request));
    case SC_ABORT_SRB:
    {
        auto* abort = static_cast<SRB_Abort*>(request);
        auto* target = static_cast<SRB_ExecSCSICmd*>(abort->SRB_ToAbort);
        if (m.queue.Abort(target))
        {
            __atomic_store_n(&target->SRB_Status, SS_ABORTED, __ATOMIC_RELEASE);
            if ((target->SRB_Flags & SRB_EVENT_NOTIFY) && target->SRB_PostProc)
                SetEvent(static_cast<HANDLE>(target->SRB_PostProc));
        }
        return abort->SRB_Status = SS_COMP;
    }
    default:
        return header->SRB_Status = SS_INVALID_CMD;
    }
}

// Not part of ASPI: lets a test replace the drives with those of another
// configuration file.
__declspec(dllexport) void __cdecl VDriveConfigure(const char* configPath)
{
    std::lock_guard<std::mutex> lock(managerMutex);
    Configure(configPath);
}

// Not part of ASPI: how many requests the drives hold that have neither
// completed nor been aborted.
__declspec(dllexport) int __cdecl VDrivePendingCommands()
{
    return TheManager().queue.PendingCount();
}

// Not part of ASPI: how often a drive read `sector` from its disc and from
// its cache; 0 when there is no such drive.
__declspec(dllexport) int __cdecl VDriveSectorReads(int adapter, int target, int lun, int sector,
                                                    unsigned* physical, unsigned* cached)
{
    Manager& m = TheManager();
    VirtualDrive* drive = FindDrive(m, adapter, target, lun);
    if (!drive)
        return 0;
    const SectorReadCount count = m.queue.ReadCount(*drive, sector);
    *physical = count.physical;
    *cached = count.cached;
    return 1;
}

} // extern "C"
