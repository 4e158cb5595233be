#include "tests/common/token_facts.h"

#include <cstdio>
#include <vector>

#include "common/restricted_token.h"

namespace vandrel::test {

namespace {

std::string AdministratorsState(const TOKEN_GROUPS& groups) {
    BYTE administrators[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof administrators;
    ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size);
    for (DWORD i = 0; i < groups.GroupCount; ++i) {
        if (!::EqualSid(groups.Groups[i].Sid, administrators)) continue;
        const DWORD attributes = groups.Groups[i].Attributes;
        if (attributes & SE_GROUP_USE_FOR_DENY_ONLY) return "deny-only";
        return (attributes & SE_GROUP_ENABLED) ? "enabled" : "disabled";
    }
    return "absent";
}

std::string PrivilegeNames(const TOKEN_PRIVILEGES& privileges) {
    std::string names;
    for (DWORD i = 0; i < privileges.PrivilegeCount; ++i) {
        char name[64] = {};
        DWORD length = sizeof name;
        LUID luid = privileges.Privileges[i].Luid;
        if (!::LookupPrivilegeNameA(nullptr, &luid, name, &length)) std::snprintf(name, sizeof name, "%lu", luid.LowPart);
        names += (names.empty() ? "" : ",") + std::string(name);
    }
    return names;
}

}  // namespace

std::string TokenFacts(HANDLE token) {
    const std::vector<BYTE> groups = TokenInformation(token, TokenGroups);
    const std::vector<BYTE> privileges = TokenInformation(token, TokenPrivileges);
    const std::vector<BYTE> label = TokenInformation(token, TokenIntegrityLevel);
    if (groups.empty() || privileges.empty() || label.empty()) return "unreadable";
    PSID level = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(label.data())->Label.Sid;
    char integrity[16] = {};
    std::snprintf(integrity, sizeof integrity, "%lX",
                  *::GetSidSubAuthority(level, *::GetSidSubAuthorityCount(level) - 1));
    return "administrators=" + AdministratorsState(*reinterpret_cast<const TOKEN_GROUPS*>(groups.data())) +
           " privileges=" + PrivilegeNames(*reinterpret_cast<const TOKEN_PRIVILEGES*>(privileges.data())) +
           " integrity=" + integrity;
}

}  // namespace vandrel::test
