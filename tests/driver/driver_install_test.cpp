// The driver steps with the stand-in driver_x64.exe in the real workspace base folder (moved aside and
// put back): success with the service and the devices, exit codes, the wait limit, a missing tool, an
// extraction failure and a tool that cannot be started.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "common/text.h"
#include "driver/driver_install.h"
#include "driver/driver_status.h"
#include "tests/driver/driver_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_transmitter_client.h"
#include "tests/support/driving.h"
#include "workspace/secure_workspace.h"

namespace vandrel::test {
namespace {

const std::wstring kInstallSucceeded = L"[Driver] Pre-install succeeded.";
const std::wstring kInstallFailed = L"[Driver] Pre-install failed or timed out.";
const std::wstring kUninstallSucceeded = L"[Driver] Pre-uninstall succeeded.";
const std::wstring kUninstallFailed = L"[Driver] Pre-uninstall failed or timed out.";
const std::wstring kTimeout = L"[Driver] external process timeout.";
const wchar_t kInstallParameters[] = L"/i \"rockusb.inf\"";

bool CopyingExtractor() { return CopyDriverFiles(GetWorkspaceBaseFolder()); }
bool FailingExtractor() { return false; }
bool SilentExtractor() { return true; }  // reports success and writes nothing

class DriverInstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(workspace.moved()) << "could not move the workspace base folder aside";
        ASSERT_TRUE(UnplugAllVirtualDevices());
    }
    void TearDown() override {
        EndStartedDriverTools();  // a hanging tool holds files of the workspace
    }

    std::wstring Base() const { return workspace.base(); }
    bool Run(const std::wstring& parameters, DWORD waitMs) {
        return RunWorkspaceToolElevated(output, L"driver_x64.exe", parameters, waitMs);
    }

    RockusbServiceGuard service;  // declared first: put back last
    PluggedDevices devices;
    SavedWorkspace workspace;
    RecordingOutput output;

    SeamOverride<DriverPackageExtractor> extractor{&SetDriverPackageExtractor, &CopyingExtractor};
};

TEST_F(DriverInstallTest, PreInstallAddsTheServiceAndPreUninstallRemovesItAndUnbindsTheRockchipDevices) {
    ASSERT_TRUE(service.Remove());

    ASSERT_TRUE(PreInstallDriver(output));
    EXPECT_EQ(std::vector<std::wstring>{kInstallSucceeded}, output.lines);
    EXPECT_TRUE(output.boxes.empty());
    EXPECT_TRUE(IsServiceInstalled(L"rockusb"));
    EXPECT_EQ(L"\\SystemRoot\\system32\\drivers\\rockusb.sys", ServiceBinaryPath(L"rockusb"));
    EXPECT_TRUE(FileExists(NativeDriversFolder() + L"rockusb.sys"));

    const std::wstring rockchip = devices.Plug();
    const std::wstring other = devices.Plug(L"--vid 0x1234");
    ASSERT_FALSE(rockchip.empty());
    ASSERT_FALSE(other.empty());
    EXPECT_EQ(DriverStatus::Ready, QueryDriverStatus());

    output.lines.clear();
    ASSERT_TRUE(PreUninstallDriver(output));
    EXPECT_EQ(std::vector<std::wstring>{kUninstallSucceeded}, output.lines);
    EXPECT_FALSE(IsServiceInstalled(L"rockusb"));
    EXPECT_FALSE(FileExists(NativeDriversFolder() + L"rockusb.sys"));
    ListedDevice listed;
    ASSERT_TRUE(FindListedDevice(rockchip, listed));
    EXPECT_EQ(L"", listed.service);
    ASSERT_TRUE(FindListedDevice(other, listed));
    EXPECT_EQ(L"rockusb", listed.service);  // not a "VID_2207" device
    EXPECT_EQ(DriverStatus::DeviceWithoutDriver, QueryDriverStatus());
}

TEST_F(DriverInstallTest, OnlyExitCodeZeroCountsAsSuccess) {
    ASSERT_TRUE(CopyDriverFiles(Base()));
    const std::pair<const wchar_t*, bool> cases[] = {{L"0", true}, {L"2", false}, {L"1", false}, {L"259", false}};
    for (const auto& [code, success] : cases) {
        SCOPED_TRACE(testing::Message() << "exit code " << code);
        ScopedEnvironment exitCode(L"VANDREL_DRIVER_STUB_EXIT_CODE", code);
        output.lines.clear();
        EXPECT_EQ(success, Run(kInstallParameters, kDriverToolWaitMs));
        EXPECT_TRUE(output.lines.empty());

        EXPECT_EQ(success, PreInstallDriver(output));
        EXPECT_EQ(success, PreUninstallDriver(output));
        EXPECT_EQ((std::vector<std::wstring>{success ? kInstallSucceeded : kInstallFailed,
                                             success ? kUninstallSucceeded : kUninstallFailed}),
                  output.lines);
        EXPECT_TRUE(output.boxes.empty());
    }
}

