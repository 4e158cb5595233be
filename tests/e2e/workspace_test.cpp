// The real tool keeps its workspace empty across a start and a close.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/e2e/tool_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/workspace/workspace_test_support.h"

namespace vandrel::test {
namespace {

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
    for (const auto& name : ListEntries(base))
        EXPECT_NE(driverPackage.end(), std::find(driverPackage.begin(), driverPackage.end(), name))
            << std::string(name.begin(), name.end()) << " was left from before";
    CloseAndExpectExit();
    EXPECT_TRUE(FolderExists(base)) << "the base folder itself stays";
    EXPECT_TRUE(ListEntries(base).empty());
    EXPECT_EQ(pendingBefore, PendingDeletionPaths()) << "nothing is left for deletion at restart";
}

}  // namespace
}  // namespace vandrel::test
