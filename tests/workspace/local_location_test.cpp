// Which folders lie on this machine's own disks, judged with the real calls.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "tests/workspace/workspace_test_support.h"
#include "workspace/local_location.h"

namespace vandrel::test {
namespace {

TEST(LocalLocation, DriveLetterPathsAreLocalSharesAndAnythingElseAreNot) {
    wchar_t windows[MAX_PATH] = {};
    ASSERT_GT(::GetWindowsDirectoryW(windows, MAX_PATH), 3u);
    const std::wstring local = windows;
    struct Case {
        std::wstring path;
        bool local;
    };
    const Case cases[] = {
        {local, true},
        {local.substr(0, 3), true},  // the volume root
        {L"\\\\?\\" + local, true},
        {local + L"\\not-made-yet\\deeper", true},  // judged by its volume
        {L"\\\\server\\share\\AppData\\Local", false},
        {L"\\\\server\\share", false},
        {L"\\\\?\\UNC\\server\\share\\Temp", false},
        {L"//server/share/Temp", false},
        {L"\\\\.\\" + local, false},
        {L"\\\\127.0.0.1\\c$\\windows", false},  // a share, even of this machine
        {L"", false},
        {L"Temp\\", false},
        {L"\\Temp", false},
        {L"C:Temp", false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.local, IsLocalPath(c.path)) << c.path;
}

TEST(LocalLocation, AFolderIsJudgedByWhereItReallyLeads) {
    TempDir folder, target;
    EXPECT_TRUE(IsLocalFolder(folder.path()));
    EXPECT_TRUE(IsLocalFolder(folder / L"missing\\"));
    const UnixFolderLink link(folder / L"link", target.path());
    ASSERT_TRUE(link.made());
    EXPECT_TRUE(IsLocalFolder(folder / L"link")) << "a link to a local folder is local";
    EXPECT_FALSE(IsLocalFolder(L"\\\\server\\share\\Temp\\"));
}

}  // namespace
}  // namespace vandrel::test
