#include "common/restricted_token.h"

#include <vector>

namespace vandrel {

namespace {

// A TokenUser block of token; empty when it cannot be read.
std::vector<BYTE> TokenUserOf(HANDLE token) {
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> info(size);
    if (size == 0 || !::GetTokenInformation(token, TokenUser, info.data(), size, &size)) return {};
    return info;
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
    UniqueHandle restricted;
    // The integrity level is the source token's: the helper is no lower than the tool towards the
    // workspace's High label, and no higher than the user towards everything else.
    if (!::CreateRestrictedToken(own.get(), DISABLE_MAX_PRIVILEGE, 1, &denyOnly, 0, nullptr, 0, nullptr,
                                 restricted.put()))
        return UniqueHandle();

    // An elevated token makes its objects owned by, and open to, Administrators, which the helper no longer
    // is: they go to the user instead, with SYSTEM beside.
    std::vector<BYTE> user = TokenUserOf(restricted.get());
    if (user.empty()) return UniqueHandle();
    PSID userSid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    TOKEN_OWNER owner{userSid};
    std::vector<BYTE> acl = UserAndSystemAcl(userSid);
    TOKEN_DEFAULT_DACL defaultDacl{reinterpret_cast<PACL>(acl.data())};
    if (acl.empty() || !::SetTokenInformation(restricted.get(), TokenOwner, &owner, sizeof owner) ||
        !::SetTokenInformation(restricted.get(), TokenDefaultDacl, &defaultDacl, sizeof defaultDacl))
        return UniqueHandle();
    return restricted;
}

}  // namespace vandrel
