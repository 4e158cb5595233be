#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "tests/workspace/workspace_test_support.h"
#include "workspace/housekeeping.h"
#include "workspace/secure_image.h"
#include "workspace/secure_workspace.h"
#include "workspace/workspace_log_folder.h"

namespace vandrel::test {
namespace {

bool MakeFolder(const std::wstring& path) { return ::CreateDirectoryW(path.c_str(), nullptr) != FALSE; }

bool WriteHidden(const std::wstring& path, const std::string& bytes) {
    return WriteFileBytes(path, bytes) && ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
}

using CleanWorkspaceTest = WorkspaceTest;

TEST_F(CleanWorkspaceTest, EmptyBaseFolderStaysAndStaysEmpty) {
    CleanWorkspace();
    EXPECT_TRUE(FolderExists(base()));
    EXPECT_TRUE(ListEntries(base()).empty());
}

TEST_F(CleanWorkspaceTest, RemovesEveryFileAndNestedFolderButNotTheBase) {
    ASSERT_TRUE(WriteHidden(base() + L"7z.exe", "MZ"));
    ASSERT_TRUE(WriteHidden(base() + L"7z.dll", "MZ"));
    ASSERT_TRUE(WriteFileBytes(base() + L"rockusb.inf", "[Version]"));
    const std::wstring runA = base() + L"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\\";
    const std::wstring runB = base() + L"20240102030405678\\";
    const std::wstring decoy = base() + L"CCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCC\\";
    for (const std::wstring& folder : {runA, runA + L"pkg\\", runA + L"pkg\\V1\\", runA + L"pkg\\V1\\deep\\", runB,
                                       runB + L"empty\\", runB + L"imgs\\", decoy})
        ASSERT_TRUE(MakeFolder(folder));
    ASSERT_TRUE(WriteHidden(runA + L"fw_0123.img", "secure"));
    ASSERT_TRUE(WriteFileBytes(runA + L"pkg\\V1\\fw_V1.img", "one"));
    ASSERT_TRUE(WriteFileBytes(runA + L"pkg\\V1\\deep\\notes.txt", "n"));
    ASSERT_TRUE(WriteFileBytes(runB + L"imgs\\fw_V2.img", "two"));
    ASSERT_TRUE(WriteHidden(decoy + L"fw_4567.img", "random"));

    CleanWorkspace();
    EXPECT_TRUE(FolderExists(base()));
    EXPECT_TRUE(ListEntries(base()).empty());
}

TEST_F(CleanWorkspaceTest, LockedFileKeepsItsFolderUntilTheNextHousekeeping) {
    const std::wstring run = GetRunFolder(true);
    ASSERT_TRUE(MakeFolder(run + L"pkg\\"));
    ASSERT_TRUE(WriteFileBytes(run + L"pkg\\fw_V0.img", "zero"));
    ASSERT_TRUE(WriteFileBytes(run + L"locked.img", "held"));
    ASSERT_TRUE(WriteHidden(base() + L"7z.exe", "MZ"));
    ASSERT_TRUE(WriteHidden(base() + L"7z.dll", "MZ"));
    const std::wstring locked = run + L"locked.img";
    RegistrationCleanup cleanup(locked);
    UniqueFile lock = LockFile(locked);
    ASSERT_TRUE(lock);

    CleanWorkspace();  // spends the 5-second budget on the locked file
    EXPECT_TRUE(IsRegisteredForDeletion(locked));
    EXPECT_EQ(std::vector<std::wstring>{L"locked.img"}, ListEntries(run));
    EXPECT_EQ(1u, ListEntries(base()).size());

    lock.reset();
    CleanWorkspace();
    EXPECT_TRUE(ListEntries(base()).empty());
}

TEST(RemoveFolderTree, RemovesTheTreeWithOrWithoutTrailingBackslash) {
    TempDir dir;
    for (const std::wstring& given : {dir / L"tree\\", dir / L"tree"}) {
        ASSERT_TRUE(MakeFolder(dir / L"tree"));
        ASSERT_TRUE(MakeFolder(dir / L"tree\\a"));
        ASSERT_TRUE(MakeFolder(dir / L"tree\\a\\b"));
        ASSERT_TRUE(WriteHidden(dir / L"tree\\a\\b\\fw.img", "x"));
        ASSERT_TRUE(WriteFileBytes(dir / L"tree\\top.txt", "x"));
        ASSERT_TRUE(WriteFileBytes(dir / L"treeside.txt", "beside"));

        RemoveFolderTree(given);
        EXPECT_FALSE(FolderExists(dir / L"tree"));
        EXPECT_EQ("beside", ReadFileBytes(dir / L"treeside.txt"));
    }
    RemoveFolderTree(L"");  // must not touch the current directory
}

TEST(RemoveFolderTree, NeverFollowsAFolderLinkOutOfTheTree) {
    TempDir dir;
    const std::wstring outside = dir / L"outside\\";
    ASSERT_TRUE(MakeFolder(outside));
    ASSERT_TRUE(MakeFolder(outside + L"inner"));
    ASSERT_TRUE(WriteFileBytes(outside + L"keep.txt", "keep"));
    ASSERT_TRUE(WriteFileBytes(outside + L"inner\\deep.txt", "deep"));
    const std::wstring tree = dir / L"tree\\";
    ASSERT_TRUE(MakeFolder(tree));
    ASSERT_TRUE(MakeFolder(tree + L"sub"));
    ASSERT_TRUE(WriteFileBytes(tree + L"a.txt", "a"));
    ASSERT_TRUE(WriteFileBytes(tree + L"sub\\b.txt", "b"));
    UnixFolderLink link(tree + L"link", dir / L"outside");
    ASSERT_TRUE(link.made());
    ASSERT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
              AttributesOf(tree + L"link") & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));

