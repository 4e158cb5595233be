#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "common/text.h"
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

    ASSERT_TRUE(::RemoveDirectoryW(base().c_str()));
    EXPECT_EQ(base(), GetWorkspaceBaseFolder());
    EXPECT_TRUE(FolderExists(base()));
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

TEST_F(RunFolder, IsInRunFolderMatchesPathsThatBeginWithIt) {
    const std::wstring run = GetRunFolder(true);
    const std::wstring withoutBackslash = run.substr(0, run.size() - 1);
    struct Case {
        std::wstring path;
        bool inside;
    };
    const Case cases[] = {
        {run, true},
        {run + L"pkg\\fw_V1.img", true},
        {AsciiUpper(run) + L"FW_V1.IMG", true},
        {AsciiLower(run) + L"sub\\deeper\\x.img", true},
        {withoutBackslash, false},
        {withoutBackslash + L"X\\fw.img", false},
        {L"D:\\copy\\" + run, false},
        {base() + L"fw.img", false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.inside, IsInRunFolder(c.path)) << c.path;
}

TEST_F(RunFolder, IsInRunFolderOnAnEmptyPathMakesNoRunFolder) {
    EXPECT_FALSE(IsInRunFolder(L""));
    EXPECT_TRUE(ListEntries(base()).empty());
    // Any other path makes the process's first run folder.
    EXPECT_FALSE(IsInRunFolder(L"C:\\elsewhere\\fw.img"));
    EXPECT_EQ(1u, ListEntries(base()).size());
}

}  // namespace
}  // namespace vandrel::test
