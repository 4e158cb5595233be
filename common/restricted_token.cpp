#include "common/restricted_token.h"

#include <vector>

namespace vandrel {

namespace {

// Makes user the owner of what token's programs make where that owner would be the group it only denies
// (an elevated token's default); false when that is needed and fails.
bool KeepOwnerOutOf(HANDLE token, PSID denied, PSID user) {
    const std::vector<BYTE> owner = TokenInformation(token, TokenOwner);
    if (owner.empty()) return false;
    if (!::EqualSid(reinterpret_cast<const TOKEN_OWNER*>(owner.data())->Owner, denied)) return true;
    TOKEN_OWNER userOwner{user};
    return ::SetTokenInformation(token, TokenOwner, &userOwner, sizeof userOwner) != FALSE;
}

// Every privilege of token but change-notify (held by every account: it only skips traversal checks).
std::vector<LUID_AND_ATTRIBUTES> PrivilegesBeyondChangeNotify(HANDLE token) {
    std::vector<LUID_AND_ATTRIBUTES> beyond;
    const std::vector<BYTE> info = TokenInformation(token, TokenPrivileges);
    LUID changeNotify{};
    if (info.empty() || !::LookupPrivilegeValueW(nullptr, SE_CHANGE_NOTIFY_NAME, &changeNotify)) return beyond;
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(info.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID luid = privileges->Privileges[i].Luid;
        if (luid.LowPart != changeNotify.LowPart || luid.HighPart != changeNotify.HighPart)
            beyond.push_back({luid, 0});
    }
    return beyond;
}

// True when token lets its programs act as Administrators in no way: the group, where present, only denies.
bool AdministratorsOnlyDenies(HANDLE token, PSID administrators) {
    const std::vector<BYTE> info = TokenInformation(token, TokenGroups);
    if (info.empty()) return false;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(info.data());
    for (DWORD i = 0; i < groups->GroupCount; ++i)
        if (::EqualSid(groups->Groups[i].Sid, administrators) &&
            !(groups->Groups[i].Attributes & SE_GROUP_USE_FOR_DENY_ONLY))
            return false;
    return true;
}

// An access list of two entries, SYSTEM and user, each with every right; empty on failure.
std::vector<BYTE> UserAndSystemAcl(PSID user) {
    BYTE system[SECURITY_MAX_SID_SIZE] = {};
    DWORD systemSize = sizeof system;
    if (!::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize)) return {};
    const DWORD entry = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD);
    std::vector<BYTE> acl(sizeof(ACL) + 2 * entry + ::GetLengthSid(system) + ::GetLengthSid(user));
    auto* list = reinterpret_cast<PACL>(acl.data());
    if (!::InitializeAcl(list, static_cast<DWORD>(acl.size()), ACL_REVISION) ||
        !::AddAccessAllowedAce(list, ACL_REVISION, GENERIC_ALL, system) ||
        !::AddAccessAllowedAce(list, ACL_REVISION, GENERIC_ALL, user))
        return {};
    return acl;
}

}  // namespace

std::vector<BYTE> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
    DWORD size = 0;
    ::GetTokenInformation(token, kind, nullptr, 0, &size);
    std::vector<BYTE> info(size);
    if (size == 0 || !::GetTokenInformation(token, kind, info.data(), size, &size)) return {};
    return info;
}

UniqueHandle MakeRestrictedToken() {
    UniqueHandle own;
    if (!::OpenProcessToken(::GetCurrentProcess(),
                            TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY | TOKEN_ADJUST_DEFAULT, own.put()))
        return UniqueHandle();
    BYTE administrators[SECURITY_MAX_SID_SIZE] = {};
    DWORD administratorsSize = sizeof administrators;
    if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &administratorsSize))
        return UniqueHandle();
    SID_AND_ATTRIBUTES denyOnly{administrators, 0};
    // Named one by one as well: not every system honours DISABLE_MAX_PRIVILEGE (Wine keeps them all).
    std::vector<LUID_AND_ATTRIBUTES> privileges = PrivilegesBeyondChangeNotify(own.get());
    UniqueHandle restricted;
    // The integrity level is the source token's: the helper is no lower than the tool towards the
    // workspace's High label, and no higher than the user towards everything else.
    if (!::CreateRestrictedToken(own.get(), DISABLE_MAX_PRIVILEGE, 1, &denyOnly,
                                 static_cast<DWORD>(privileges.size()), privileges.empty() ? nullptr : privileges.data(),
                                 0, nullptr, restricted.put()))
        return UniqueHandle();
    // Checked, not assumed: a token that still grants more than the user has is never handed out.
    if (!PrivilegesBeyondChangeNotify(restricted.get()).empty() ||
        !AdministratorsOnlyDenies(restricted.get(), administrators))
        return UniqueHandle();

    // An elevated token makes its objects owned by, and open to, Administrators, which the helper no longer
    // is: they go to the user instead, with SYSTEM beside.
    std::vector<BYTE> user = TokenInformation(restricted.get(), TokenUser);
    if (user.empty()) return UniqueHandle();
    PSID userSid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    std::vector<BYTE> acl = UserAndSystemAcl(userSid);
    TOKEN_DEFAULT_DACL defaultDacl{reinterpret_cast<PACL>(acl.data())};
    if (acl.empty() || !KeepOwnerOutOf(restricted.get(), administrators, userSid) ||
        !::SetTokenInformation(restricted.get(), TokenDefaultDacl, &defaultDacl, sizeof defaultDacl))
        return UniqueHandle();
    return restricted;
}

}  // namespace vandrel
