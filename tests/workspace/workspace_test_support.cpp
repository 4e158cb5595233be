#include "tests/workspace/workspace_test_support.h"

#include <shlobj.h>

#include "common/text.h"
#include "tests/support/temp_dir.h"
#include "tests/support/driving.h"
#include "workspace/folder_walk.h"
#include "workspace/path_form.h"
#include "workspace/secure_workspace.h"

namespace vandrel::test {

namespace {

const wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingValue[] = L"PendingFileRenameOperations";

// The value as (source, destination) pairs; a deletion has an empty destination.
std::vector<std::pair<std::wstring, std::wstring>> ReadPendingPairs(HKEY key) {
    DWORD type = 0, size = 0;
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    if (::RegQueryValueExW(key, kPendingValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return pairs;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key, kPendingValue, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return pairs;
    const size_t count = size / sizeof(wchar_t);
    size_t pos = 0;
    auto next = [&] {
        std::wstring text;
        while (pos < count && data[pos] != L'\0') text += data[pos++];
        ++pos;
        return text;
    };
    while (pos < count) {
        std::wstring source = next();
        if (source.empty() && pos >= count) break;  // the list's closing terminator
        pairs.emplace_back(source, next());
    }
    return pairs;
}

bool NamesPath(const std::wstring& source, const std::wstring& path) {
    // Recorded in NT form: "\??\C:\...".
    return AsciiLower(source) == AsciiLower(L"\\??\\" + path);
}

std::wstring Widen(const char* text) {
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? length - 1 : 0, L'\0');
    if (length > 1) ::MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], length);
    return wide;
}

// The Unix path of a Windows path, through Wine's own kernel32 export.
std::wstring UnixPathOf(const std::wstring& path) {
    using WineGetUnixFileName = char*(__cdecl*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<WineGetUnixFileName>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return {};
    UniqueHeap unixPath(toUnix(path.c_str()));
    return unixPath ? Widen(static_cast<const char*>(unixPath.get())) : std::wstring();
}

// Starts a Unix program through cmd's "start /unix" and waits for cmd (not the program) to end.
bool StartUnix(const std::wstring& arguments) {
    std::wstring command = L"C:\\windows\\system32\\cmd.exe /c start /unix " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &process))
        return false;
    const ProcessHandles started(process);
    return ::WaitForSingleObject(started.process.get(), 10000) == WAIT_OBJECT_0;
}

}  // namespace

SavedWorkspace::SavedWorkspace() : base_(GetWorkspaceBaseFolder()) {
    saved_ = WithoutTrailingBackslash(base_) + L".saved-" + NewNameDigits();
    ForgetWorkspaceBaseFolder();  // this process holds it against renaming
    moved_ = ::MoveFileW(WithoutTrailingBackslash(base_).c_str(), saved_.c_str()) != FALSE;
    GetWorkspaceBaseFolder();  // made again, empty
}

SavedWorkspace::~SavedWorkspace() {
    if (!moved_) return;
    ForgetWorkspaceBaseFolder();
    WaitFor([&] {
        RemoveTree(base_);
        return ::MoveFileW(saved_.c_str(), WithoutTrailingBackslash(base_).c_str()) != FALSE;
    }, 5000);
}

void WorkspaceTest::SetUp() {
    workspace_ = std::make_unique<SavedWorkspace>();
    ASSERT_TRUE(workspace_->moved()) << "could not move the workspace base folder aside, error " << ::GetLastError();
    ASSERT_EQ(base(), GetWorkspaceBaseFolder());
    ASSERT_TRUE(ListEntries(base()).empty());
}

std::vector<std::wstring> ListEntries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    ForEachEntry(folder, [&](const WIN32_FIND_DATAW& entry) { names.push_back(entry.cFileName); });
    return names;
}

bool IsUpperHex(const std::wstring& text, size_t length) {
    if (text.size() != length) return false;
    for (wchar_t c : text)
        if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'))) return false;
    return true;
}

DWORD AttributesOf(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()); }

bool IsRegisteredForDeletion(const std::wstring& path) {
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return false;
    for (const auto& pair : ReadPendingPairs(key.get()))
        if (NamesPath(pair.first, path) && pair.second.empty()) return true;
    return false;
}

std::vector<std::wstring> PendingDeletionPaths() {
    std::vector<std::wstring> paths;
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return paths;
    for (const auto& pair : ReadPendingPairs(key.get()))
        if (pair.second.empty()) paths.push_back(pair.first);
    return paths;
}

