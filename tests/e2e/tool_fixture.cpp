#include "tests/e2e/tool_fixture.h"

namespace vandrel::test {

HWND ToolTest::Start(const std::wstring& exe) {
    tool_ = std::make_unique<Process>(exe);
    EXPECT_TRUE(tool_->running()) << "the tool did not start";
    dialog_ = WaitForMainDialog(*tool_);
    EXPECT_NE(nullptr, dialog_) << "no main dialog appeared";
    return dialog_;
}

MessageBoxInfo ToolTest::ClickAndReadBox(int id, DWORD timeoutMs) {
    Click(dialog_, id);
    MessageBoxInfo box;
    EXPECT_TRUE(WaitForMessageBox(tool_->id(), &box, timeoutMs));
    DismissMessageBox(box.window);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(box.window); }));
    return box;
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

}  // namespace vandrel::test
