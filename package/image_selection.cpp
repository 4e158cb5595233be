#include "package/image_selection.h"

#include <windows.h>
#include <shlwapi.h>

#include <cwchar>

#include "common/text.h"
#include "workspace/file_content.h"
#include "workspace/folder_walk.h"
#include "workspace/path_form.h"

namespace vandrel {

namespace {

constexpr size_t kInitialCandidates = 64;

enum class TagMatch { kNone, kFollowedByDigits, kExact };

bool IsAsciiDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// How upperName carries tag ("V<version>"): exactly (no digit right after it: "V1" in "fw_V1.img" or
// "TX_V1_FW.img"), only followed by digits ("V1" in "fw_V10.img"), or not at all.
TagMatch MatchVersionTag(const std::wstring& upperName, const std::wstring& tag) {
    TagMatch match = TagMatch::kNone;
    for (size_t at = upperName.find(tag); at != std::wstring::npos; at = upperName.find(tag, at + 1)) {
        const size_t next = at + tag.size();
        if (next == upperName.size() || !IsAsciiDigit(upperName[next])) return TagMatch::kExact;
        match = TagMatch::kFollowedByDigits;
    }
    return match;
}

std::wstring UpperFileName(const std::wstring& path) {
    const wchar_t* name = ::PathFindFileNameW(path.c_str());
    return AsciiUpper((name && *name) ? name : path);
}

bool AllTheSame(const std::vector<std::wstring>& files, MessagePump& pump) {
    for (size_t i = 1; i < files.size(); ++i)
        if (!HaveSameContents(files.front(), files[i], pump)) return false;
    return true;
}

}  // namespace

ImageChoice FindImageForHardwareVersion(const std::wstring& folder, const std::wstring& pattern, int hardwareVersion,
                                        std::wstring& imagePath, std::vector<std::wstring>* conflicting,
                                        MessagePump& pump) {
    std::vector<std::wstring> candidates;
    candidates.reserve(kInitialCandidates);
    CollectFilesRecursive(folder, pattern, candidates);
    return PickImageByVersionTag(candidates, hardwareVersion, imagePath, conflicting, pump);
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

ImageChoice PickImageByVersionTag(const std::vector<std::wstring>& list, int hardwareVersion, std::wstring& imagePath,
                                  std::vector<std::wstring>* conflicting, MessagePump& pump) {
    const std::wstring tag = AsciiUpper(Format(L"V%d", hardwareVersion));
    std::vector<std::wstring> exact, followedByDigits;
    for (const std::wstring& path : list) {
        const TagMatch match = MatchVersionTag(UpperFileName(path), tag);
        if (match == TagMatch::kExact) exact.push_back(path);
        if (match == TagMatch::kFollowedByDigits) followedByDigits.push_back(path);
    }
    // "fw_V10.img" is the V10 image whenever an image carries "V1" itself.
    const std::vector<std::wstring>& candidates = exact.empty() ? followedByDigits : exact;
    if (candidates.empty()) return ImageChoice::kNone;
    // Two different images that both claim the version: taking the first listed would be a guess.
    if (candidates.size() > 1 && !AllTheSame(candidates, pump)) {
        if (conflicting) *conflicting = candidates;
        return ImageChoice::kAmbiguous;
    }
    imagePath = candidates.front();
    return ImageChoice::kChosen;
}

}  // namespace vandrel
