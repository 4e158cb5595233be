// The USB driver in the real tool: pre-installed at start, following the device, taken out at close,
// and what the user is told when the driver tool fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "tests/e2e/tool_fixture.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_transmitter_client.h"
#include "tests/workspace/workspace_test_support.h"
#include "resources/resource.h"

namespace vandrel::test {
namespace {

constexpr wchar_t kReady[] = L"[Status] RockUSB is correctly bound. Ready.";
constexpr wchar_t kNoDevice[] = L"[Status] RockUSB driver is installed, but no device is currently connected.";

class DriverTest : public ToolTest {
protected:
    void SetUp() override {
        UnplugAllVirtualDevices();
        ASSERT_TRUE(service_.Remove());
    }
    // While this file exists, the driver tool fails.
    std::wstring FailFlag() const { return flags_ / L"fail-now"; }
    // Starts the tool with a driver tool that fails from now on.
    void StartWithFailingDriverTool() {
        failing_ = std::make_unique<ScopedEnvironment>(L"VANDREL_DRIVER_STUB_FAIL_WHILE", FailFlag());
        ASSERT_TRUE(Start());
        ASSERT_TRUE(WriteFileBytes(FailFlag(), "x"));
    }
    // The message list without the note that leads it where the platform keeps no owner or label on
    // folders (Wine), so that the tool judged its work folder only in part.
    std::vector<std::wstring> LinesAfterWorkspaceNote() const {
        auto lines = MessageLines();
        if (!lines.empty() && lines[0].compare(0, 11, L"[Workspace]") == 0) lines.erase(lines.begin());
        return lines;
    }
    bool LastLineIs(const wchar_t* line) {
        const auto lines = MessageLines();
        return !lines.empty() && lines.back() == line;
    }

    RockusbServiceGuard service_;
    PluggedDevices devices_;
    TempDir flags_;
    std::unique_ptr<ScopedEnvironment> failing_;
};

TEST_F(DriverTest, StartInstallsTheDriverTheDisplayFollowsTheDeviceAndCloseRemovesIt) {
    ASSERT_TRUE(Start());
    EXPECT_TRUE(RockusbServiceExists()) << "the driver is pre-installed while the tool runs";
    const auto lines = LinesAfterWorkspaceNote();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(L"[Driver] Pre-install succeeded.", lines[0]);
    EXPECT_EQ(kNoDevice, lines[1]);
    EXPECT_FALSE(IsEnabled(Control(IDC_START_WRITING)));
    EXPECT_FALSE(IsEnabled(Control(IDC_CONFIRM_VERSION)));
    EXPECT_TRUE(IsShown(Control(IDC_CONNECT_HINT)));
    EXPECT_FALSE(IsShown(Control(IDC_DRIVER_HINT)));

    const std::wstring device = devices_.Plug();
    ASSERT_FALSE(device.empty());
    EXPECT_TRUE(WaitFor([&] { return IsEnabled(Control(IDC_START_WRITING)) && LastLineIs(kReady); }));
    EXPECT_TRUE(IsEnabled(Control(IDC_CONFIRM_VERSION)));
    EXPECT_FALSE(IsShown(Control(IDC_CONNECT_HINT)));
    EXPECT_FALSE(IsShown(Control(IDC_DRIVER_HINT)));

    ASSERT_TRUE(devices_.Unplug(device));
    EXPECT_TRUE(WaitFor([&] { return !IsEnabled(Control(IDC_START_WRITING)) && LastLineIs(kNoDevice); }));

    CloseAndExpectExit();
    EXPECT_FALSE(RockusbServiceExists()) << "the close takes the driver out";
}

TEST_F(DriverTest, AFailedPreInstallIsShownBeforeTheToolEnds) {
    ScopedEnvironment failing(L"VANDREL_DRIVER_STUB_EXIT_CODE", L"2");
    tool_ = std::make_unique<ToolDriver>(ToolPath());
    MessageBoxInfo box;
    ASSERT_TRUE(tool_->NextBox(&box, 15000));
    EXPECT_EQ(L"Error", box.caption);
    EXPECT_EQ(L"[Driver] Pre-install failed or timed out.", box.text);
    DWORD exitCode = 99;
    const DWORD pid = tool_->id();
    ASSERT_TRUE(tool_->WaitForExit(15000, &exitCode)) << "the dialog ends after a failed pre-install";
    EXPECT_EQ(0u, exitCode);

    // Without its close sequence: the driver package written for the pre-install stays (the next start
    // empties the workspace); nothing of a run was made, and the library's private copy went at exit.
    std::vector<std::wstring> left = ListEntries(WorkspaceBase());
    std::sort(left.begin(), left.end());
    EXPECT_EQ((std::vector<std::wstring>{L"DIFxAPI.dll", L"driver_x64.exe", L"rockusb.cat", L"rockusb.inf",
                                         L"rockusb.sys"}),
              left);
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring copyFolder = L"YourApp-" + std::to_wstring(pid) + L"-";
    for (const std::wstring& name : ListEntries(temp))
        EXPECT_NE(0u, name.find(copyFolder)) << "the library copy's folder stayed";
}

// A driver tool past its time limit is left to finish, also when the tool then ends (here: the dialog
// ends after the failed pre-install): stopping a driver installer halfway could leave the system worse off.
TEST_F(DriverTest, ADriverToolPastItsTimeLimitOutlivesTheTool) {
    ScopedEnvironment hanging(L"VANDREL_DRIVER_STUB_HANG", L"1");
    tool_ = std::make_unique<ToolDriver>(ToolPath());
    const DWORD pid = tool_->id();
    MessageBoxInfo box;
    ASSERT_TRUE(tool_->NextBox(&box, 60000));
    EXPECT_EQ(L"[Driver] Pre-install failed or timed out.", box.text);
    ASSERT_TRUE(tool_->WaitForExit(15000)) << "the dialog ends after a failed pre-install";

    const std::vector<DWORD> left = ChildProcessIds(pid, L"driver_x64.exe");
    ASSERT_EQ(1u, left.size()) << "the driver tool was ended with the tool";
    UniqueHandle driverTool(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, left[0]));
    ASSERT_TRUE(driverTool);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(driverTool.get(), 0));
    ::TerminateProcess(driverTool.get(), 1);
    ::WaitForSingleObject(driverTool.get(), 10000);
}

