#include "tests/e2e/tool_fixture.h"

namespace vandrel::test {

HWND ToolTest::Start(const std::wstring& exe) {
    tool_ = std::make_unique<ToolDriver>(exe);
    EXPECT_TRUE(tool_->running()) << "the tool did not start";
    dialog_ = tool_->WaitUntilReady();
    EXPECT_NE(nullptr, dialog_) << "no main dialog became ready";
    return dialog_;
}

MessageBoxInfo ToolTest::ClickAndReadBox(int id, DWORD timeoutMs) {
    EXPECT_TRUE(tool_->ClickWhenReady(id)) << "control " << id << " cannot be clicked";
    MessageBoxInfo box;
    EXPECT_TRUE(tool_->NextBox(&box, timeoutMs));
    return box;
}

MessageBoxInfo ToolTest::CommandAndReadBox(int id, DWORD timeoutMs) {
    EXPECT_TRUE(tool_->WaitUntilReady());
    EXPECT_FALSE(tool_->Click(id)) << "control " << id << " can be clicked: no command is needed";
    tool_->SendCommand(id);
    MessageBoxInfo box;
    EXPECT_TRUE(tool_->NextBox(&box, timeoutMs));
    return box;
}

void ToolTest::CloseAndExpectExit() {
    DWORD exitCode = 99;
    ASSERT_TRUE(tool_->Close(20000, &exitCode)) << "the tool did not end after the close request";
    EXPECT_EQ(0u, exitCode);
}

void ToolTest::TearDown() {
    // A test that failed half-way must not leave the tool running for the next one.
    if (tool_ && tool_->running() && !tool_->Close(10000)) tool_->Kill();
}

}  // namespace vandrel::test
