// Writing and naming the private copy of the upgrade library.
#include <gtest/gtest.h>

#include <set>

#include "tests/support/temp_dir.h"
#include "upgrade/library_loader.h"

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

TEST(ResourceBlob, WritesTheResourceExactly) {
    test::TempDir folder;
    const std::wstring target = folder / L"blob.bin";
    ASSERT_TRUE(WriteResourceBlob(901, target));
    EXPECT_EQ(std::string("library bytes\n"), test::ReadFileBytes(target));
}

TEST(ResourceBlob, FailsForAMissingResourceOrAnUnwritablePath) {
    test::TempDir folder;
    EXPECT_FALSE(WriteResourceBlob(999, folder / L"missing.bin"));
    EXPECT_FALSE(test::FileExists(folder / L"missing.bin"));
    EXPECT_FALSE(WriteResourceBlob(901, folder / L"no\\such\\folder\\blob.bin"));
}

TEST(SystemErrorTextTest, GivesTheSystemsTextOrNothing) {
    const std::wstring text = SystemErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(L'\n', text.back()) << "the system's line break stays";
    EXPECT_TRUE(SystemErrorText(0x2FFFFFFF).empty());
}

}  // namespace
}  // namespace vandrel
