// Starts the real Vandrel.exe and drives its main dialog from outside.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/tool_folders.h"
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
    // Puts path into the firmware path box, as typing it would.
    void SetFirmwarePath(const std::wstring& path) const {
        ::SendMessageW(Control(IDC_FIRMWARE_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    }
    // Clicks button id and returns the message box that ends the click, dismissed and gone.
    MessageBoxInfo ClickAndReadBox(int id, DWORD timeoutMs = 15000);

    void TearDown() override;

    std::unique_ptr<Process> tool_;
    HWND dialog_ = nullptr;
};

}  // namespace vandrel::test
