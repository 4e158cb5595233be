#include "workspace/secure_workspace.h"

#include <windows.h>
#include <shlobj.h>

#include "common/text.h"
#include "workspace/owner_only_acl.h"

namespace vandrel {

namespace {

NameDigitsSource g_nameDigitsSource = &NewNameDigits;

// One path per process, written only on the dialog's thread; the static is initialised thread-safely.
std::wstring& CurrentRunFolder() {
    static std::wstring folder;
    return folder;
}

// Fallback name when no GUID can be made: UTC time to the millisecond, 17 digits.
std::wstring TimestampRunFolder(const std::wstring& base) {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    return Format(L"%s%04u%02u%02u%02u%02u%02u%03u\\", base.c_str(), now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
}

}  // namespace

std::wstring MakeNameDigits() { return g_nameDigitsSource(); }

NameDigitsSource SetNameDigitsSource(NameDigitsSource source) {
    const NameDigitsSource previous = g_nameDigitsSource;
    g_nameDigitsSource = source ? source : &NewNameDigits;
    return previous;
}

std::wstring GetWorkspaceBaseFolder() {
    wchar_t localAppData[MAX_PATH] = {};
    // Result not examined: an unavailable folder leaves the text empty.
    ::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, localAppData);
    const std::wstring base = Format(L"%s\\QuorraUpgrade\\", localAppData);
    ::SHCreateDirectoryExW(nullptr, base.c_str(), nullptr);
    return base;
}

std::wstring GetRunFolder(bool forceNew) {
    std::wstring& current = CurrentRunFolder();
    if (!forceNew && !current.empty()) return current;

    const std::wstring base = GetWorkspaceBaseFolder();
    const std::wstring digits = MakeNameDigits();
    current = digits.empty() ? TimestampRunFolder(base) : base + digits + L"\\";

    ::SHCreateDirectoryExW(nullptr, current.c_str(), nullptr);
    ApplyOwnerOnlyAcl(current);
    // Files created in the folder from now on are encrypted for this user where EFS is available.
    ::EncryptFileW(current.c_str());
    return current;
}

bool IsInRunFolder(const std::wstring& path) {
    if (path.empty()) return false;
    const std::wstring folder = AsciiLower(GetRunFolder(false));
    return AsciiLower(path).compare(0, folder.size(), folder) == 0;
}

bool IsInWorkspace(const std::wstring& path) {
    const std::wstring base = AsciiLower(GetWorkspaceBaseFolder());
    const std::wstring lowered = AsciiLower(path);
    return lowered.size() > base.size() && lowered.compare(0, base.size(), base) == 0 &&
           (lowered + L"\\").find(L"\\..\\") == std::wstring::npos;
}

}  // namespace vandrel