    RemoveFolderTree(tree);
    EXPECT_EQ("keep", ReadFileBytes(outside + L"keep.txt"));
    EXPECT_EQ("deep", ReadFileBytes(outside + L"inner\\deep.txt"));
    EXPECT_FALSE(FileExists(tree + L"a.txt"));
    EXPECT_FALSE(FolderExists(tree + L"sub"));
    // Wine cannot remove the link itself (Windows removes it with the tree), so only it may remain.
    for (const std::wstring& name : ListEntries(tree)) EXPECT_EQ(L"link", name);
}

using CleanWorkspaceLinks = WorkspaceTest;

TEST_F(CleanWorkspaceLinks, AFolderLinkInTheBaseFolderIsNotFollowed) {
    TempDir outside;
    ASSERT_TRUE(WriteFileBytes(outside / L"keep.txt", "keep"));
    ASSERT_TRUE(MakeFolder(outside / L"inner"));
    ASSERT_TRUE(WriteFileBytes(outside / L"inner\\deep.txt", "deep"));
    UnixFolderLink link(base() + L"LINKED", outside / L"");
    ASSERT_TRUE(link.made());

    CleanWorkspace();
    EXPECT_EQ("keep", ReadFileBytes(outside / L"keep.txt"));
    EXPECT_EQ("deep", ReadFileBytes(outside / L"inner\\deep.txt"));
}

// The workspace's Log folder holds the history and the library's log when Log beside the tool is
// refused: every housekeeping, the close's included, keeps it with what it holds, and only it.
TEST_F(CleanWorkspaceTest, KeepsTheWorkspacesLogFolderWithItsFiles) {
    std::wstring logFolder;
    ASSERT_TRUE(OpenWorkspaceLogFolder(logFolder));
    EXPECT_EQ(base() + L"Log\\", logFolder);
    ASSERT_TRUE(WriteFileBytes(logFolder + L"history.csv", "records"));
    ASSERT_TRUE(MakeFolder(base() + L"Logs"));
    ASSERT_TRUE(MakeFolder(base() + L"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"));

    CleanWorkspace();
    ExitCleanup(L"");
    EXPECT_EQ(std::vector<std::wstring>{L"Log"}, ListEntries(base()));
    EXPECT_EQ("records", ReadFileBytes(logFolder + L"history.csv"));
}

