#include "package/image_selection.h"

#include <windows.h>
#include <shlwapi.h>

#include <cwchar>

#include "common/text.h"
#include "common/unique_handle.h"

namespace vandrel {

namespace {

constexpr size_t kInitialCandidates = 64;

bool IsDotEntry(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

// Whether upperName contains tag ("V<version>") with no digit right after it.
bool CarriesVersionTag(const std::wstring& upperName, const std::wstring& tag) {
    for (size_t at = upperName.find(tag); at != std::wstring::npos; at = upperName.find(tag, at + 1)) {
        // "V1" must not be the start of "V10" or "V12": that is another version's image.
        const size_t next = at + tag.size();
        if (next == upperName.size() || upperName[next] < L'0' || upperName[next] > L'9') return true;
    }
    return false;
}

}  // namespace

bool FindImageForHardwareVersion(const std::wstring& folder, const std::wstring& pattern, int hardwareVersion,
                                 std::wstring& imagePath) {
    std::vector<std::wstring> candidates;
    candidates.reserve(kInitialCandidates);
    CollectFilesRecursive(folder, pattern, candidates);
    return PickImageByVersionTag(candidates, hardwareVersion, imagePath);
}

void CollectFilesRecursive(const std::wstring& folder, const std::wstring& pattern,
                           std::vector<std::wstring>& list) {
    WIN32_FIND_DATAW entry{};
    UniqueFind find(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!find) return;  // missing or unreadable: this subtree contributes nothing
    do {
        if (IsDotEntry(entry.cFileName)) continue;
        // A link may lead out of the unpacked package (a package can carry one); nothing behind it may be
        // chosen, so links are skipped, folder links and file links alike.
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        // The run folder ends in a backslash already: top-level paths carry a doubled one, which opens fine.
        const std::wstring child = folder + L"\\" + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CollectFilesRecursive(child, pattern, list);
        else if (::PathMatchSpecW(entry.cFileName, pattern.c_str()))
            list.push_back(child);
    } while (::FindNextFileW(find.get(), &entry));
}

bool PickImageByVersionTag(const std::vector<std::wstring>& list, int hardwareVersion, std::wstring& imagePath) {
    const std::wstring tag = AsciiUpper(Format(L"V%d", hardwareVersion));
    for (const std::wstring& path : list) {
        const wchar_t* name = ::PathFindFileNameW(path.c_str());
        const std::wstring fileName = (name && *name) ? name : path;
        if (CarriesVersionTag(AsciiUpper(fileName), tag)) {
            imagePath = path;
            return true;
        }
    }
    return false;
}

}  // namespace vandrel
