// Folders that only the current user and the system can open, made so in the same call that creates
// them: nobody can slip a file in between the creation and the access list.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_handle.h"

namespace vandrel {

// Whether a new folder also gets the High mandatory label with no-write-up (inherited): for folders from
// which elevated programs and libraries are run, so that processes of the same user without elevation
// cannot add or change anything in them.
enum class FolderLabel { kInherited, kHighNoWriteUp };

// The security descriptor of a private folder: the owner-only DACL, protected from inheritance, and the
// label when asked for. Owner and group are left to the system.
class PrivateFolderSecurity {
public:
    explicit PrivateFolderSecurity(FolderLabel label);
    PrivateFolderSecurity(const PrivateFolderSecurity&) = delete;
    PrivateFolderSecurity& operator=(const PrivateFolderSecurity&) = delete;

    // For CreateDirectoryW; null when the descriptor could not be built.
    SECURITY_ATTRIBUTES* attributes() { return built_ ? &attributes_ : nullptr; }
    const SECURITY_DESCRIPTOR& descriptor() const { return descriptor_; }

private:
    UniqueLocal acl_;
    UniqueLocal label_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    bool built_ = false;
};

// Creates folder (its parent must exist; trailing backslash optional) with the private folder's security
// in one call; false, with the error in GetLastError, when it was not created now (ERROR_ALREADY_EXISTS
// when something of that name is there).
bool CreatePrivateFolder(const std::wstring& folder, FolderLabel label);

// Gives an existing folder the owner-only DACL and the High no-write-up label; true when both were set.
bool HardenFolder(const std::wstring& folder);

}  // namespace vandrel