void RemoveDeletionRegistration(const std::wstring& path) {
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.put()) !=
        ERROR_SUCCESS)
        return;
    std::vector<wchar_t> data;
    bool any = false;
    for (const auto& pair : ReadPendingPairs(key.get())) {
        if (NamesPath(pair.first, path)) continue;
        any = true;
        for (const std::wstring* text : {&pair.first, &pair.second}) {
            data.insert(data.end(), text->begin(), text->end());
            data.push_back(L'\0');
        }
    }
    if (!any) {
        ::RegDeleteValueW(key.get(), kPendingValue);
        return;
    }
    data.push_back(L'\0');
    ::RegSetValueExW(key.get(), kPendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                     static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

UniqueFile LockFile(const std::wstring& path) {
    return UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

UnixFolderLink::UnixFolderLink(const std::wstring& link, const std::wstring& target)
    : link_(WithoutTrailingBackslash(link)) {
    const std::wstring unixLink = UnixPathOf(link_);
    const std::wstring unixTarget = UnixPathOf(target);
    if (unixLink.empty() || unixTarget.empty()) return;
    if (!StartUnix(L"/bin/ln -s \"" + unixTarget + L"\" \"" + unixLink + L"\"")) return;
    made_ = WaitFor([&] { return AttributesOf(link_) != INVALID_FILE_ATTRIBUTES; }, 10000);
}

UnixFolderLink::~UnixFolderLink() {
    if (!made_) return;
    const std::wstring unixLink = UnixPathOf(link_);
    if (unixLink.empty() || !StartUnix(L"/bin/rm -f \"" + unixLink + L"\"")) return;
    WaitFor([&] { return AttributesOf(link_) == INVALID_FILE_ATTRIBUTES; }, 10000);
}

namespace {

const wchar_t kUserShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const wchar_t kLocalAppData[] = L"Local AppData";

bool SetLocalAppData(const std::wstring& folder) {
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kUserShellFolders, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return false;
    return ::RegSetValueExW(key.get(), kLocalAppData, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                            static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::wstring CurrentLocalAppData() {
    wchar_t local[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local);
    return local;
}

}  // namespace

RelocatedLocalAppData::RelocatedLocalAppData(const std::wstring& folder) : previous_(CurrentLocalAppData()) {
    ForgetWorkspaceBaseFolder();
    relocated_ = !previous_.empty() && SetLocalAppData(WithoutTrailingBackslash(folder)) &&
                 AsciiLower(CurrentLocalAppData()) == AsciiLower(WithoutTrailingBackslash(folder));
}

RelocatedLocalAppData::~RelocatedLocalAppData() {
    ForgetWorkspaceBaseFolder();
    if (!previous_.empty()) SetLocalAppData(previous_);
}

bool MakeUnixHardLink(const std::wstring& link, const std::wstring& target) {
    const std::wstring unixLink = UnixPathOf(link);
    const std::wstring unixTarget = UnixPathOf(target);
    if (unixLink.empty() || unixTarget.empty()) return false;
    // "-f" first: Wine's "start /unix" keeps the quotes of a first argument that has them.
    if (!StartUnix(L"/bin/ln -f \"" + unixTarget + L"\" \"" + unixLink + L"\"")) return false;
    return WaitFor([&] { return AttributesOf(link) != INVALID_FILE_ATTRIBUTES; }, 10000);
}

namespace {

ULONGLONG VolumeBytes(const std::wstring& folder) {
    ULARGE_INTEGER total{};
    return ::GetDiskFreeSpaceExW(folder.c_str(), nullptr, &total, nullptr) ? total.QuadPart : 0;
}

}  // namespace

SmallVolume::SmallVolume(const std::wstring& folder, unsigned sizeMiB) : folder_(folder) {
    const std::wstring unixFolder = UnixPathOf(folder);
    const ULONGLONG size = ULONGLONG{sizeMiB} * 1024 * 1024;
    if (unixFolder.empty() || VolumeBytes(folder) == size) return;
    if (!StartUnix(L"/bin/mount -t tmpfs -o size=" + std::to_wstring(sizeMiB) + L"m tmpfs \"" + unixFolder + L"\""))
        return;
    mounted_ = WaitFor([&] { return VolumeBytes(folder_) == size; }, 10000);
}

SmallVolume::~SmallVolume() {
    if (!mounted_) return;
    const ULONGLONG size = VolumeBytes(folder_);
    const std::wstring unixFolder = UnixPathOf(folder_);
    if (unixFolder.empty() || !StartUnix(L"/bin/umount -l \"" + unixFolder + L"\"")) return;
    WaitFor([&] { return VolumeBytes(folder_) != size; }, 10000);
}

}  // namespace vandrel::test
