// The records and codes of the ASPI for Win32 manager interface ("WNASPI32"),
// packed as the manager expects them on 32-bit Windows.
#pragma once

#include <windows.h>

// Commands (SRB_Cmd).
constexpr BYTE SC_HA_INQUIRY = 0x00;
constexpr BYTE SC_GET_DEV_TYPE = 0x01;
constexpr BYTE SC_EXEC_SCSI_CMD = 0x02;
constexpr BYTE SC_ABORT_SRB = 0x03;

// Request status (SRB_Status and SendASPI32Command results).
constexpr BYTE SS_PENDING = 0x00;
constexpr BYTE SS_COMP = 0x01;
constexpr BYTE SS_ABORTED = 0x02;
constexpr BYTE SS_ERR = 0x04;
constexpr BYTE SS_INVALID_CMD = 0x80;
constexpr BYTE SS_INVALID_HA = 0x81;
constexpr BYTE SS_NO_DEVICE = 0x82;

// Request flags (SRB_Flags).
constexpr BYTE SRB_DIR_IN = 0x08;
constexpr BYTE SRB_DIR_OUT = 0x10;
constexpr BYTE SRB_EVENT_NOTIFY = 0x40;

constexpr BYTE DTYPE_CDROM = 0x05;
constexpr BYTE DTYPE_UNKNOWN = 0x1F;
constexpr BYTE ASPI_STATUS_BUSY = 0x08;  // SRB_TargStat: SCSI status BUSY
constexpr int ASPI_SENSE_LEN = 16;

#pragma pack(push, 1)

struct SRB_Header
{
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
};

struct SRB_HAInquiry
{
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE HA_Count;
    BYTE HA_SCSI_ID;
    BYTE HA_ManagerId[16];
    BYTE HA_Identifier[16];
    BYTE HA_Unique[16];
    WORD HA_Rsvd1;
};

struct SRB_GDEVBlock
{
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE SRB_Target;
    BYTE SRB_Lun;
    BYTE SRB_DeviceType;
    BYTE SRB_Rsvd1;
};

struct SRB_ExecSCSICmd
{
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE SRB_Target;
    BYTE SRB_Lun;
    WORD SRB_Rsvd1;
    DWORD SRB_BufLen;
    BYTE* SRB_BufPointer;
    BYTE SRB_SenseLen;
    BYTE SRB_CDBLen;
    BYTE SRB_HaStat;
    BYTE SRB_TargStat;
    void* SRB_PostProc;
    BYTE SRB_Rsvd2[20];
    BYTE CDBByte[16];
    BYTE SenseArea[ASPI_SENSE_LEN + 2];
};

struct SRB_Abort
{
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    void* SRB_ToAbort;
};

#pragma pack(pop)

// The ASPI manager is a 32-bit interface; the 64-bit build (for its tests)
// keeps the records with wider pointers.
#ifndef _WIN64
static_assert(sizeof(SRB_GDEVBlock) == 12, "ASPI device-type block");
static_assert(sizeof(SRB_ExecSCSICmd) == 82, "ASPI execute block: 64-byte head and CDB, 18-byte sense");
#endif

typedef DWORD(__cdecl* SendASPI32CommandFunction)(void* srb);
typedef DWORD(__cdecl* GetASPI32SupportInfoFunction)();
