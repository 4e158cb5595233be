#include "workspace/private_folder.h"

#include "workspace/integrity_label.h"
#include "workspace/owner_only_acl.h"
#include "workspace/path_form.h"
#include "workspace/relative_file.h"

namespace vandrel {

namespace {

DWORD LabelPolicy(FolderLabel label) {
    return label == FolderLabel::kHighNoReadWriteUp
               ? SYSTEM_MANDATORY_LABEL_NO_WRITE_UP | SYSTEM_MANDATORY_LABEL_NO_READ_UP
               : SYSTEM_MANDATORY_LABEL_NO_WRITE_UP;
}

UniqueFile CreateWithSecurity(HANDLE parent, const std::wstring& name, PrivateFolderSecurity& security,
                              DWORD access, DWORD share) {
    if (!security.attributes()) {
        ::SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return UniqueFile();
    }
    return OpenRelative(parent, name, access | READ_CONTROL, share, RelativeDisposition::kCreateNew, true, false,
                        FILE_ATTRIBUTE_NORMAL, security.attributes()->lpSecurityDescriptor);
}

}  // namespace

PrivateFolderSecurity::PrivateFolderSecurity(FolderLabel label, bool explicitOwner) : acl_(BuildOwnerOnlyAcl()) {
    if (!acl_ || !::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION)) return;
    if (explicitOwner) {
        DWORD size = sizeof owner_;
        if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, owner_, &size) ||
            !::SetSecurityDescriptorOwner(&descriptor_, owner_, FALSE))
            return;
    }
    if (!::SetSecurityDescriptorDacl(&descriptor_, TRUE, static_cast<PACL>(acl_.get()), FALSE)) return;
    // Protected: nothing of the parent's access list is inherited.
    if (!::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) return;
    if (label != FolderLabel::kInherited) {
        label_ = BuildHighIntegrityLabel(LabelPolicy(label));
        if (!label_ || !::SetSecurityDescriptorSacl(&descriptor_, TRUE, static_cast<PACL>(label_.get()), FALSE))
            return;
    }
    attributes_ = {sizeof attributes_, &descriptor_, FALSE};
    built_ = true;
}

UniqueFile CreatePrivateFolderHeld(const std::wstring& folder, FolderLabel label, DWORD access, DWORD share) {
    const std::wstring path = WithoutTrailingBackslash(folder);
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 == path.size()) {
        ::SetLastError(ERROR_INVALID_NAME);
        return UniqueFile();
    }
    // The parent is named by the user's own settings (%TEMP%, Local AppData) or is a folder of the tool
    // already judged; what matters is that the new folder is made in it by this call, not found there.
    const UniqueFile parent(::CreateFileW(ExtendedPath(path.substr(0, slash)).c_str(),
                                          FILE_TRAVERSE | FILE_ADD_SUBDIRECTORY | SYNCHRONIZE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!parent) return UniqueFile();
    const std::wstring name = path.substr(slash + 1);
    PrivateFolderSecurity security(label);
    UniqueFile made = CreateWithSecurity(parent.get(), name, security, access, share);
    const DWORD error = made ? ERROR_SUCCESS : ::GetLastError();
    // Only a process without elevation may not name the Administrators as owner nor set a High label;
    // the access list alone still keeps every other account out.
    if (!made && (error == ERROR_INVALID_OWNER || error == ERROR_PRIVILEGE_NOT_HELD)) {
        PrivateFolderSecurity unelevated(FolderLabel::kInherited, false);
        return CreateWithSecurity(parent.get(), name, unelevated, access, share);
    }
    ::SetLastError(error);
    return made;
}

bool CreatePrivateFolder(const std::wstring& folder, FolderLabel label) {
    return static_cast<bool>(CreatePrivateFolderHeld(folder, label));
}

}  // namespace vandrel
