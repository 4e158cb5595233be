#include "tests/package/package_test_support.h"

#include <shlobj.h>

#include "common/unique_handle.h"
#include "tests/support/temp_dir.h"
#include "tests/support/driving.h"
#include "workspace/folder_walk.h"

namespace vandrel::test {

namespace {

// Adds every file below folder (ending in a backslash) to tree, named by prefix + its relative path.
void ReadTreeInto(const std::wstring& folder, const std::wstring& prefix, FileTree& tree) {
    ForEachEntry(folder, [&](const WIN32_FIND_DATAW& entry) {
        const std::wstring name = entry.cFileName;
        if (IsFolderEntry(entry))
            ReadTreeInto(folder + name + L"\\", prefix + name + L"\\", tree);
        else
            tree[prefix + name] = ReadFileBytes(folder + name);
    });
}

}  // namespace

bool WriteTree(const std::wstring& folder, const FileTree& tree) {
    for (const auto& [relative, content] : tree) {
        // Level by level: SHCreateDirectoryExW stops at MAX_PATH characters, and a tree may go deeper.
        for (size_t slash = relative.find(L'\\'); slash != std::wstring::npos; slash = relative.find(L'\\', slash + 1))
            ::CreateDirectoryW((folder + relative.substr(0, slash)).c_str(), nullptr);
        if (!WriteFileBytes(folder + relative, content)) return false;
    }
    return true;
}

int RunInFolder(const std::wstring& commandLine, const std::wstring& folder, DWORD timeoutMs) {
    std::wstring command = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          folder.c_str(), &startup, &info))
        return -1;
    const ProcessHandles started(info);
    const HANDLE process = started.process.get();
    if (::WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD exitCode = 0;
    if (!::GetExitCodeProcess(process, &exitCode)) return -1;
    return static_cast<int>(exitCode);
}

int MakePackage(const std::wstring& folder, const std::wstring& package, const std::wstring& password,
                const std::wstring& switches) {
    return RunInFolder(L"\"" + BinFolder() + L"7-Zip\\7z.exe\" a -t7z -p" + password + L" -mhe=on " + switches + L" \"" +
                           package + L"\" *",
                       folder, 600000);
}

FileTree ReadTree(const std::wstring& folder) {
    FileTree tree;
    ReadTreeInto(folder, L"", tree);
    return tree;
}

}  // namespace vandrel::test
