// The window shows what it will do: at every moment of a tool's life, from the first moment it can be
// seen through a run to its close, a click on Select, Start Writing or Confirming FW version either acts
// or meets a control that is greyed. No click is dropped while its control looks enabled.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/e2e/write_run_fixture.h"
#include "tests/support/scoped_environment.h"
#include "tests/workspace/workspace_test_support.h"

namespace vandrel::test {
namespace {

constexpr int kRunButtons[] = {IDC_SELECT, IDC_START_WRITING, IDC_CONFIRM_VERSION};

class RunStateTest : public WriteRunTest {
protected:
    // Every run button meets a greyed control: nothing can be clicked.
    void ExpectNothingClickable(const char* when) {
        for (int id : kRunButtons) EXPECT_FALSE(tool_->Click(id)) << id << " looks clickable " << when;
    }
    // The file dialog that Select opened, or null.
    HWND FileDialog() {
        HWND picker = nullptr;
        WaitFor([&] {
            for (HWND w : TopLevelWindows(tool_->id()))
                if (WindowText(w) == L"Select Firmware File" && IsShown(w)) picker = w;
            return picker != nullptr;
        }, 15000);
        return picker;
    }

    TempDir flags_;
};

TEST_F(RunStateTest, EveryClickActsOrMeetsAGreyedControl) {
    const std::wstring package = MakeLargePackage(folder_, 64 << 20);
    ASSERT_FALSE(package.empty());
    ASSERT_FALSE(devices_.Plug(L"--pid 0x110B --upgrade-ms 3000").empty());
    // The driver tool waits while this file exists: it holds the close sequence for the test.
    const std::wstring hold = flags_ / L"hold-the-driver-step";
    const ScopedEnvironment waiting(L"VANDREL_DRIVER_STUB_WAIT_WHILE", hold);

    // The first moment the window can be seen: everything the user sees enabled acts.
    tool_ = std::make_unique<ToolDriver>(ToolPath());
    dialog_ = tool_->WaitForWindow();
    ASSERT_TRUE(WaitFor([&] { return dialog_ && IsShown(dialog_); }, 30000));
    ASSERT_TRUE(tool_->Click(IDC_SELECT)) << "Select is greyed although the tool is ready";
    const HWND picker = FileDialog();
    ASSERT_NE(nullptr, picker) << "the click on Select was dropped";
    ::PostMessageW(picker, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(picker); }));
    ASSERT_TRUE(tool_->WaitUntilReady());
    ASSERT_TRUE(tool_->Click(IDC_CONFIRM_VERSION));
    MessageBoxInfo box;
    ASSERT_TRUE(tool_->NextBox(&box, 15000)) << "the click on Confirming FW version was dropped";
    EXPECT_EQ(0u, box.text.find(L"Version : "));

    // The preparation: the package is being unpacked.
    ASSERT_TRUE(tool_->WaitUntilReady());
    SetFirmwarePath(package);
    ASSERT_TRUE(tool_->Click(IDC_START_WRITING));
    const UniqueHandle sevenZip = WaitForExtractionOf(tool_->id());
    ASSERT_TRUE(sevenZip);
    ExpectNothingClickable("while the package is unpacked");

    // The write: the device is written.
    ASSERT_TRUE(WaitFor([&] { return IsShown(Control(IDC_PROGRESS)); }, 60000));
    ExpectNothingClickable("while the device is written");
    ASSERT_TRUE(tool_->NextBox(&box, 60000));
    EXPECT_EQ(L"Write successful", box.text);

    // The close sequence: the driver is being removed.
    ASSERT_TRUE(tool_->WaitUntilReady());
    ASSERT_TRUE(WriteFileBytes(hold, "x"));
    ::PostMessageW(dialog_, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !ChildProcessIds(tool_->id(), L"driver_x64.exe").empty(); }, 15000));
    ExpectNothingClickable("while the tool closes");
    ASSERT_TRUE(::DeleteFileW(hold.c_str()));
    DWORD exitCode = 99;
    ASSERT_TRUE(tool_->WaitForExit(30000, &exitCode));
    EXPECT_EQ(0u, exitCode);
}

}  // namespace
}  // namespace vandrel::test
