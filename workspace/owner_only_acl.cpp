#include "workspace/owner_only_acl.h"

#include <windows.h>
#include <aclapi.h>

namespace vandrel {

namespace {

EXPLICIT_ACCESS_W FullAccessFor(PSID sid, TRUSTEE_TYPE type) {
    EXPLICIT_ACCESS_W entry{};
    entry.grfAccessPermissions = GENERIC_ALL;
    entry.grfAccessMode = SET_ACCESS;
    entry.grfInheritance = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = type;
    entry.Trustee.ptstrName = static_cast<LPWSTR>(sid);
    return entry;
}

}  // namespace

UniqueLocal GetCurrentUserSid() {
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return UniqueLocal();

    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size) &&
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return UniqueLocal();

    UniqueLocal info(::LocalAlloc(LPTR, size));
    if (!info || !::GetTokenInformation(token.get(), TokenUser, info.get(), size, &size)) return UniqueLocal();

    PSID userSid = static_cast<TOKEN_USER*>(info.get())->User.Sid;
    const DWORD sidLength = ::GetLengthSid(userSid);
    UniqueLocal copy(::LocalAlloc(LPTR, sidLength));
    if (!copy || !::CopySid(sidLength, copy.get(), userSid)) return UniqueLocal();
    return copy;
}

UniqueLocal BuildOwnerOnlyAcl() {
    BYTE systemSid[SECURITY_MAX_SID_SIZE] = {};
    DWORD systemSidSize = sizeof systemSid;
    if (!::CreateWellKnownSid(WinLocalSystemSid, nullptr, systemSid, &systemSidSize)) return UniqueLocal();

    const UniqueLocal userSid = GetCurrentUserSid();
    if (!userSid) return UniqueLocal();

    EXPLICIT_ACCESS_W entries[2] = {
        FullAccessFor(systemSid, TRUSTEE_IS_WELL_KNOWN_GROUP),
        FullAccessFor(userSid.get(), TRUSTEE_IS_USER),
    };
    PACL acl = nullptr;
    // Built fresh: nothing of an existing ACL is merged in.
    if (::SetEntriesInAclW(2, entries, nullptr, &acl) != ERROR_SUCCESS) return UniqueLocal();
    return UniqueLocal(acl);
}

bool ApplyOwnerOnlyAcl(const std::wstring& folder) {
    const UniqueLocal acl = BuildOwnerOnlyAcl();
    if (!acl) return false;
    std::wstring name = folder;  // the API takes a non-const string
    // Protected: the folder stops inheriting from its parent; owner, group and SACL stay as they are.
    return ::SetNamedSecurityInfoW(&name[0], SE_FILE_OBJECT,
                                   DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                   nullptr, static_cast<PACL>(acl.get()), nullptr) == ERROR_SUCCESS;
}

}  // namespace vandrel
