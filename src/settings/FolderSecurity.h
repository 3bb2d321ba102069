// The security an install folder is created with: one access-allowed entry,
// everyone with full access, inherited by the files and folders inside.
#pragma once

#include <windows.h>

class FolderSecurity
{
public:
    FolderSecurity();
    ~FolderSecurity();
    FolderSecurity(const FolderSecurity&) = delete;
    FolderSecurity& operator=(const FolderSecurity&) = delete;

    // The attributes to create the folder with; null when a security call
    // failed, which gives the folder default security.
    SECURITY_ATTRIBUTES* Attributes() { return bBuilt ? &attributes : nullptr; }

private:
    PSID everyone = nullptr;
    DWORD aclBuffer[1024 / sizeof(DWORD)];
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
    bool bBuilt;
};
