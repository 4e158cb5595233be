// Starts the real Vandrel.exe and drives its main dialog from outside.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/window_driver.h"
#include "resources/resource.h"

namespace vandrel::test {

class ToolTest : public ::testing::Test {
protected:
    static std::wstring ToolPath() { return BinFolder() + L"Vandrel.exe"; }

    // Starts the tool (or a variant of it) and waits for its initialised main dialog.
    HWND Start(const std::wstring& exe = ToolPath());
    // Sends the close request and expects the process to end normally.
    void CloseAndExpectExit();
    HWND Control(int id) const { return ::GetDlgItem(dialog_, id); }
    std::vector<std::wstring> MessageLines() const { return ListBoxLines(Control(IDC_MESSAGE_LIST)); }

    void TearDown() override;

    std::unique_ptr<Process> tool_;
    HWND dialog_ = nullptr;
};

// The tool's workspace base folder, %LOCALAPPDATA%\QuorraUpgrade\ (with its trailing backslash).
std::wstring WorkspaceBase();

// The folders "YourApp-*" in the temporary folder: the private copies of the upgrade library.
std::vector<std::wstring> PrivateLibraryFolders();

}  // namespace vandrel::test
