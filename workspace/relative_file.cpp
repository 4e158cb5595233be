#include "workspace/relative_file.h"

#include <winternl.h>

#include "workspace/path_form.h"
#include "workspace/real_path.h"

namespace vandrel {

namespace {

// The native calls (ntdll is in every process, loaded before any code of the tool): only they open a
// name relative to a folder handle.
using NtCreateFileFunction = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                          PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using RtlNtStatusToDosErrorFunction = ULONG(NTAPI*)(LONG);

constexpr ULONG kFileOpen = 1;          // FILE_OPEN
constexpr ULONG kFileCreate = 2;        // FILE_CREATE
constexpr ULONG kDirectoryFile = 0x1;   // FILE_DIRECTORY_FILE
constexpr ULONG kNonDirectoryFile = 0x40;  // FILE_NON_DIRECTORY_FILE
constexpr ULONG kSynchronousIoNonAlert = 0x20;  // FILE_SYNCHRONOUS_IO_NONALERT
constexpr ULONG kOpenReparsePoint = 0x200000;  // FILE_OPEN_REPARSE_POINT
constexpr ULONG kObjCaseInsensitive = 0x40;  // OBJ_CASE_INSENSITIVE

FARPROC NtdllProc(const char* name) { return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), name); }

bool IsSingleComponent(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:") == std::wstring::npos;
}

ULONG NativeDisposition(RelativeDisposition disposition) {
    switch (disposition) {
    case RelativeDisposition::kCreateNew: return kFileCreate;
    default: return kFileOpen;
    }
}

bool IsReparsePoint(HANDLE handle) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    return ::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
           (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool HasOtherNames(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    return !::GetFileInformationByHandle(handle, &info) || info.nNumberOfLinks > 1;
}

UniqueFile Refuse(DWORD error) {
    ::SetLastError(error);
    return UniqueFile();
}

// Whether handle really is name in the folder whose final path is realFolder. Windows opens a link itself
// (FILE_OPEN_REPARSE_POINT) and the tag shows it; Wine follows a Unix symbolic link all the same and
// shows the target's attributes, so there only where the handle really leads tells. Unknown: refused.
bool IsEntryItself(HANDLE handle, const std::wstring& realFolder, const std::wstring& name) {
    const std::wstring real = RealPathOf(handle);
    if (real.empty() || realFolder.empty()) return false;
    return SameRealPath(real, (realFolder.back() == L'\\' ? realFolder : realFolder + L"\\") + name);
}

// The folder path's parent and last component; false for a path without one.
bool SplitLast(const std::wstring& path, std::wstring& parent, std::wstring& name) {
    const std::wstring trimmed = WithoutTrailingBackslash(path);
    const size_t slash = trimmed.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 == trimmed.size()) return false;
    parent = trimmed.substr(0, slash + 1);
    name = trimmed.substr(slash + 1);
    return true;
}

}  // namespace

UniqueFile OpenFolderNoFollow(const std::wstring& path, DWORD access, DWORD share) {
    UniqueFile folder(::CreateFileW(ExtendedPath(WithoutTrailingBackslash(path)).c_str(),
                                    access | FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                    share, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder) return folder;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(folder.get(), &info)) return Refuse(::GetLastError());
    if (IsReparsePoint(folder.get())) return Refuse(ERROR_REPARSE_POINT_ENCOUNTERED);
    std::wstring parent, name;
    if (SplitLast(path, parent, name) && !IsEntryItself(folder.get(), RealPathOf(parent), name))
        return Refuse(ERROR_REPARSE_POINT_ENCOUNTERED);
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return Refuse(ERROR_DIRECTORY);
    return folder;
}

bool StillOpensHeldFolder(const std::wstring& path, HANDLE held) {
    const UniqueFile now = OpenFolderNoFollow(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (!now) return false;
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    if (!::GetFileInformationByHandle(now.get(), &a) || !::GetFileInformationByHandle(held, &b)) return false;
    if (a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
        a.nFileIndexLow == b.nFileIndexLow)
        return true;
    ::SetLastError(ERROR_FILE_INVALID);
    return false;
}

UniqueFile OpenRelative(HANDLE folder, const std::wstring& name, DWORD access, DWORD share,
                        RelativeDisposition disposition, bool directory, bool refuseHardLinks, DWORD attributes,
                        PSECURITY_DESCRIPTOR security) {
    static const auto createFile = reinterpret_cast<NtCreateFileFunction>(
        reinterpret_cast<void (*)()>(NtdllProc("NtCreateFile")));
    static const auto toDosError = reinterpret_cast<RtlNtStatusToDosErrorFunction>(
        reinterpret_cast<void (*)()>(NtdllProc("RtlNtStatusToDosError")));
    if (!createFile || !toDosError) return Refuse(ERROR_PROC_NOT_FOUND);
    if (!IsSingleComponent(name) || name.size() * sizeof(wchar_t) > 0xFFFE) return Refuse(ERROR_INVALID_NAME);

    UNICODE_STRING nativeName{};
    nativeName.Buffer = const_cast<wchar_t*>(name.c_str());
    nativeName.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    nativeName.MaximumLength = nativeName.Length;
    OBJECT_ATTRIBUTES object{};
    object.Length = sizeof object;
    object.RootDirectory = folder;
    object.ObjectName = &nativeName;
    object.Attributes = kObjCaseInsensitive;
    object.SecurityDescriptor = security;
    const ULONG options = kSynchronousIoNonAlert | kOpenReparsePoint | (directory ? kDirectoryFile : kNonDirectoryFile);
    auto openAs = [&](ULONG nativeDisposition, LONG& result) {
        IO_STATUS_BLOCK status{};
        HANDLE opened = nullptr;
        result = createFile(&opened, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &object, &status, nullptr, attributes,
                            share, nativeDisposition, options, nullptr, 0);
        return result < 0 ? UniqueFile() : UniqueFile(opened);
    };
    LONG result = 0;
    UniqueFile entry;
    if (disposition != RelativeDisposition::kOpenOrCreate) {
        entry = openAs(NativeDisposition(disposition), result);
    } else {
        // Opened, or else created new, never "open if": Wine carries that out through a dangling link and
        // makes the file where it leads; creating new fails on any name that is there, a link included.
        for (int attempt = 0; attempt < 3 && !entry; ++attempt) {
            entry = openAs(kFileOpen, result);
            if (entry || toDosError(result) != ERROR_FILE_NOT_FOUND) break;
            entry = openAs(kFileCreate, result);
        }
    }
    if (!entry) return Refuse(toDosError(result));
    // Opened as itself, not followed: a link found there is refused rather than used.
    if (IsReparsePoint(entry.get()) || !IsEntryItself(entry.get(), RealPathOf(folder), name))
        return Refuse(ERROR_REPARSE_POINT_ENCOUNTERED);
    if (!directory && refuseHardLinks && HasOtherNames(entry.get())) return Refuse(ERROR_TOO_MANY_LINKS);
    return entry;
}

bool DeleteByHandle(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

}  // namespace vandrel
