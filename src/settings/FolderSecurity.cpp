#include "settings/FolderSecurity.h"

FolderSecurity::FolderSecurity()
{
    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    PACL acl = reinterpret_cast<PACL>(aclBuffer);
    attributes = {sizeof(attributes), &descriptor, FALSE};
    bBuilt = AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)
             && InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)
             && InitializeAcl(acl, sizeof(aclBuffer), ACL_REVISION)
             && AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, GENERIC_ALL,
                                      everyone)
             && SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
}

FolderSecurity::~FolderSecurity()
{
    if (everyone)
        FreeSid(everyone);
}
