#include "workspace/integrity_label.h"

#include <windows.h>

namespace vandrel {

UniqueLocal BuildHighIntegrityLabel(DWORD policy) {
    BYTE highSid[SECURITY_MAX_SID_SIZE] = {};
    DWORD highSidSize = sizeof highSid;
    if (!::CreateWellKnownSid(WinHighLabelSid, nullptr, highSid, &highSidSize)) return UniqueLocal();

    const DWORD aclSize = sizeof(ACL) + sizeof(SYSTEM_MANDATORY_LABEL_ACE) - sizeof(DWORD) + ::GetLengthSid(highSid);
    UniqueLocal acl(::LocalAlloc(LPTR, aclSize));
    PACL label = static_cast<PACL>(acl.get());
    if (!label || !::InitializeAcl(label, aclSize, ACL_REVISION)) return UniqueLocal();
    if (!::AddMandatoryAce(label, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, policy, highSid))
        return UniqueLocal();
    return acl;
}

}  // namespace vandrel