TEST_F(DriverTest, AFailedUninstallKeepsTheToolOpenAndTheNextCloseTriesAgain) {
    ASSERT_NO_FATAL_FAILURE(StartWithFailingDriverTool());
    ASSERT_NE(nullptr, dialog_);

    ::PostMessageW(dialog_, WM_CLOSE, 0, 0);
    MessageBoxInfo box;
    ASSERT_TRUE(WaitForMessageBox(tool_->id(), &box, 40000, dialog_));
    EXPECT_EQ(L"Error", box.caption);
    EXPECT_EQ(L"[Driver] Pre-uninstall failed or timed out.", box.text);
    DismissMessageBox(box.window);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box.window); }));
    EXPECT_TRUE(tool_->running());
    EXPECT_TRUE(LastLineIs(L"[Driver] Pre-uninstall failed or timed out."));
    EXPECT_TRUE(RockusbServiceExists());

    ::DeleteFileW(FailFlag().c_str());
    CloseAndExpectExit();
    EXPECT_FALSE(RockusbServiceExists());
}

TEST_F(DriverTest, ASecondCloseAfterARefusedOneEndsTheToolAndSaysTheDriverMayRemain) {
    ASSERT_NO_FATAL_FAILURE(StartWithFailingDriverTool());
    ASSERT_NE(nullptr, dialog_);

    const wchar_t* const expected[] = {
        L"[Driver] Pre-uninstall failed or timed out.",
        L"[Driver] Pre-uninstall failed again. The tool closes now; the RockUSB driver package may still be "
        L"installed in the system.",
    };
    for (const wchar_t* text : expected) {
        ::PostMessageW(dialog_, WM_CLOSE, 0, 0);
        MessageBoxInfo box;
        ASSERT_TRUE(WaitForMessageBox(tool_->id(), &box, 40000, dialog_));
        EXPECT_EQ(L"Error", box.caption);
        EXPECT_EQ(text, box.text);
        DismissMessageBox(box.window);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box.window); }));
    }
    DWORD exitCode = 99;
    ASSERT_TRUE(tool_->WaitForExit(20000, &exitCode)) << "the second close request ends the tool";
    EXPECT_EQ(0u, exitCode);
    EXPECT_TRUE(RockusbServiceExists()) << "as the user was told";
}

// The tool's window, found by its title while it is still being made (it is shown only when ready).
// While the tool installs the driver at start: a device plugged meanwhile shows only after the driver
// step's line, and a second start waits until the window is ready before it raises it.
TEST_F(DriverTest, DuringStartUpDeviceEventsWaitAndASecondStartWaitsForTheReadyWindow) {
    const std::wstring hold = flags_ / L"hold-the-driver-step";
    ASSERT_TRUE(WriteFileBytes(hold, "x"));
    const ScopedEnvironment waiting(L"VANDREL_DRIVER_STUB_WAIT_WHILE", hold);
    tool_ = std::make_unique<ToolDriver>(ToolPath());
    const HWND window = tool_->WaitForWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_FALSE(IsShown(window)) << "not shown before it is ready";
    ASSERT_FALSE(devices_.Plug().empty());

    Process second(ToolPath());
    EXPECT_FALSE(second.WaitForExit(2000)) << "the second start ended at once";
    EXPECT_FALSE(IsShown(window)) << "the second start raised a window that was not ready";

    ASSERT_TRUE(::DeleteFileW(hold.c_str()));
    DWORD exitCode = 99;
    ASSERT_TRUE(second.WaitForExit(30000, &exitCode)) << "the second start ends once the first is ready";
    EXPECT_EQ(0u, exitCode);
    dialog_ = tool_->WaitUntilReady();
    ASSERT_EQ(window, dialog_);
    const auto lines = LinesAfterWorkspaceNote();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(L"[Driver] Pre-install succeeded.", lines.front()) << "no \"[Status]\" line before the driver step's";
    CloseAndExpectExit();
}

// Logging off or shutting down while the tool is idle takes the driver out and empties the workspace as
// a close would, without a box nobody is there to answer.
TEST_F(DriverTest, TheEndOfTheSessionRunsTheCloseSequence) {
    ASSERT_TRUE(Start());
    ASSERT_TRUE(RockusbServiceExists());
    DWORD_PTR answer = 0;
    ASSERT_NE(0, ::SendMessageTimeoutW(dialog_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer));
    EXPECT_NE(0u, answer) << "an idle tool lets the session end";
    ::SendMessageTimeoutW(dialog_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 30000, &answer);
    DWORD exitCode = 99;
    ASSERT_TRUE(tool_->WaitForExit(30000, &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_FALSE(RockusbServiceExists()) << "the driver does not outlive the session";
    EXPECT_TRUE(ListEntries(WorkspaceBase()).empty());
}

}  // namespace
}  // namespace vandrel::test
