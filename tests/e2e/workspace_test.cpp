// The real tool keeps its workspace empty across a start and a close.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/e2e/tool_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_transmitter_client.h"
#include "tests/workspace/workspace_test_support.h"
#include "workspace/path_form.h"

namespace vandrel::test {
namespace {

using ToolWorkspace = ToolTest;

TEST_F(ToolWorkspace, StartEmptiesTheWorkspaceAndCloseLeavesItEmpty) {
    const std::wstring base = WorkspaceBase();
    // Made (when missing) as the tool makes it: a folder made by any other means is not taken.
    ASSERT_EQ(base, GetWorkspaceBaseFolder());
    ForgetWorkspaceBaseFolder();
    ::CreateDirectoryW((base + L"leftover").c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(base + L"leftover\\fw_old.img", "old image"));
    ASSERT_TRUE(WriteFileBytes(base + L"7za.exe", "stale"));  // left by a version that carried 7za.exe
    ASSERT_TRUE(WriteFileBytes(base + L"7z.dll", "stale"));
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

// A process of the user without elevation has made the workspace base folder a link to a folder whose
// files it wants destroyed: a large one (housekeeping shortens large files before deleting them), one in
// a subfolder, and one that is a second name of a file elsewhere. The tool works in a folder beside it,
// writes the device, closes, and leaves every one of them as it was.
TEST_F(ToolWorkspace, ABaseFolderThatIsALinkIsNeitherEmptiedNorUsed) {
    const SavedWorkspace saved;
    ASSERT_TRUE(saved.moved());
    ForgetWorkspaceBaseFolder();
    ASSERT_TRUE(::RemoveDirectoryW(WithoutTrailingBackslash(saved.base()).c_str()));
    TempDir victim, elsewhere, firmware;
    const std::string large(5 << 20, 'L');
    ASSERT_TRUE(::CreateDirectoryW((victim / L"sub").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(victim / L"large.bin", large));
    ASSERT_TRUE(WriteFileBytes(victim / L"sub\\notes.txt", "notes"));
    ASSERT_TRUE(WriteFileBytes(elsewhere / L"original.bin", large));
    ASSERT_TRUE(MakeUnixHardLink(victim / L"second-name.bin", elsewhere / L"original.bin"));
    const UnixFolderLink link(saved.base(), victim.path());
    ASSERT_TRUE(link.made());
    const std::wstring alternative = WithoutTrailingBackslash(saved.base()) + L".1\\";
    RockusbServiceGuard service;
    ASSERT_TRUE(service.Install());
    PluggedDevices devices;
    const std::string image(300000, '\x31');
    ASSERT_TRUE(WriteFileBytes(firmware / L"fw_V1.img", image));

    ASSERT_TRUE(Start());
    const std::wstring device = devices.Plug(L"--pid 0x110B --upgrade-ms 200");
    ASSERT_FALSE(device.empty());
    SetFirmwarePath(firmware / L"fw_V1.img");
    EXPECT_EQ(L"Write successful", ClickAndReadBox(IDC_START_WRITING, 60000).text);
    EXPECT_EQ(image, ReadFileBytes(VirtualFlashPath(device)));
    CloseAndExpectExit();

    EXPECT_EQ(large, ReadFileBytes(victim / L"large.bin"));
    EXPECT_EQ("notes", ReadFileBytes(victim / L"sub\\notes.txt"));
    EXPECT_EQ(large, ReadFileBytes(victim / L"second-name.bin"));
    EXPECT_EQ(large, ReadFileBytes(elsewhere / L"original.bin"));
    EXPECT_EQ(3u, ListEntries(victim.path()).size());
    EXPECT_TRUE(FolderExists(alternative)) << "the tool worked beside the link";
    EXPECT_TRUE(ListEntries(alternative).empty());
    RemoveTree(alternative);
}

}  // namespace
}  // namespace vandrel::test
