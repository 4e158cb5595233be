// Writing and naming the private copy of the upgrade library, and removing copies left behind.
#include <gtest/gtest.h>

#include <set>

#include "tests/support/temp_dir.h"
#include "tests/support/driving.h"
#include "common/text.h"
#include "upgrade/library_loader.h"
#include "upgrade/stale_library_copies.h"
#include "tests/workspace/workspace_test_support.h"
#include "workspace/private_folder.h"

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

// Stale copies in the temporary folder, judged against a folder made now as the loader makes its own.
class StaleLibraryCopies : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        prefix_ = std::wstring(temp) + L"YourApp-";
        madeNow_ = CreatePrivateFolderHeld(Folder(::GetCurrentProcessId(), L"9"), FolderLabel::kHighNoWriteUp);
        ASSERT_TRUE(madeNow_);
        // A process that has ended (its id may be handed out again later: the folder is still not its).
        test::Process ended(test::BinFolder() + L"virtual-transmitter.exe", L"list");
        ASSERT_TRUE(ended.WaitForExit(30000));
        endedPid_ = ended.id();
    }
    void TearDown() override {
        madeNow_.reset();
        for (const std::wstring& folder : made_) test::RemoveTree(folder + L"\\");
    }
    std::wstring Folder(DWORD pid, const wchar_t* ticks) {
        made_.push_back(prefix_ + std::to_wstring(pid) + L"-" + ticks);
        return made_.back();
    }
    // A folder as the loader makes it (tool's own), or as any program makes one (not), with a copy in it.
    void MakeCopyFolder(const std::wstring& folder, bool toolsOwn) {
        ASSERT_TRUE(toolsOwn ? CreatePrivateFolder(folder, FolderLabel::kHighNoWriteUp)
                             : ::CreateDirectoryW(folder.c_str(), nullptr));
        ASSERT_TRUE(test::WriteFileBytes(folder + L"\\RKUpgrade.dll", "copy"));
        ::SetFileAttributesW((folder + L"\\RKUpgrade.dll").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY);
    }

    std::wstring prefix_;
    UniqueFile madeNow_;
    DWORD endedPid_ = 0;
    std::vector<std::wstring> made_;
};

TEST_F(StaleLibraryCopies, OnlyTheToolsOwnOfProcessesThatNoLongerRunAreRemoved) {
    const std::wstring ended = Folder(endedPid_, L"1");
    const std::wstring endedWithMore = Folder(endedPid_, L"2");
    const std::wstring running = Folder(::GetCurrentProcessId(), L"3");
    const std::wstring notTheTools = Folder(endedPid_, L"4");
    const std::wstring otherName = prefix_ + L"notes";
    made_.push_back(otherName);
    for (const std::wstring& folder : {ended, endedWithMore, running, otherName}) MakeCopyFolder(folder, true);
    MakeCopyFolder(notTheTools, false);
    ASSERT_TRUE(test::WriteFileBytes(endedWithMore + L"\\other.txt", "not ours"));

    RemoveStaleLibraryCopies(madeNow_.get());
    EXPECT_FALSE(test::FolderExists(ended)) << "a copy of an ended process goes, with its folder";
    EXPECT_TRUE(test::FolderExists(endedWithMore)) << "a folder holding anything else stays";
    EXPECT_EQ("not ours", test::ReadFileBytes(endedWithMore + L"\\other.txt"));
    EXPECT_TRUE(test::FileExists(running + L"\\RKUpgrade.dll")) << "the copy of a running process stays";
    EXPECT_TRUE(test::FileExists(otherName + L"\\RKUpgrade.dll"));
    EXPECT_TRUE(test::FileExists(notTheTools + L"\\RKUpgrade.dll")) << "a folder the tool did not make stays";
}

// A program of the user puts a link of that name in the temporary folder (or swaps a stale folder for
// one) to a folder whose RKUpgrade.dll it wants gone: the link is not followed, nothing behind it goes.
TEST_F(StaleLibraryCopies, ALinkInPlaceOfAStaleFolderIsLeftAloneWithWhatItLeadsTo) {
    test::TempDir target;
    ASSERT_TRUE(test::WriteFileBytes(target / L"RKUpgrade.dll", "someone else's"));
    const std::wstring linked = Folder(endedPid_, L"5");
    made_.pop_back();  // removed as a link, below
    const test::UnixFolderLink link(linked, target.path());
    ASSERT_TRUE(link.made());

    RemoveStaleLibraryCopies(madeNow_.get());
    EXPECT_EQ("someone else's", test::ReadFileBytes(target / L"RKUpgrade.dll"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(linked.c_str())) << "the link itself stays";
}

TEST(SystemErrorTextTest, GivesTheSystemsTextOrNothing) {
    const std::wstring text = SystemErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(L'\n', text.back()) << "the system's line break stays";
    EXPECT_TRUE(SystemErrorText(0x2FFFFFFF).empty());
}

}  // namespace
}  // namespace vandrel
