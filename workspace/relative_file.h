// Files and folders opened by name inside a folder the tool holds open, never through a link: what an
// unelevated process renames, swaps or links after the folder was judged cannot redirect the tool.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_handle.h"

// Windows' code for a link met where none may be; older SDK headers lack it.
#ifndef ERROR_REPARSE_POINT_ENCOUNTERED
#define ERROR_REPARSE_POINT_ENCOUNTERED 4395L
#endif

namespace vandrel {

// How an entry is opened relative to its held folder.
enum class RelativeDisposition {
    kOpenExisting,  // fails when it is not there
    kCreateNew,     // fails when something of that name is there already (ERROR_ALREADY_EXISTS)
    kOpenOrCreate,  // opened, or else created new (so never through a link of that name)
};

// A folder at path opened for listing and for opening entries relative to it, not followed when it is a
// link itself (where the system follows a link all the same, as Wine does with Unix symbolic links, the
// folder's final path tells it); empty when it cannot be opened or is a reparse point (GetLastError: ERROR_REPARSE_POINT_ENCOUNTERED
// for a link). access adds to FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// share is the sharing left to others (no FILE_SHARE_DELETE: nobody may rename it away while held).
UniqueFile OpenFolderNoFollow(const std::wstring& path, DWORD access = 0,
                              DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE);

// Whether path, opened as OpenFolderNoFollow does, still is the folder that held is open on (the same
// volume and file index): nothing was renamed or put in its place since. False, with the reason in
// GetLastError (ERROR_FILE_INVALID for another folder), when not.
bool StillOpensHeldFolder(const std::wstring& path, HANDLE held);

// The entry name (a single component: no "\", "/", ".." or ":") inside folder, opened with access and
// share, never following a reparse point: an entry that is one is refused (ERROR_REPARSE_POINT_ENCOUNTERED),
// and so is a file with more than one name (a hard link; ERROR_TOO_MANY_LINKS) when refuseHardLinks is set.
// directory opens or creates a folder instead of a file; security, when given, is the descriptor of an
// entry created now (in the same call, so nothing can reach it before). Empty on failure, with the Win32
// error in GetLastError.
UniqueFile OpenRelative(HANDLE folder, const std::wstring& name, DWORD access, DWORD share,
                        RelativeDisposition disposition, bool directory = false, bool refuseHardLinks = true,
                        DWORD attributes = FILE_ATTRIBUTE_NORMAL, PSECURITY_DESCRIPTOR security = nullptr);

// Deletes the file or empty folder that handle is open on (it must have been opened with DELETE); true
// when it is marked for deletion and goes with the last handle.
bool DeleteByHandle(HANDLE handle);

}  // namespace vandrel
