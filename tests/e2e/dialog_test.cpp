// The main dialog of the real tool, driven from outside: its controls, keys, the ways it ends and its
// progress display.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "common/text.h"
#include "tests/e2e/tool_fixture.h"
#include "version.h"  // the version the build gives the tool
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_transmitter_client.h"
#include "resources/resource.h"

namespace vandrel::test {
namespace {

using DialogTest = ToolTest;

TEST_F(DialogTest, ShowsTheEnglishCaptionsWithTheVersionInTheTitle) {
    ASSERT_TRUE(Start());
    EXPECT_EQ(std::wstring(L"Quorra2 Transmitter Update Tool v") + VANDREL_VERSION_WIDE, WindowText(dialog_));
    struct Expected { int id; const wchar_t* caption; bool shown; };
    const Expected controls[] = {
        {IDC_FIRMWARE_LABEL, L"Firmware:", true}, {IDC_FIRMWARE_PATH, L"", true}, {IDC_SELECT, L"Select", true},
        {IDC_LOADER_PATH, L"", false}, {IDC_LOADER_LABEL, L"Loader:", false}, {IDC_OPEN, L"Open", false},
        {IDC_START_WRITING, L"Start Writing", true}, {IDC_WRITE_MAC, L"WriteMac", false}, {IDC_FW_VERSION_CHECK, L"FW Version Check", false},
        {IDC_MESSAGE_LIST, L"", false}, {IDC_WRITING_LABEL, L"Writing ...", false},
        {IDC_CONFIRM_VERSION, L"Confirming FW version", true},
    };
    for (const Expected& c : controls) {
        HWND control = Control(c.id);
        ASSERT_NE(nullptr, control) << c.id;
        EXPECT_EQ(c.caption, WindowText(control)) << c.id;
        EXPECT_EQ(c.shown, IsShown(control)) << c.id;
    }
    // The hints follow the device status, which the driver tests cover.
    EXPECT_EQ(L" Please connect the transmitter.", WindowText(Control(IDC_CONNECT_HINT)));
    EXPECT_EQ(L"Please install USB drivers", WindowText(Control(IDC_DRIVER_HINT)));
    HWND bar = Control(IDC_PROGRESS);
    ASSERT_NE(nullptr, bar) << "the progress bar is made at initialisation";
    EXPECT_FALSE(IsShown(bar));
}

TEST_F(DialogTest, ProgressBarLiesEightPixelsBelowTheMessageListAndAsWide) {
    ASSERT_TRUE(Start());
    RECT list{}, bar{};
    ::GetWindowRect(Control(IDC_MESSAGE_LIST), &list);
    ::GetWindowRect(Control(IDC_PROGRESS), &bar);
    EXPECT_EQ(list.left, bar.left);
    EXPECT_EQ(list.right, bar.right);
    EXPECT_EQ(list.bottom + 8, bar.top);
    EXPECT_EQ(20, bar.bottom - bar.top);
}

TEST_F(DialogTest, TitleIsTheBareCaptionWithoutVersionInformation) {
    ASSERT_TRUE(Start(BinFolder() + L"variants\\without_version\\Vandrel.exe"));
    EXPECT_EQ(L"Quorra2 Transmitter Update Tool", WindowText(dialog_));
}

TEST_F(DialogTest, EnterDoesNothing) {
    ASSERT_TRUE(Start());
    DWORD_PTR ignored = 0;
    ASSERT_TRUE(::SendMessageTimeoutW(dialog_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0, SMTO_ABORTIFHUNG, 5000,
                                      &ignored));
    EXPECT_TRUE(::IsWindow(dialog_));
    EXPECT_TRUE(tool_->running());
}

// The upgrade library's log of today, beside the tool (the stand-in logs every call).
std::string LibraryLog() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return ReadFileBytes(BinFolder() + Format(L"Log\\RKUpgrade_%04u%02u%02u.log", now.wYear, now.wMonth, now.wDay));
}

// Escape and the close request end the tool the same way: driver removed, library uninitialised before
// it goes, library copy removed.
class EndingTest : public ToolTest, public ::testing::WithParamInterface<UINT> {};

TEST_P(EndingTest, RemovesTheDriverUninitialisesTheLibraryAndRemovesItsCopy) {
    RockusbServiceGuard service;
    const auto before = PrivateLibraryFolders();
    ASSERT_TRUE(Start());
    ASSERT_TRUE(RockusbServiceExists());
    const size_t logBefore = LibraryLog().size();

    if (GetParam() == WM_CLOSE)
        ::PostMessageW(dialog_, WM_CLOSE, 0, 0);
    else
        tool_->SendCommand(IDCANCEL);  // the Escape key
    DWORD exitCode = 99;
    ASSERT_TRUE(tool_->WaitForExit(20000, &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_FALSE(RockusbServiceExists()) << "the driver is taken out when the tool ends";
    EXPECT_EQ(before, PrivateLibraryFolders()) << "the library copy and its folder are removed at exit";
    const std::string calls = LibraryLog().substr(logBefore);
    const size_t uninitialised = calls.rfind("RK_Uninitialize() -> 1");
    ASSERT_NE(std::string::npos, uninitialised) << calls;
    EXPECT_EQ(std::string::npos, calls.find("RK_", uninitialised + 1)) << "no call after the uninitialisation";
}

INSTANTIATE_TEST_SUITE_P(Ways, EndingTest, ::testing::Values(WM_CLOSE, WM_COMMAND),
                         [](const ::testing::TestParamInfo<UINT>& info) {
                             return info.param == WM_CLOSE ? std::string("CloseRequest") : std::string("Escape");
                         });

TEST_F(DialogTest, ProgressDisplayRunsBetweenStartAndStopMessages) {
    ASSERT_TRUE(Start());
    HWND bar = Control(IDC_PROGRESS), label = Control(IDC_WRITING_LABEL);
    auto position = [&] {
        DWORD_PTR pos = 0;
        ::SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &pos);
        return static_cast<int>(pos);
    };
    DWORD_PTR result = 1;
    // A stop without a start changes nothing.
    ::SendMessageTimeoutW(dialog_, WM_APP + 2, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    EXPECT_FALSE(IsShown(bar));

    ::SendMessageTimeoutW(dialog_, WM_APP + 1, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    EXPECT_EQ(0u, result);
    EXPECT_TRUE(IsShown(bar));
    EXPECT_TRUE(IsShown(label));
    ASSERT_TRUE(WaitFor([&] { return position() >= 5; })) << "the bar follows the time";

    // A second start does not restart the thirty seconds.
    const int before = position();
    ::SendMessageTimeoutW(dialog_, WM_APP + 1, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    EXPECT_GE(position(), before);

    ::SendMessageTimeoutW(dialog_, WM_APP + 2, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    EXPECT_FALSE(IsShown(bar));
    EXPECT_FALSE(IsShown(label));
    const int stopped = position();
    ::Sleep(300);
    EXPECT_EQ(stopped, position()) << "the timer stops with the display";
}

}  // namespace
}  // namespace vandrel::test