TEST_F(DriverInstallTest, ATimedOutToolIsReportedAndLeftRunningAndAZeroLimitDoesNotWait) {
    ASSERT_TRUE(CopyDriverFiles(Base()));
    ScopedEnvironment hang(L"VANDREL_DRIVER_STUB_HANG", L"1");

    EXPECT_FALSE(Run(kInstallParameters, 1500));
    EXPECT_EQ(std::vector<std::wstring>{kTimeout}, output.lines);
    EXPECT_EQ(1, EndStartedDriverTools());

    output.lines.clear();
    EXPECT_TRUE(Run(kInstallParameters, 0));
    EXPECT_TRUE(output.lines.empty());
    EXPECT_EQ(1, EndStartedDriverTools());
}

TEST_F(DriverInstallTest, PreInstallGivesUpAfterThirtySeconds) {
    ScopedEnvironment hang(L"VANDREL_DRIVER_STUB_HANG", L"1");
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_FALSE(PreInstallDriver(output));
    EXPECT_GE(::GetTickCount64() - start, 29900u);
    EXPECT_EQ((std::vector<std::wstring>{kTimeout, kInstallFailed}), output.lines);
}

TEST_F(DriverInstallTest, AMissingToolShowsTheIncorrectBoxThenTheStepFails) {
    ASSERT_NE(LANG_JAPANESE, PRIMARYLANGID(::GetUserDefaultUILanguage()));
    const RecordingOutput::Box incorrect{L"Incorrect", L"Message", MB_ICONERROR};

    EXPECT_FALSE(Run(kInstallParameters, kDriverToolWaitMs));
    EXPECT_TRUE(output.lines.empty());

    SetDriverPackageExtractor(&SilentExtractor);
    EXPECT_FALSE(PreInstallDriver(output));
    SetDriverPackageExtractor(&FailingExtractor);
    EXPECT_FALSE(PreUninstallDriver(output));  // the extraction's result is not judged here

    EXPECT_EQ((std::vector<std::wstring>{kInstallFailed, kUninstallFailed}), output.lines);
    ASSERT_EQ(3u, output.boxes.size());
    for (const RecordingOutput::Box& box : output.boxes) {
        EXPECT_EQ(incorrect.text, box.text);
        EXPECT_EQ(incorrect.caption, box.caption);
        EXPECT_EQ(incorrect.type, box.type);
    }
}

TEST_F(DriverInstallTest, AFailedExtractionSkipsThePreInstallButNotThePreUninstall) {
    ASSERT_TRUE(service.Remove());
    ASSERT_TRUE(CopyDriverFiles(Base()));
    SetDriverPackageExtractor(&FailingExtractor);

    EXPECT_TRUE(PreInstallDriver(output));  // the dialog goes on, without the driver
    EXPECT_EQ(std::vector<std::wstring>{L"[Driver] Extract embedded files failed."}, output.lines);
    EXPECT_FALSE(IsServiceInstalled(L"rockusb"));  // the tool did not run

    ASSERT_TRUE(service.Install());
    output.lines.clear();
    EXPECT_TRUE(PreUninstallDriver(output));
    EXPECT_EQ(std::vector<std::wstring>{kUninstallSucceeded}, output.lines);
    EXPECT_FALSE(IsServiceInstalled(L"rockusb"));
    EXPECT_TRUE(output.boxes.empty());
}

