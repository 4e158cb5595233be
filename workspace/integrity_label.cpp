#include "workspace/integrity_label.h"

#include <windows.h>
#include <aclapi.h>

namespace vandrel {

UniqueLocal BuildHighIntegrityLabel() {
    BYTE highSid[SECURITY_MAX_SID_SIZE] = {};
    DWORD highSidSize = sizeof highSid;
    if (!::CreateWellKnownSid(WinHighLabelSid, nullptr, highSid, &highSidSize)) return UniqueLocal();

    const DWORD aclSize = sizeof(ACL) + sizeof(SYSTEM_MANDATORY_LABEL_ACE) - sizeof(DWORD) + ::GetLengthSid(highSid);
    UniqueLocal acl(::LocalAlloc(LPTR, aclSize));
    PACL label = static_cast<PACL>(acl.get());
    if (!label || !::InitializeAcl(label, aclSize, ACL_REVISION)) return UniqueLocal();
    // Medium-integrity processes may still read and run what is there, but write nothing into it.
    if (!::AddMandatoryAce(label, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                           SYSTEM_MANDATORY_LABEL_NO_WRITE_UP, highSid))
        return UniqueLocal();
    return acl;
}

bool ApplyHighIntegrityLabel(const std::wstring& folder) {
    const UniqueLocal label = BuildHighIntegrityLabel();
    if (!label) return false;
    std::wstring name = folder;  // the API takes a non-const string
    return ::SetNamedSecurityInfoW(&name[0], SE_FILE_OBJECT, LABEL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                                   static_cast<PACL>(label.get())) == ERROR_SUCCESS;
}

}  // namespace vandrel
