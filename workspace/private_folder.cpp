#include "workspace/private_folder.h"

#include "workspace/path_form.h"
#include "workspace/integrity_label.h"
#include "workspace/owner_only_acl.h"

namespace vandrel {

PrivateFolderSecurity::PrivateFolderSecurity(FolderLabel label) : acl_(BuildOwnerOnlyAcl()) {
    if (!acl_ || !::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION)) return;
    if (!::SetSecurityDescriptorDacl(&descriptor_, TRUE, static_cast<PACL>(acl_.get()), FALSE)) return;
    // Protected: nothing of the parent's access list is inherited.
    if (!::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) return;
    if (label == FolderLabel::kHighNoWriteUp) {
        label_ = BuildHighIntegrityLabel();
        if (!label_ || !::SetSecurityDescriptorSacl(&descriptor_, TRUE, static_cast<PACL>(label_.get()), FALSE))
            return;
    }
    attributes_ = {sizeof attributes_, &descriptor_, FALSE};
    built_ = true;
}

bool CreatePrivateFolder(const std::wstring& folder, FolderLabel label) {
    const std::wstring path = WithoutTrailingBackslash(folder);
    PrivateFolderSecurity security(label);
    if (!security.attributes()) {
        ::SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return false;
    }
    if (::CreateDirectoryW(path.c_str(), security.attributes())) return true;
    // Only a process without elevation may not set a High label; the access list alone still keeps every
    // other account out.
    if (label == FolderLabel::kHighNoWriteUp && ::GetLastError() == ERROR_PRIVILEGE_NOT_HELD)
        return CreatePrivateFolder(folder, FolderLabel::kInherited);
    return false;
}

bool HardenFolder(const std::wstring& folder) {
    const bool acl = ApplyOwnerOnlyAcl(folder);
    const bool label = ApplyHighIntegrityLabel(folder);
    return acl && label;
}

}  // namespace vandrel
