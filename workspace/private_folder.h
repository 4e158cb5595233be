// Folders that only the current user and the system can open, owned by the Administrators, made so in
// the same call that creates them: nobody can slip a file in between the creation and the access list,
// and the folder's security says that the elevated tool made it.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_handle.h"

namespace vandrel {

// The mandatory label a new folder gets (inherited by what is made in it):
// - kInherited: none of its own;
// - kHighNoWriteUp: High, no write up, for folders from which elevated programs and libraries are run:
//   processes of the same user without elevation cannot add or change anything in them;
// - kHighNoReadWriteUp: High, no write up and no read up, for folders that hold the firmware: those
//   processes cannot read it either.
enum class FolderLabel { kInherited, kHighNoWriteUp, kHighNoReadWriteUp };

// The security descriptor of a private folder: owner Administrators (S-1-5-32-544), which an elevated
// token may set and an unelevated one may not, the owner-only DACL, protected from inheritance, and the
// label when asked for. A descriptor built with explicitOwner false leaves the owner to the system.
class PrivateFolderSecurity {
public:
    explicit PrivateFolderSecurity(FolderLabel label, bool explicitOwner = true);
    PrivateFolderSecurity(const PrivateFolderSecurity&) = delete;
    PrivateFolderSecurity& operator=(const PrivateFolderSecurity&) = delete;

    // For CreateDirectoryW; null when the descriptor could not be built.
    SECURITY_ATTRIBUTES* attributes() { return built_ ? &attributes_ : nullptr; }
    const SECURITY_DESCRIPTOR& descriptor() const { return descriptor_; }

private:
    BYTE owner_[SECURITY_MAX_SID_SIZE] = {};
    UniqueLocal acl_;
    UniqueLocal label_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    bool built_ = false;
};

// Creates folder (its parent must exist; trailing backslash optional) with the private folder's security
// in one call and returns it open with access (READ_CONTROL and what OpenRelative adds included) and
// share; empty, with the error in GetLastError, when it was not created now (ERROR_ALREADY_EXISTS when
// something of that name is there).
UniqueFile CreatePrivateFolderHeld(const std::wstring& folder, FolderLabel label, DWORD access = 0,
                                   DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);

// The same, closing the folder again; false, with the error in GetLastError, when it was not created now.
bool CreatePrivateFolder(const std::wstring& folder, FolderLabel label);

}  // namespace vandrel
