#include "setup/InstallFolder.h"

#include <windows.h>

#include "app/SettingsStore.h"
#include "files/LFile.h"
#include "files/TextBuffer.h"

namespace {

// Creates `path` with one access-allowed entry, everyone with full access,
// inherited by files and folders. When the security calls fail the folder
// gets default security instead.
void CreateFolderOpenToEveryone(const char* path)
{
    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    DWORD aclBuffer[1024 / sizeof(DWORD)];
    PACL acl = reinterpret_cast<PACL>(aclBuffer);
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &descriptor, FALSE};

    bool secured = AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                            &everyone)
                   && InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)
                   && InitializeAcl(acl, sizeof(aclBuffer), ACL_REVISION)
                   && AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                                            GENERIC_ALL, everyone)
                   && SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    CreateDirectoryA(path, secured ? &attributes : nullptr);
    if (everyone)
        FreeSid(everyone);
}

} // namespace

void GetInstallProgramFilesPath(char* path)
{
    ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                       "C:\\Program Files", path);
    CreateDirectoryA(path, nullptr);
    LFile::FilePathCat(path, "Talmarin");
    CreateDirectoryA(path, nullptr);
    LFile::FilePathCat(path, "Corvane");
    CreateFolderOpenToEveryone(path);
}
