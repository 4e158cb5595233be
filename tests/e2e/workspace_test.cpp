// The real tool keeps its workspace empty across a start and a close.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>

#include "common/unique_handle.h"
#include "tests/e2e/tool_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/workspace/workspace_test_support.h"

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
    const auto pendingBefore = PendingDeletionPaths();

    ASSERT_TRUE(Start());
    // Emptied at start; then the driver package was written for its pre-install.
    const std::vector<std::wstring> driverPackage = {L"DIFxAPI.dll", L"driver_x64.exe", L"rockusb.cat",
                                                     L"rockusb.inf", L"rockusb.sys"};
    for (const auto& name : Entries(base))
        EXPECT_NE(driverPackage.end(), std::find(driverPackage.begin(), driverPackage.end(), name))
            << std::string(name.begin(), name.end()) << " was left from before";
    CloseAndExpectExit();
    EXPECT_TRUE(FolderExists(base)) << "the base folder itself stays";
    EXPECT_TRUE(Entries(base).empty());
    EXPECT_EQ(pendingBefore, PendingDeletionPaths()) << "nothing is left for deletion at restart";
}

}  // namespace
}  // namespace vandrel::test
