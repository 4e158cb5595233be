#include "workspace/embedded_files.h"

#include <utility>

#include "resources/resource.h"
#include "workspace/carried_file.h"
#include "workspace/file_content.h"
#include "workspace/folder_walk.h"
#include "workspace/secure_delete.h"
#include "workspace/secure_workspace.h"

namespace vandrel {

namespace {

struct EmbeddedFile {
    int id;
    const wchar_t* name;
};
// In this order: a failure stops the extraction, and the files after it are left alone.
constexpr EmbeddedFile kDriverPackage[] = {
    {IDR_DIFXAPI_DLL, L"DIFxAPI.dll"}, {IDR_DRIVER_X64_EXE, kDriverToolName}, {IDR_ROCKUSB_CAT, L"rockusb.cat"},
    {IDR_ROCKUSB_INF, L"rockusb.inf"}, {IDR_ROCKUSB_SYS, L"rockusb.sys"},
};

// 7-Zip's console program and the library it loads from its own folder; the library first, so that the
// program is never there without it.
constexpr EmbeddedFile kExtractor[] = {{IDR_7Z_DLL, kBuiltIn7zDllName}, {IDR_7ZA_EXE, kBuiltIn7zaName}};

HMODULE Self() { return ::GetModuleHandleW(nullptr); }

// The carried file id at path, held open; empty when the resource is missing or the file differs.
UniqueFile PinEmbeddedFile(int id, const std::wstring& path) {
    ResourceBytes bytes;
    if (!LoadRcData(Self(), id, bytes)) return UniqueFile();
    return OpenHoldingExactly(path, bytes);
}

bool IsCarriedName(const wchar_t* name) {
    const auto same = [name](const wchar_t* carried) { return ::lstrcmpiW(name, carried) == 0; };
    for (const EmbeddedFile& file : kDriverPackage)
        if (same(file.name)) return true;
    return same(kBuiltIn7zaName) || same(kBuiltIn7zDllName);
}

// The base folder is the driver tool's own folder, the first place where it looks for the DLLs it loads,
// and it runs with administrator rights: nothing may lie there but what the tool carries (7-Zip writes into
// the workspace too, and a package that took it over could have left a DLL there). Whatever else is there
// goes now; false when something stays.
bool OnlyCarriedFilesIn(const std::wstring& base) {
    bool clean = true;
    ForEachEntry(base, [&](const WIN32_FIND_DATAW& entry) {
        if (IsFolderEntry(entry) || IsCarriedName(entry.cFileName)) return;
        if (!DeleteFileWithRetry(base + entry.cFileName, 0)) clean = false;
    });
    return clean;
}

}  // namespace

bool ExtractDriverPackage() {
    // The base folder comes owner-only, labelled and EFS-marked from GetWorkspaceBaseFolder.
    const std::wstring base = GetWorkspaceBaseFolder();
    if (base.empty()) return false;
    for (const EmbeddedFile& file : kDriverPackage)
        if (!WriteResourceToFile(Self(), file.id, base + file.name, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_SEQUENTIAL_SCAN))
            return false;
    return true;
}

std::wstring ExtractBuiltIn7za() {
    const std::wstring base = GetWorkspaceBaseFolder();
    if (base.empty()) return {};
    for (const EmbeddedFile& file : kExtractor) {
        const std::wstring target = base + file.name;
        bool written = false;
        if (!WriteResourceToFile(Self(), file.id, target, FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN, &written))
            return {};
        // Drops the temporary attribute given at creation.
        if (written) ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_HIDDEN);
    }
    return base + kBuiltIn7zaName;
}

bool PinDriverPackage(PinnedFiles& pinned) {
    const std::wstring base = GetWorkspaceBaseFolder();
    if (base.empty() || !OnlyCarriedFilesIn(base)) return false;
    PinnedFiles files;
    for (const EmbeddedFile& file : kDriverPackage) {
        UniqueFile held = PinEmbeddedFile(file.id, base + file.name);
        if (!held) return false;
        files.push_back(std::move(held));
    }
    for (UniqueFile& held : files) pinned.push_back(std::move(held));
    return true;
}

bool PinBuiltIn7za(const std::wstring& path, PinnedFiles& pinned) {
    const size_t name = path.find_last_of(L'\\') + 1;
    if (name == 0 || path.compare(name, std::wstring::npos, kBuiltIn7zaName) != 0) return false;
    UniqueFile program = PinEmbeddedFile(IDR_7ZA_EXE, path);
    UniqueFile library = program ? PinEmbeddedFile(IDR_7Z_DLL, path.substr(0, name) + kBuiltIn7zDllName) : UniqueFile();
    if (!library) return false;
    pinned.push_back(std::move(program));
    pinned.push_back(std::move(library));
    return true;
}

}  // namespace vandrel
