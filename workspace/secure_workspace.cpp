#include "workspace/secure_workspace.h"

#include <windows.h>
#include <aclapi.h>
#include <shlobj.h>

#include <mutex>

#include "common/text.h"
#include "common/unique_handle.h"
#include "workspace/path_form.h"
#include "workspace/owner_only_acl.h"
#include "workspace/private_folder.h"
#include "workspace/real_path.h"

namespace vandrel {

namespace {

// The alternatives beside the base folder: its name, a point and 1 to 9.
constexpr int kAlternativeBases = 9;

NameDigitsSource g_nameDigitsSource = &NewNameDigits;

// The established base folder, held open without delete sharing so that nobody can rename it away and
// put a link in its place while the tool runs. Set on the dialog's thread before any worker exists.
struct Workspace {
    std::mutex guard;
    bool looked = false;
    std::wstring base;  // with trailing backslash
    std::wstring realBase;
    UniqueFile held;
    std::wstring runFolder;  // the current run folder, with trailing backslash
    std::wstring realRunFolder;
};

// Never destroyed: the exit handler that removes the library copy may still ask about the workspace.
Workspace& TheWorkspace() {
    static Workspace* const workspace = new Workspace;
    return *workspace;
}

// Fallback name when no GUID can be made: UTC time to the millisecond, 17 digits.
std::wstring TimestampRunFolder(const std::wstring& base) {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    return Format(L"%s%04u%02u%02u%02u%02u%02u%03u\\", base.c_str(), now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
}

std::wstring LocalAppData() {
    wchar_t localAppData[MAX_PATH] = {};
    // Result not examined: an unavailable folder leaves the text empty.
    ::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, localAppData);
    return localAppData;
}

// The user of this process, the Administrators or the system: the owners that a process of the user
// without elevation cannot forge (it would have to be one of them already).
bool IsTrustedOwner(PSID owner) {
    if (!owner || !::IsValidSid(owner)) return false;
    const UniqueLocal user = GetCurrentUserSid();
    if (user && ::EqualSid(owner, user.get())) return true;
    for (WELL_KNOWN_SID_TYPE type : {WinBuiltinAdministratorsSid, WinLocalSystemSid}) {
        BYTE sid[SECURITY_MAX_SID_SIZE] = {};
        DWORD size = sizeof sid;
        if (::CreateWellKnownSid(type, nullptr, sid, &size) && ::EqualSid(owner, sid)) return true;
    }
    return false;
}

bool HasTrustedOwner(HANDLE folder) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS)
        return false;
    const UniqueLocal held(descriptor);
    return IsTrustedOwner(owner);
}

bool IsLinkOrFile(DWORD attributes) {
    return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// folder (no trailing backslash) opened and held when it may serve as the base: made now, or a real
// folder (not a link, and leading where its name says) with a trusted owner; empty otherwise, and then
// nothing inside it has been touched.
UniqueFile TakeBaseFolder(const std::wstring& folder, std::wstring& realBase) {
    const bool made = CreatePrivateFolder(folder, FolderLabel::kHighNoWriteUp);
    if (!made && ::GetLastError() != ERROR_ALREADY_EXISTS) return UniqueFile();
    if (IsLinkOrFile(::GetFileAttributesW(folder.c_str()))) return UniqueFile();
    UniqueFile held(::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES | READ_CONTROL,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!held) return UniqueFile();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(held.get(), &info) || IsLinkOrFile(info.dwFileAttributes)) return UniqueFile();
    // A link the attributes do not show (Wine reports links only by path) still leads elsewhere.
    realBase = RealPathOf(held.get());
    if (realBase.empty() || LeadsElsewhere(folder) || !SameRealPath(realBase, RealPathOf(folder)))
        return UniqueFile();
    if (!HasTrustedOwner(held.get())) return UniqueFile();
    // Made by someone else before (an earlier version of the tool, or the user): shut it now.
    if (!made) HardenFolder(folder);
    // The carried tools and driver files written here are encrypted for this user where EFS is available.
    ::EncryptFileW(folder.c_str());
    return held;
}

