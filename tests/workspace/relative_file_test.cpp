// Opening entries relative to a held folder, never through a link: real folders, files, symbolic links
// made from the Unix side and hard links, under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "tests/workspace/workspace_test_support.h"
#include "workspace/relative_file.h"

namespace vandrel::test {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

UniqueFile OpenForWriting(HANDLE folder, const std::wstring& name, RelativeDisposition disposition,
                          bool refuseHardLinks = true) {
    return OpenRelative(folder, name, FILE_WRITE_DATA | FILE_APPEND_DATA, kShareAll, disposition, false,
                        refuseHardLinks);
}

TEST(OpenFolderNoFollow, OpensARealFolderAndRefusesALinkAFileAndNothing) {
    TempDir dir, elsewhere;
    ASSERT_TRUE(::CreateDirectoryW((dir / L"real").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(dir / L"file", "x"));
    const UnixFolderLink link(dir / L"link", elsewhere.path());
    ASSERT_TRUE(link.made());

    EXPECT_TRUE(OpenFolderNoFollow(dir / L"real\\"));
    const struct {
        const wchar_t* name;
        DWORD error;
    } refused[] = {
        {L"link", ERROR_REPARSE_POINT_ENCOUNTERED},
        {L"link\\", ERROR_REPARSE_POINT_ENCOUNTERED},
        {L"file", ERROR_DIRECTORY},
        {L"missing", ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : refused) {
        ::SetLastError(0);
        EXPECT_FALSE(OpenFolderNoFollow(dir / c.name)) << std::string(c.name, c.name + wcslen(c.name));
        EXPECT_EQ(c.error, ::GetLastError()) << std::string(c.name, c.name + wcslen(c.name));
    }
}

TEST(OpenRelative, CreatesNewOpensExistingAndTellsWhyItCannot) {
    TempDir dir;
    const UniqueFile folder = OpenFolderNoFollow(dir.path());
    ASSERT_TRUE(folder);

    EXPECT_TRUE(OpenForWriting(folder.get(), L"new.csv", RelativeDisposition::kCreateNew));
    EXPECT_TRUE(FileExists(dir / L"new.csv"));
    ::SetLastError(0);
    EXPECT_FALSE(OpenForWriting(folder.get(), L"new.csv", RelativeDisposition::kCreateNew));
    EXPECT_EQ(ERROR_ALREADY_EXISTS, ::GetLastError()) << "never one that is there already";
    EXPECT_TRUE(OpenForWriting(folder.get(), L"NEW.CSV", RelativeDisposition::kOpenExisting)) << "case aside";
    EXPECT_TRUE(OpenForWriting(folder.get(), L"other.csv", RelativeDisposition::kOpenOrCreate));
    ::SetLastError(0);
    EXPECT_FALSE(OpenForWriting(folder.get(), L"missing.csv", RelativeDisposition::kOpenExisting));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ::GetLastError());

    EXPECT_TRUE(OpenRelative(folder.get(), L"sub", FILE_LIST_DIRECTORY, kShareAll, RelativeDisposition::kCreateNew,
                             true));
    EXPECT_TRUE(FolderExists(dir / L"sub\\"));

    for (const wchar_t* name : {L"", L".", L"..", L"..\\x", L"sub\\x", L"sub/x", L"x:stream", L"C:"}) {
        ::SetLastError(0);
        EXPECT_FALSE(OpenForWriting(folder.get(), name, RelativeDisposition::kOpenOrCreate))
            << std::string(name, name + wcslen(name));
        EXPECT_EQ(ERROR_INVALID_NAME, ::GetLastError()) << std::string(name, name + wcslen(name));
    }
}

// A link in the folder is opened as itself and refused: nothing is created or changed where it leads.
TEST(OpenRelative, RefusesSymbolicLinksToFilesAndFolders) {
    TempDir dir, elsewhere;
    ASSERT_TRUE(WriteFileBytes(elsewhere / L"victim.txt", "the victim's"));
    const UnixFolderLink fileLink(dir / L"history.csv", elsewhere / L"victim.txt");
    ASSERT_TRUE(fileLink.made());
    const UnixFolderLink folderLink(dir / L"sub", elsewhere.path());
    ASSERT_TRUE(folderLink.made());
    // A link whose target is gone: opening it to create would make the target.
    ASSERT_TRUE(WriteFileBytes(elsewhere / L"created-through-the-link.txt", ""));
    const UnixFolderLink dangling(dir / L"dangling.csv", elsewhere / L"created-through-the-link.txt");
    ASSERT_TRUE(dangling.made());
    ASSERT_TRUE(::DeleteFileW((elsewhere / L"created-through-the-link.txt").c_str()));
    const UniqueFile folder = OpenFolderNoFollow(dir.path());
    ASSERT_TRUE(folder);

    for (const auto disposition : {RelativeDisposition::kOpenExisting, RelativeDisposition::kOpenOrCreate}) {
        ::SetLastError(0);
        EXPECT_FALSE(OpenForWriting(folder.get(), L"history.csv", disposition));
        EXPECT_EQ(ERROR_REPARSE_POINT_ENCOUNTERED, ::GetLastError());
    }
    EXPECT_FALSE(OpenForWriting(folder.get(), L"history.csv", RelativeDisposition::kCreateNew));
    ::SetLastError(0);
    EXPECT_FALSE(OpenRelative(folder.get(), L"sub", FILE_LIST_DIRECTORY, kShareAll, RelativeDisposition::kOpenOrCreate,
                              true));
    EXPECT_EQ(ERROR_REPARSE_POINT_ENCOUNTERED, ::GetLastError());
    EXPECT_FALSE(OpenForWriting(folder.get(), L"dangling.csv", RelativeDisposition::kOpenOrCreate));

    EXPECT_EQ("the victim's", ReadFileBytes(elsewhere / L"victim.txt"));
    EXPECT_FALSE(FileExists(elsewhere / L"created-through-the-link.txt"));
}

// A file with a second name elsewhere is refused unless asked otherwise.
TEST(OpenRelative, RefusesAHardLinkedFile) {
    TempDir dir, elsewhere;
    ASSERT_TRUE(WriteFileBytes(elsewhere / L"victim.txt", "the victim's"));
    ASSERT_TRUE(::CreateHardLinkW((dir / L"history.csv").c_str(), (elsewhere / L"victim.txt").c_str(), nullptr) ||
                MakeUnixHardLink(dir / L"history.csv", elsewhere / L"victim.txt"));
    const UniqueFile folder = OpenFolderNoFollow(dir.path());
    ASSERT_TRUE(folder);

    ::SetLastError(0);
    EXPECT_FALSE(OpenForWriting(folder.get(), L"history.csv", RelativeDisposition::kOpenOrCreate));
    EXPECT_EQ(ERROR_TOO_MANY_LINKS, ::GetLastError());
    EXPECT_TRUE(OpenForWriting(folder.get(), L"history.csv", RelativeDisposition::kOpenExisting, false));
    EXPECT_EQ("the victim's", ReadFileBytes(elsewhere / L"victim.txt"));
}

TEST(DeleteByHandle, DeletesTheFileOrEmptyFolderItIsOpenOn) {
    TempDir dir;
    const UniqueFile folder = OpenFolderNoFollow(dir.path());
    ASSERT_TRUE(folder);
    {
        const UniqueFile file = OpenRelative(folder.get(), L"gone.txt", DELETE | FILE_WRITE_DATA, 0,
                                             RelativeDisposition::kCreateNew);
        ASSERT_TRUE(file);
        EXPECT_TRUE(DeleteByHandle(file.get()));
    }
    EXPECT_FALSE(FileExists(dir / L"gone.txt"));
    {
        const UniqueFile sub = OpenRelative(folder.get(), L"sub", DELETE, 0, RelativeDisposition::kCreateNew, true);
        ASSERT_TRUE(sub);
        EXPECT_TRUE(DeleteByHandle(sub.get()));
    }
    EXPECT_FALSE(FolderExists(dir / L"sub\\"));
    {
        const UniqueFile kept = OpenRelative(folder.get(), L"kept.txt", FILE_WRITE_DATA, kShareAll,
                                             RelativeDisposition::kCreateNew);
        ASSERT_TRUE(kept);
        EXPECT_FALSE(DeleteByHandle(kept.get())) << "opened without DELETE";
    }
    EXPECT_TRUE(FileExists(dir / L"kept.txt"));
}

}  // namespace
}  // namespace vandrel::test
