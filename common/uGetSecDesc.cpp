#include "uGetSecDesc.h"

TSecDesc::TSecDesc()
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                  0, 0, &admins_))
        return;
    if (!AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone_)) return;
    if (!InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION)) return;
    PACL acl = reinterpret_cast<PACL>(acl_);
    if (!InitializeAcl(acl, sizeof(acl_), ACL_REVISION)) return;
    // Administrators first, then Everyone; both may do anything with the slot.
    if (!AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, admins_)) return;
    if (!AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, everyone_)) return;
    if (!SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE)) return;
    valid_ = true;
}

TSecDesc::~TSecDesc()
{
    if (admins_) FreeSid(admins_);
    if (everyone_) FreeSid(everyone_);
}

std::unique_ptr<TSecDesc> GetSecDesc() { return std::make_unique<TSecDesc>(); }
