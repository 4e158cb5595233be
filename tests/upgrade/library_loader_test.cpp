// Writing and naming the private copy of the upgrade library, and removing copies left behind.
#include <gtest/gtest.h>

#include <set>

#include "tests/support/temp_dir.h"
#include "tests/support/driving.h"
#include "common/text.h"
#include "upgrade/library_loader.h"
#include "upgrade/stale_library_copies.h"

namespace vandrel {
namespace {

TEST(PrivateTempFolder, IsNewlyMadeUnderTempAndNamedAfterTheProcess) {
    const std::wstring folder = MakePrivateTempFolder();
    ASSERT_FALSE(folder.empty());
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    EXPECT_EQ(0u, folder.find(std::wstring(temp) + L"YourApp-" + std::to_wstring(::GetCurrentProcessId()) + L"-"));
    EXPECT_NE(L'\\', folder.back());
    EXPECT_TRUE(test::FolderExists(folder));
    ::RemoveDirectoryW(folder.c_str());
}

TEST(PrivateTempFolder, NeverHandsOutAFolderThatAlreadyExisted) {
    // Calls within one tick of the clock get the same name: only the first may have the folder.
    std::set<std::wstring> made;
    int refused = 0;
    for (int i = 0; i < 200; ++i) {
        const std::wstring folder = MakePrivateTempFolder();
        if (folder.empty()) {
            ++refused;
            continue;
        }
        EXPECT_TRUE(made.insert(folder).second) << "handed out twice: " << std::string(folder.begin(), folder.end());
    }
    for (const auto& folder : made) ::RemoveDirectoryW(folder.c_str());
    EXPECT_GT(refused, 0) << "200 calls should meet the same tick at least once";
}

TEST(StaleLibraryCopies, OnlyThoseOfProcessesThatNoLongerRunAreRemoved) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    // A process that has ended (its id may be handed out again later: the folder is still not its).
    DWORD endedPid = 0;
    {
        test::Process ended(test::BinFolder() + L"virtual-transmitter.exe", L"list");
        ASSERT_TRUE(ended.WaitForExit(30000));
        endedPid = ended.id();
    }
    const std::wstring base = std::wstring(temp) + L"YourApp-";
    const std::wstring ended = base + std::to_wstring(endedPid) + L"-1";
    const std::wstring endedWithMore = base + std::to_wstring(endedPid) + L"-2";
    const std::wstring running = base + std::to_wstring(::GetCurrentProcessId()) + L"-3";
    const std::wstring otherName = base + L"notes";
    for (const std::wstring& folder : {ended, endedWithMore, running, otherName}) {
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        ASSERT_TRUE(test::WriteFileBytes(folder + L"\\RKUpgrade.dll", "copy"));
        ::SetFileAttributesW((folder + L"\\RKUpgrade.dll").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY);
    }
    ASSERT_TRUE(test::WriteFileBytes(endedWithMore + L"\\other.txt", "not ours"));

    RemoveStaleLibraryCopies();
    EXPECT_FALSE(test::FolderExists(ended));
    EXPECT_TRUE(test::FolderExists(endedWithMore)) << "a folder holding anything else stays";
    EXPECT_TRUE(test::FileExists(running + L"\\RKUpgrade.dll")) << "the copy of a running process stays";
    EXPECT_TRUE(test::FileExists(otherName + L"\\RKUpgrade.dll"));
    for (const std::wstring& folder : {ended, endedWithMore, running, otherName}) test::RemoveTree(folder + L"\\");
}

TEST(SystemErrorTextTest, GivesTheSystemsTextOrNothing) {
    const std::wstring text = SystemErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(L'\n', text.back()) << "the system's line break stays";
    EXPECT_TRUE(SystemErrorText(0x2FFFFFFF).empty());
}

}  // namespace
}  // namespace vandrel