// A link of that name is not the workspace's folder: it is neither kept nor entered, nor used.
TEST_F(CleanWorkspaceLinks, ALinkNamedLogIsNotKeptNorFollowed) {
    TempDir outside;
    ASSERT_TRUE(WriteFileBytes(outside / L"keep.txt", "keep"));
    UnixFolderLink link(base() + L"Log", outside.path());
    ASSERT_TRUE(link.made());

    std::wstring logFolder;
    EXPECT_FALSE(OpenWorkspaceLogFolder(logFolder));
    EXPECT_TRUE(logFolder.empty());
    CleanWorkspace();
    EXPECT_EQ("keep", ReadFileBytes(outside / L"keep.txt"));
    // Wine cannot remove the link itself (Windows removes it), so only it may remain.
    for (const std::wstring& name : ListEntries(base())) EXPECT_EQ(L"Log", name);
}

TEST(RemoveFolderIfEmpty, RemovesOnlyAFolderWithoutEntries) {
    TempDir dir;
    ASSERT_TRUE(MakeFolder(dir / L"empty"));
    ASSERT_TRUE(MakeFolder(dir / L"emptyNoSlash"));
    ASSERT_TRUE(MakeFolder(dir / L"withFolder"));
    ASSERT_TRUE(MakeFolder(dir / L"withFolder\\inner"));
    ASSERT_TRUE(MakeFolder(dir / L"withFile"));
    ASSERT_TRUE(WriteHidden(dir / L"withFile\\fw.img", "x"));

    RemoveFolderIfEmpty(dir / L"empty\\");
    RemoveFolderIfEmpty(dir / L"emptyNoSlash");
    RemoveFolderIfEmpty(dir / L"withFolder\\");
    RemoveFolderIfEmpty(dir / L"withFile\\");
    RemoveFolderIfEmpty(dir / L"missing\\");

    EXPECT_FALSE(FolderExists(dir / L"empty"));
    EXPECT_FALSE(FolderExists(dir / L"emptyNoSlash"));
    EXPECT_TRUE(FolderExists(dir / L"withFolder\\inner"));
    EXPECT_TRUE(FileExists(dir / L"withFile\\fw.img"));
}

using ExitCleanupTest = WorkspaceTest;

TEST_F(ExitCleanupTest, WithoutAnyRunMakesNoRunFolder) {
    ExitCleanup(L"");
    EXPECT_TRUE(ListEntries(base()).empty());
    EXPECT_TRUE(CurrentRunFolder().empty()) << "a close without a run makes nothing only to remove it";
}

TEST_F(ExitCleanupTest, RemovesEverythingLeftFromARun) {
    GetRunFolder(true);
    std::wstring secureImage;
    UniqueFile file;
    ASSERT_TRUE(CreateSecureImageFile(secureImage, file));
    file.reset();
    ASSERT_TRUE(WriteHidden(base() + L"7z.exe", "MZ"));
    ASSERT_TRUE(WriteHidden(base() + L"7z.dll", "MZ"));
    ASSERT_TRUE(MakeFolder(base() + L"DDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDD"));
    ASSERT_TRUE(WriteHidden(base() + L"DDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDD\\fw_1.img", "decoy"));

    ExitCleanup(secureImage);
    EXPECT_TRUE(ListEntries(base()).empty());
}

TEST_F(ExitCleanupTest, AfterACompletedWriteTheVanishedImageIsNotRegistered) {
    GetRunFolder(true);
    std::wstring secureImage;
    UniqueFile file;
    ASSERT_TRUE(CreateSecureImageFile(secureImage, file));
    file.reset();
    RegistrationCleanup cleanup(secureImage);
    CleanWorkspace();  // the housekeeping at the end of the write takes the run folder away
    ASSERT_FALSE(FolderExists(GetRunFolder(false)));

    ExitCleanup(secureImage);
    EXPECT_FALSE(IsRegisteredForDeletion(secureImage));
    EXPECT_TRUE(ListEntries(base()).empty());
}

}  // namespace
}  // namespace vandrel::test
