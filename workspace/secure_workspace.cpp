#include "workspace/secure_workspace.h"

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <mutex>

#include "common/text.h"
#include "common/unique_handle.h"
#include "workspace/folder_trust.h"
#include "workspace/local_location.h"
#include "workspace/path_form.h"
#include "workspace/private_folder.h"
#include "workspace/real_path.h"
#include "workspace/relative_file.h"

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
    WorkspaceRefusal refusal = WorkspaceRefusal::kNone;
    bool partialCheck = false;
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

bool IsLinkOrFile(DWORD attributes) {
    return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The base folder is held with these: read its security and attributes; nobody may delete or rename it.
constexpr DWORD kHeldAccess = FILE_READ_ATTRIBUTES | READ_CONTROL;
constexpr DWORD kHeldShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

// How folders found beside the base are judged: against a folder this process made with its own
// security, once per establishment. Without one made yet, a probe folder is made and deleted again.
class BaseTrust {
public:
    explicit BaseTrust(std::wstring parent) : parent_(std::move(parent)) {}
    void Learn(HANDLE madeNow) {
        if (!trust_) trust_.reset(new FolderTrust(madeNow));
    }
    bool IsToolsOwn(HANDLE folder) {
        // The usual case on Windows: owner and label say so, nothing else to make.
        if (FolderSecurity(folder).IsToolsOwn()) return true;
        if (!trust_) Probe();
        return trust_ && trust_->IsToolsOwn(folder);
    }
    bool partial() const { return trust_ && !trust_->whole(); }

private:
    void Probe() {
        const std::wstring name = parent_ + L"\\" + kWorkspaceFolderName + L".probe-" + NewNameDigits();
        const UniqueFile probe = CreatePrivateFolderHeld(name, FolderLabel::kHighNoWriteUp, DELETE, 0);
        if (!probe) return;  // nothing to compare with: nothing found is trusted
        Learn(probe.get());
        DeleteByHandle(probe.get());
    }

    std::wstring parent_;
    std::unique_ptr<FolderTrust> trust_;
};

// folder (no trailing backslash) opened and held when it may serve as the base: made now with the
// tool's security, or a real folder (not a link, and leading where its name says) that the tool made
// before (see folder_trust.h); empty otherwise, and then nothing inside it has been touched or read.
UniqueFile TakeBaseFolder(const std::wstring& folder, BaseTrust& trust, std::wstring& realBase) {
    UniqueFile held = CreatePrivateFolderHeld(folder, FolderLabel::kHighNoWriteUp, kHeldAccess, kHeldShare);
    if (held) {
        trust.Learn(held.get());
    } else {
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return UniqueFile();
        held = OpenFolderNoFollow(folder, kHeldAccess, kHeldShare);
        if (!held || !trust.IsToolsOwn(held.get())) return UniqueFile();
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(held.get(), &info) || IsLinkOrFile(info.dwFileAttributes)) return UniqueFile();
    // A link the attributes do not show (Wine reports links only by path) still leads elsewhere.
    realBase = RealPathOf(held.get());
    if (realBase.empty() || LeadsElsewhere(folder) || !SameRealPath(realBase, RealPathOf(folder)))
        return UniqueFile();
    // The carried tools and driver files written here are encrypted for this user where EFS is available.
    ::EncryptFileW(folder.c_str());
    return held;
}

void EstablishBaseFolder(Workspace& workspace) {
    workspace.looked = true;
    workspace.refusal = WorkspaceRefusal::kUntrusted;
    workspace.partialCheck = false;
    const std::wstring parent = LocalAppData();
    if (!IsLocalFolder(parent)) {
        workspace.refusal = WorkspaceRefusal::kRemote;
        return;
    }
    BaseTrust trust(parent);
    for (int alternative = 0; alternative <= kAlternativeBases; ++alternative) {
        std::wstring folder = parent + L"\\" + kWorkspaceFolderName;
        if (alternative > 0) folder += Format(L".%d", alternative);
        std::wstring realBase;
        UniqueFile held = TakeBaseFolder(folder, trust, realBase);
        if (!held) continue;
        workspace.base = folder + L"\\";
        workspace.realBase = realBase;
        workspace.held = std::move(held);
        workspace.refusal = WorkspaceRefusal::kNone;
        workspace.partialCheck = trust.partial();
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
        !StillOpensHeldFolder(WithoutTrailingBackslash(workspace.base), workspace.held.get())) {
        workspace.held.reset();
        workspace.base.clear();
        workspace.realBase.clear();
        workspace.looked = false;
    }
    if (!workspace.looked) EstablishBaseFolder(workspace);
    return workspace.base;
}


WorkspaceRefusal WhyNoWorkspace() {
    Workspace& workspace = TheWorkspace();
    const std::lock_guard<std::mutex> lock(workspace.guard);
    return workspace.looked ? workspace.refusal : WorkspaceRefusal::kNone;
}

bool IsWorkspaceCheckPartial() {
    Workspace& workspace = TheWorkspace();
    const std::lock_guard<std::mutex> lock(workspace.guard);
    return workspace.partialCheck;
}

std::wstring WorkspaceParentFolder() { return LocalAppData(); }

void ForgetWorkspaceBaseFolder() {
    Workspace& workspace = TheWorkspace();
    const std::lock_guard<std::mutex> lock(workspace.guard);
    workspace.looked = false;
    workspace.refusal = WorkspaceRefusal::kNone;
    workspace.partialCheck = false;
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
    // Its own label: the user's programs without elevation can neither read the unpacked images and the
    // secure copy nor write anything in.
    CreatePrivateFolder(folder, FolderLabel::kHighNoReadWriteUp);
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
