// The end-to-end tests' fixture: the real Vandrel.exe, started and driven through the tool driver.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "resources/resource.h"
#include "tests/support/driving.h"
#include "tests/support/tool_folders.h"

namespace vandrel::test {

class ToolTest : public ::testing::Test {
protected:
    static std::wstring ToolPath() { return BinFolder() + L"Vandrel.exe"; }

    // Starts the tool (or a variant of it) and waits until its main dialog can be used.
    HWND Start(const std::wstring& exe = ToolPath());
    // Sends the close request and expects the process to end normally.
    void CloseAndExpectExit();
    HWND Control(int id) const { return ::GetDlgItem(dialog_, id); }
    std::vector<std::wstring> MessageLines() const { return tool_->Lines(); }
    void SetFirmwarePath(const std::wstring& path) const { tool_->SetFirmwarePath(path); }
    // Clicks button id once a user could (it must become clickable) and returns the message box that
    // ends the click, dismissed and gone.
    MessageBoxInfo ClickAndReadBox(int id, DWORD timeoutMs = 15000);
    // The same for a command no user can give by clicking (the button is greyed), sent all the same.
    MessageBoxInfo CommandAndReadBox(int id, DWORD timeoutMs = 15000);

    void TearDown() override;

    std::unique_ptr<ToolDriver> tool_;
    HWND dialog_ = nullptr;
};

}  // namespace vandrel::test
