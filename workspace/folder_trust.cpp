#include "workspace/folder_trust.h"

#include <aclapi.h>

#include <cstring>

namespace vandrel {

namespace {

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
    BYTE known[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof known;
    return ::CreateWellKnownSid(type, nullptr, known, &size) && ::EqualSid(sid, known);
}

// The integrity level of a mandatory label SID (S-1-16-<level>), or 0 for any other SID.
DWORD IntegrityLevelOf(PSID sid) {
    static SID_IDENTIFIER_AUTHORITY mandatory = SECURITY_MANDATORY_LABEL_AUTHORITY;
    if (!::IsValidSid(sid) || *::GetSidSubAuthorityCount(sid) != 1) return 0;
    if (std::memcmp(::GetSidIdentifierAuthority(sid), &mandatory, sizeof mandatory) != 0) return 0;
    return *::GetSidSubAuthority(sid, 0);
}

bool SameEntries(PACL a, PACL b) {
    if (!a || !b) return a == b;
    if (a->AceCount != b->AceCount) return false;
    for (DWORD i = 0; i < a->AceCount; ++i) {
        void* x = nullptr;
        void* y = nullptr;
        if (!::GetAce(a, i, &x) || !::GetAce(b, i, &y)) return false;
        const WORD size = static_cast<ACE_HEADER*>(x)->AceSize;
        if (size != static_cast<ACE_HEADER*>(y)->AceSize || std::memcmp(x, y, size) != 0) return false;
    }
    return true;
}

}  // namespace

bool IsToolsOwnSecurity(PSID owner, PACL label) {
    if (!owner || !::IsValidSid(owner)) return false;
    if (!IsWellKnown(owner, WinBuiltinAdministratorsSid) && !IsWellKnown(owner, WinLocalSystemSid)) return false;
    if (!label || !::IsValidAcl(label)) return false;
    for (DWORD i = 0; i < label->AceCount; ++i) {
        void* raw = nullptr;
        if (!::GetAce(label, i, &raw)) return false;
        const auto* ace = static_cast<const SYSTEM_MANDATORY_LABEL_ACE*>(raw);
        if (ace->Header.AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE) continue;
        // The first label entry is the one the system applies; one only for what is made inside does not
        // apply to the folder.
        if (ace->Header.AceFlags & INHERIT_ONLY_ACE) return false;
        return IntegrityLevelOf(const_cast<DWORD*>(&ace->SidStart)) >= SECURITY_MANDATORY_HIGH_RID &&
               (ace->Mask & SYSTEM_MANDATORY_LABEL_NO_WRITE_UP);
    }
    return false;
}

FolderSecurity::FolderSecurity(HANDLE folder) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    read_ = ::GetSecurityInfo(folder, SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION,
                              &owner_, nullptr, &dacl_, &label_, &descriptor) == ERROR_SUCCESS;
    descriptor_.reset(descriptor);
    read_ = read_ && owner_;
}

bool FolderSecurity::SameOwnerAndAccess(const FolderSecurity& other) const {
    return read_ && other.read_ && ::EqualSid(owner_, other.owner_) && SameEntries(dacl_, other.dacl_);
}

bool FolderTrust::IsToolsOwn(HANDLE folder) const {
    const FolderSecurity found(folder);
    if (whole()) return found.IsToolsOwn();
    return found.SameOwnerAndAccess(reference_);
}

}  // namespace vandrel
