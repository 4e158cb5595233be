#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "common/text.h"
#include "workspace/path_form.h"
#include "workspace/housekeeping.h"
#include "tests/support/temp_dir.h"
#include "tests/workspace/workspace_test_support.h"
#include "workspace/secure_workspace.h"

namespace vandrel::test {
namespace {

// The name of a folder path that ends in a backslash.
std::wstring FolderName(const std::wstring& folder) {
    const std::wstring trimmed = folder.substr(0, folder.size() - 1);
    return trimmed.substr(trimmed.rfind(L'\\') + 1);
}

std::wstring UtcStamp() {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    return Format(L"%04u%02u%02u%02u%02u%02u%03u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                  now.wSecond, now.wMilliseconds);
}

using WorkspaceBaseFolder = WorkspaceTest;

TEST_F(WorkspaceBaseFolder, IsQuorraUpgradeInLocalAppDataAndIsMadeWhenMissing) {
    wchar_t localAppData[MAX_PATH] = {};
    ASSERT_EQ(S_OK, ::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, localAppData));
    EXPECT_EQ(std::wstring(localAppData) + L"\\QuorraUpgrade\\", base());

    ForgetWorkspaceBaseFolder();
    ASSERT_TRUE(::RemoveDirectoryW(base().c_str()));
    EXPECT_EQ(base(), GetWorkspaceBaseFolder());
    EXPECT_TRUE(FolderExists(base()));
}

// A base folder that is a link to another folder is refused, and nothing inside that folder is touched:
// the tool takes the next free name beside it.
TEST_F(WorkspaceBaseFolder, ALinkIsRefusedForTheNextNameBesideIt) {
    TempDir target;
    ASSERT_TRUE(WriteFileBytes(target / L"keep.txt", "the user's"));
    ForgetWorkspaceBaseFolder();
    ASSERT_TRUE(::RemoveDirectoryW(base().c_str()));
    const UnixFolderLink link(base(), target.path());
    ASSERT_TRUE(link.made());
    const std::wstring first = WithoutTrailingBackslash(base()) + L".1\\";
    const std::wstring second = WithoutTrailingBackslash(base()) + L".2\\";
    ASSERT_FALSE(FolderExists(first) || FolderExists(second)) << "left from an earlier run";
    TempDir other;
    const UnixFolderLink alsoALink(first, other.path());
    ASSERT_TRUE(alsoALink.made());

    EXPECT_EQ(second, GetWorkspaceBaseFolder());
    EXPECT_TRUE(FolderExists(second));
    EXPECT_EQ(std::vector<std::wstring>{L"keep.txt"}, ListEntries(target.path()));
    EXPECT_TRUE(ListEntries(other.path()).empty());
    EXPECT_TRUE(IsInWorkspace(GetRunFolder(true)));
    EXPECT_FALSE(IsInWorkspace(base() + L"keep.txt")) << "the refused folder's content is no part of it";

    ForgetWorkspaceBaseFolder();
    RemoveTree(second);
}

// A program of the user made the base folder before the tool's first start (plain CreateDirectoryW: the
// user as owner, no label) and left a file in it. The tool does not take it, nor touches anything in it:
// it works in the next name beside it, and takes that again at its next start.
TEST_F(WorkspaceBaseFolder, AFolderTheUserMadeBeforehandIsNotUsed) {
    ForgetWorkspaceBaseFolder();
    ASSERT_TRUE(::RemoveDirectoryW(base().c_str()));
    ASSERT_TRUE(::CreateDirectoryW(base().c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(base() + L"planted.txt", "the user's"));
    const std::wstring next = WithoutTrailingBackslash(base()) + L".1\\";
    ASSERT_FALSE(FolderExists(next)) << "left from an earlier run";

    EXPECT_EQ(next, GetWorkspaceBaseFolder());
    CleanWorkspace();
    EXPECT_EQ(std::vector<std::wstring>{L"planted.txt"}, ListEntries(base()));
    EXPECT_EQ("the user's", ReadFileBytes(base() + L"planted.txt"));
    EXPECT_FALSE(IsInWorkspace(base() + L"planted.txt"));
    ForgetWorkspaceBaseFolder();
    EXPECT_EQ(next, GetWorkspaceBaseFolder()) << "the folder the tool made is taken again, not set aside";

    ForgetWorkspaceBaseFolder();
    RemoveTree(next);
}

// While the tool runs, its base folder is held against renaming (Windows keeps to that; Wine does not).
// Should it be renamed away and a link put in its place all the same, the link is not taken for it.
TEST_F(WorkspaceBaseFolder, AFolderSwappedForALinkWhileHeldIsNotUsed) {
    const std::wstring moved = WithoutTrailingBackslash(base()) + L".moved-" + NewNameDigits();
    if (!::MoveFileW(WithoutTrailingBackslash(base()).c_str(), moved.c_str()))
        GTEST_SKIP() << "the held folder cannot be renamed here, as on Windows";
    TempDir victim;
    ASSERT_TRUE(WriteFileBytes(victim / L"keep.txt", "the user's"));
    const UnixFolderLink link(base(), victim.path());
    ASSERT_TRUE(link.made());

    const std::wstring now = GetWorkspaceBaseFolder();
    EXPECT_NE(base(), now);
    CleanWorkspace();
    EXPECT_EQ(std::vector<std::wstring>{L"keep.txt"}, ListEntries(victim.path()));
    ForgetWorkspaceBaseFolder();
    RemoveTree(now);
    RemoveTree(WithTrailingBackslash(moved));
}

using RunFolder = WorkspaceTest;

TEST_F(RunFolder, FirstUseMakesOneGuidNamedFolderThatIsKept) {
    const std::wstring first = GetRunFolder(false);
    const std::wstring second = GetRunFolder(false);
    EXPECT_EQ(first, second);
    EXPECT_EQ(base(), first.substr(0, base().size()));
    EXPECT_TRUE(IsUpperHex(FolderName(first), 32)) << FolderName(first);
    EXPECT_EQ(std::vector<std::wstring>{FolderName(first)}, ListEntries(base()));
}

TEST_F(RunFolder, ForceNewMakesAnotherFolderAndKeepsThePrevious) {
    const std::wstring first = GetRunFolder(true);
    const std::wstring second = GetRunFolder(true);
    EXPECT_NE(first, second);
    EXPECT_TRUE(FolderExists(first));
    EXPECT_TRUE(FolderExists(second));
    EXPECT_EQ(second, GetRunFolder(false));
    EXPECT_EQ(2u, ListEntries(base()).size());
}

TEST_F(RunFolder, RemovedFolderIsNotMadeAgain) {
    const std::wstring folder = GetRunFolder(true);
    ASSERT_TRUE(::RemoveDirectoryW(folder.c_str()));
    EXPECT_EQ(folder, GetRunFolder(false));
    EXPECT_FALSE(FolderExists(folder));
}

TEST_F(RunFolder, WithoutGuidTheNameIsTheUtcTimeToTheMillisecond) {
    NameDigitsOverride noGuid([] { return std::wstring(); });
    const std::wstring before = UtcStamp();
    const std::wstring folder = GetRunFolder(true);
    const std::wstring after = UtcStamp();

    const std::wstring name = FolderName(folder);
    ASSERT_EQ(17u, name.size()) << name;
    EXPECT_EQ(std::wstring::npos, name.find_first_not_of(L"0123456789")) << name;
    // Fixed-width digits compare like the times they stand for.
    EXPECT_LE(before, name);
    EXPECT_GE(after, name);
    EXPECT_EQ(base() + name + L"\\", folder);
    EXPECT_TRUE(FolderExists(folder));
}

TEST_F(RunFolder, IsInRunFolderMatchesPathsThatBeginWithItAndReallyLieThere) {
    const std::wstring run = GetRunFolder(true);
    const std::wstring withoutBackslash = run.substr(0, run.size() - 1);
    TempDir outside;
    ASSERT_TRUE(::CreateDirectoryW((run + L"pkg").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((run + L"sub").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((run + L"sub\\deeper").c_str(), nullptr));
    for (const std::wstring& file : {run + L"pkg\\fw_V1.img", run + L"fw_V1.img", run + L"sub\\deeper\\x.img",
                                     withoutBackslash + L"X.img", base() + L"fw.img", outside / L"fw.img"})
        ASSERT_TRUE(WriteFileBytes(file, "image"));
    const UnixFolderLink link(run + L"elsewhere", outside.path());
    ASSERT_TRUE(link.made());
    struct Case {
        std::wstring path;
        bool inside;
    };
    const Case cases[] = {
        {run, true},
        {run + L"pkg\\fw_V1.img", true},
        {AsciiUpper(run) + L"FW_V1.IMG", true},
        {AsciiLower(run) + L"sub\\deeper\\x.img", true},
        {run + L"missing.img", false},
        {withoutBackslash, false},
        {withoutBackslash + L"X.img", false},
        {L"D:\\copy\\" + run, false},
        {base() + L"fw.img", false},
        {run + L"elsewhere\\fw.img", false},      // through a link: lies outside
        {run + L"pkg\\..\\..\\fw.img", false},  // climbs out
    };
    for (const Case& c : cases) EXPECT_EQ(c.inside, IsInRunFolder(c.path)) << c.path;
}

TEST_F(RunFolder, LookingDoesNotMakeARunFolder) {
    EXPECT_FALSE(IsInRunFolder(L""));
    EXPECT_FALSE(IsInRunFolder(L"C:\\elsewhere\\fw.img"));
    EXPECT_TRUE(CurrentRunFolder().empty());
    EXPECT_TRUE(ListEntries(base()).empty());
}

}  // namespace
}  // namespace vandrel::test
