#include "tests/e2e/tool_fixture.h"

#include <shlobj.h>

#include "common/unique_handle.h"

namespace vandrel::test {

HWND ToolTest::Start(const std::wstring& exe) {
    tool_ = std::make_unique<Process>(exe);
    EXPECT_TRUE(tool_->running()) << "the tool did not start";
    dialog_ = WaitForMainDialog(*tool_);
    EXPECT_NE(nullptr, dialog_) << "no main dialog appeared";
    return dialog_;
}

void ToolTest::CloseAndExpectExit() {
    ASSERT_TRUE(::PostMessageW(dialog_, WM_CLOSE, 0, 0));
    DWORD exitCode = 99;
    ASSERT_TRUE(tool_->WaitForExit(20000, &exitCode)) << "the tool did not end after the close request";
    EXPECT_EQ(0u, exitCode);
}

void ToolTest::TearDown() {
    // A test that failed half-way must not leave the tool running for the next one.
    if (tool_ && tool_->running()) {
        ::PostMessageW(dialog_, WM_CLOSE, 0, 0);
        if (!tool_->WaitForExit(10000)) tool_->Kill();
    }
}

std::wstring WorkspaceBase() {
    wchar_t local[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local);
    return std::wstring(local) + L"\\QuorraUpgrade\\";
}

std::vector<std::wstring> PrivateLibraryFolders() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::vector<std::wstring> folders;
    WIN32_FIND_DATAW entry{};
    UniqueFind find(::FindFirstFileW((std::wstring(temp) + L"YourApp-*").c_str(), &entry));
    if (!find) return folders;
    do {
        folders.push_back(std::wstring(temp) + entry.cFileName);
    } while (::FindNextFileW(find.get(), &entry));
    return folders;
}

}  // namespace vandrel::test