// A tool file that exists but is no program: the failure must come back as an error code at once, not
// as a system box that blocks the dialog's thread.
TEST_F(DriverInstallTest, AnUnstartableToolIsReportedWithItsErrorCodeAndNoSystemBox) {
    ASSERT_TRUE(CopyDriverFiles(Base()));
    ASSERT_TRUE(WriteFileBytes(Base() + L"driver_x64.exe", "this is not a program"));

    std::atomic<bool> done{false};
    bool result = true;
    std::thread step([&] {
        result = RunWorkspaceToolElevated(output, L"driver_x64.exe", kInstallParameters,
                                          kDriverToolWaitMs);
        done = true;
    });
    const bool returned = WaitFor([&] { return done.load(); }, 15000);
    if (!returned) {
        MessageBoxInfo box;
        if (WaitForMessageBox(::GetCurrentProcessId(), &box, 5000)) {
            ADD_FAILURE() << "a system box blocked the step: " << testing::PrintToString(box.text);
            DismissMessageBox(box.window);
        }
    }
    step.join();
    EXPECT_TRUE(returned);
    EXPECT_FALSE(result);
    const std::wstring path = Base() + L"driver_x64.exe";
    EXPECT_EQ((std::vector<std::wstring>{Format(L"ShellExecuteEx failed (err=%lu)\r\n%s %s",
                                                static_cast<unsigned long>(ERROR_BAD_EXE_FORMAT), path.c_str(),
                                                kInstallParameters)}),
              output.lines);
}

// The driver tool looks for the DLLs it loads in its own folder first, the base folder, where 7-Zip writes
// too: whatever a package that took 7-Zip over left there must be gone before the tool runs.
TEST_F(DriverInstallTest, NoFileButTheCarriedOnesIsLeftBesideTheToolWhenItRuns) {
    ASSERT_TRUE(service.Remove());
    ASSERT_TRUE(CopyDriverFiles(Base()));
    for (const wchar_t* planted : {L"version.dll", L"setupapi.dll", L"notes.txt"})
        ASSERT_TRUE(WriteFileBytes(Base() + planted, "planted"));
    ASSERT_TRUE(WriteFileBytes(Base() + L"7z.dll", "the extractor's library stays"));

    EXPECT_TRUE(PreInstallDriver(output));
    EXPECT_EQ(std::vector<std::wstring>{kInstallSucceeded}, output.lines);
    for (const wchar_t* planted : {L"version.dll", L"setupapi.dll", L"notes.txt"})
        EXPECT_FALSE(FileExists(Base() + planted)) << "left beside the driver tool: " << testing::PrintToString(planted);
    EXPECT_TRUE(FileExists(Base() + L"7z.dll"));
}

// The driver tool runs with administrator rights from a folder the user's other processes could reach:
// one changed after its extraction is written again before it runs, and never runs as it was found.
// The changed tool is ours with one byte more, so it would run (and hang, as told) if it were started.
bool CopyAndChangeTheTool() {
    return CopyDriverFiles(GetWorkspaceBaseFolder()) &&
           WriteFileBytes(GetWorkspaceBaseFolder() + L"driver_x64.exe",
                          ReadFileBytes(X64BinFolder() + L"driver_x64.exe") + "x");
}
int g_changesLeft = 0;
bool ChangingExtractor() { return g_changesLeft-- > 0 ? CopyAndChangeTheTool() : CopyingExtractor(); }

TEST_F(DriverInstallTest, AToolChangedAfterItsExtractionIsWrittenAgainBeforeItRuns) {
    ASSERT_TRUE(service.Remove());
    g_changesLeft = 1;
    SetDriverPackageExtractor(&ChangingExtractor);
    EXPECT_TRUE(PreInstallDriver(output));
    EXPECT_EQ(std::vector<std::wstring>{kInstallSucceeded}, output.lines);
    EXPECT_TRUE(IsServiceInstalled(L"rockusb")) << "the carried tool ran";
    EXPECT_EQ(ReadFileBytes(X64BinFolder() + L"driver_x64.exe"), ReadFileBytes(Base() + L"driver_x64.exe"));
}

TEST_F(DriverInstallTest, AToolThatStaysChangedIsNeverRun) {
    ASSERT_TRUE(service.Remove());
    ScopedEnvironment hang(L"VANDREL_DRIVER_STUB_HANG", L"1");  // a tool that ran would time out
    g_changesLeft = 100;
    SetDriverPackageExtractor(&ChangingExtractor);
    EXPECT_FALSE(PreInstallDriver(output));
    EXPECT_FALSE(PreUninstallDriver(output));
    EXPECT_EQ((std::vector<std::wstring>{kInstallFailed, kUninstallFailed}), output.lines);
    EXPECT_TRUE(output.boxes.empty());
    EXPECT_EQ(0, EndStartedDriverTools()) << "no driver tool was started";
    EXPECT_FALSE(IsServiceInstalled(L"rockusb"));
}

}  // namespace
}  // namespace vandrel::test
