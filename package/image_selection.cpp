#include "package/image_selection.h"

#include <windows.h>
#include <shlwapi.h>

#include <cwchar>

#include "common/text.h"
#include "workspace/file_toolkit.h"

namespace vandrel {

namespace {

constexpr size_t kInitialCandidates = 64;

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
    const std::wstring parent = WithTrailingBackslash(folder);
    ForEachEntry(parent, [&](const WIN32_FIND_DATAW& entry) {
        // A link may lead out of the unpacked package (a package can carry one); nothing behind it may be
        // chosen, so links are skipped, folder links and file links alike.
        if (IsLinkEntry(entry)) return;
        const std::wstring child = parent + entry.cFileName;
        if (IsFolderEntry(entry))
            CollectFilesRecursive(child, pattern, list);
        else if (::PathMatchSpecW(entry.cFileName, pattern.c_str()))
            list.push_back(child);
    });
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
