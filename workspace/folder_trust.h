// Whether a folder the tool finds is one it made itself: its owner and its mandatory label say so, since
// a process of the user without elevation can give a folder neither the Administrators as owner nor a
// High label. The elevated tool uses, empties or deletes only such folders.
#pragma once

#include <windows.h>

#include "common/unique_handle.h"

namespace vandrel {

// The decision: owner is the Administrators (S-1-5-32-544) or LocalSystem (S-1-5-18), and label (a SACL)
// holds a mandatory label entry that applies to the folder itself, at High integrity or above, with
// no-write-up. Anything else (the user as owner, no label, a Medium label, a label only for what is made
// inside) is not the tool's.
bool IsToolsOwnSecurity(PSID owner, PACL label);

// A folder's security as it reads back from a handle opened with READ_CONTROL: owner, DACL and label.
class FolderSecurity {
public:
    explicit FolderSecurity(HANDLE folder);
    bool read() const { return read_; }
    PSID owner() const { return owner_; }
    bool IsToolsOwn() const { return read_ && IsToolsOwnSecurity(owner_, label_); }
    // Same owner and the same access entries in the same order.
    bool SameOwnerAndAccess(const FolderSecurity& other) const;

private:
    UniqueLocal descriptor_;
    PSID owner_ = nullptr;
    PACL dacl_ = nullptr;
    PACL label_ = nullptr;
    bool read_ = false;
};

// Judges folders against a folder the tool has just made with its own security (CreatePrivateFolderHeld).
// Where that folder reads back as made, the platform keeps owners and labels and the judgement is whole.
// Where it does not (Wine keeps neither: owner reads back as the user, no label), the platform cannot tell
// the tool's folders from others by owner and label, and the check is only partial: a folder is taken for
// the tool's when it reads back with the same owner and access list as the one just made.
class FolderTrust {
public:
    explicit FolderTrust(HANDLE madeNow) : reference_(madeNow) {}
    bool whole() const { return reference_.IsToolsOwn(); }
    bool IsToolsOwn(HANDLE folder) const;

private:
    FolderSecurity reference_;
};

}  // namespace vandrel
