// The real tool keeps its workspace empty across a start and a close.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "common/unique_handle.h"
#include "tests/e2e/tool_fixture.h"
#include "tests/support/temp_dir.h"

namespace vandrel::test {
namespace {

std::wstring WorkspaceBase() {
    wchar_t local[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local);
    return std::wstring(local) + L"\\QuorraUpgrade\\";
}

std::vector<std::wstring> Entries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry{};
    UniqueFind find(::FindFirstFileW((folder + L"*").c_str(), &entry));
    if (!find) return names;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (::FindNextFileW(find.get(), &entry));
    return names;
}

using WorkspaceTest = ToolTest;

TEST_F(WorkspaceTest, StartEmptiesTheWorkspaceAndCloseLeavesItEmpty) {
    const std::wstring base = WorkspaceBase();
    ::CreateDirectoryW(base.c_str(), nullptr);
    ::CreateDirectoryW((base + L"leftover").c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(base + L"leftover\\fw_old.img", "old image"));
    ASSERT_TRUE(WriteFileBytes(base + L"7za.exe", "stale"));

    ASSERT_TRUE(Start());
    EXPECT_TRUE(Entries(base).empty()) << "the dialog empties the workspace when it starts";
    CloseAndExpectExit();
    EXPECT_TRUE(FolderExists(base)) << "the base folder itself stays";
    EXPECT_TRUE(Entries(base).empty());
}

}  // namespace
}  // namespace vandrel::test