// Whether path still leads to the folder that held is open on, and is no link: the same volume and file
// index, as the file system tells it.
bool IsStillHeldFolder(const std::wstring& path, HANDLE held) {
    if (IsLinkOrFile(::GetFileAttributesW(path.c_str()))) return false;
    const UniqueFile now(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    return now && ::GetFileInformationByHandle(now.get(), &a) && ::GetFileInformationByHandle(held, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

void EstablishBaseFolder(Workspace& workspace) {
    workspace.looked = true;
    const std::wstring parent = LocalAppData();
    for (int alternative = 0; alternative <= kAlternativeBases; ++alternative) {
        std::wstring folder = parent + L"\\" + kWorkspaceFolderName;
        if (alternative > 0) folder += Format(L".%d", alternative);
        std::wstring realBase;
        UniqueFile held = TakeBaseFolder(folder, realBase);
        if (!held) continue;
        workspace.base = folder + L"\\";
        workspace.realBase = realBase;
        workspace.held = std::move(held);
        return;
    }
}

}  // namespace

std::wstring MakeNameDigits() { return g_nameDigitsSource(); }

NameDigitsSource SetNameDigitsSource(NameDigitsSource source) {
    const NameDigitsSource previous = g_nameDigitsSource;
    g_nameDigitsSource = source ? source : &NewNameDigits;
    return previous;
}

std::wstring GetWorkspaceBaseFolder() {
    Workspace& workspace = TheWorkspace();
    const std::lock_guard<std::mutex> lock(workspace.guard);
    // Windows refuses to rename a held folder; should it have been replaced all the same (a file system
    // that does not keep to that), the folder behind the name is judged again before it is used.
    if (workspace.looked && !workspace.base.empty() &&
        !IsStillHeldFolder(WithoutTrailingBackslash(workspace.base), workspace.held.get())) {
        workspace.held.reset();
        workspace.base.clear();
        workspace.realBase.clear();
        workspace.looked = false;
    }
    if (!workspace.looked) EstablishBaseFolder(workspace);
    return workspace.base;
}


void ForgetWorkspaceBaseFolder() {
    Workspace& workspace = TheWorkspace();
    const std::lock_guard<std::mutex> lock(workspace.guard);
    workspace.looked = false;
    workspace.base.clear();
    workspace.realBase.clear();
    workspace.held.reset();
    workspace.runFolder.clear();
    workspace.realRunFolder.clear();
}

std::wstring GetRunFolder(bool forceNew) {
    const std::wstring base = GetWorkspaceBaseFolder();
    Workspace& workspace = TheWorkspace();
    const std::lock_guard<std::mutex> lock(workspace.guard);
    if (!forceNew && !workspace.runFolder.empty()) return workspace.runFolder;
    if (base.empty()) return {};

    const std::wstring digits = MakeNameDigits();
    const std::wstring folder = digits.empty() ? TimestampRunFolder(base) : base + digits + L"\\";
    CreatePrivateFolder(folder, FolderLabel::kInherited);
    // Files created in the folder from now on are encrypted for this user where EFS is available.
    ::EncryptFileW(folder.c_str());
    workspace.runFolder = folder;
    workspace.realRunFolder = RealPathOf(folder);
    return folder;
}

std::wstring CurrentRunFolder() {
    Workspace& workspace = TheWorkspace();
    const std::lock_guard<std::mutex> lock(workspace.guard);
    return workspace.runFolder;
}

bool IsInRunFolder(const std::wstring& path) {
    if (path.empty()) return false;
    std::wstring folder, realFolder;
    {
        Workspace& workspace = TheWorkspace();
        const std::lock_guard<std::mutex> lock(workspace.guard);
        folder = workspace.runFolder;
        realFolder = workspace.realRunFolder;
    }
    if (folder.empty()) return false;
    const std::wstring lowered = AsciiLower(folder);
    if (AsciiLower(path).compare(0, lowered.size(), lowered) != 0) return false;
    return IsRealPathWithin(RealPathOf(path), realFolder);
}

bool IsInWorkspace(const std::wstring& path) { return IsRealPathInWorkspace(RealPathOf(path)); }

bool IsRealPathInWorkspace(const std::wstring& realPath) {
    Workspace& workspace = TheWorkspace();
    std::wstring realBase;
    {
        const std::lock_guard<std::mutex> lock(workspace.guard);
        realBase = workspace.realBase;
    }
    return realPath.size() > realBase.size() && IsRealPathWithin(realPath, realBase);
}

}  // namespace vandrel
