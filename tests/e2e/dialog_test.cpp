// The main dialog of the real tool, driven from outside: its controls, keys, close request and
// progress display.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "tests/e2e/tool_fixture.h"

namespace vandrel::test {
namespace {

using DialogTest = ToolTest;

TEST_F(DialogTest, ShowsTheEnglishCaptionsWithTheVersionInTheTitle) {
    ASSERT_TRUE(Start());
    EXPECT_EQ(L"Quorra2 Transmitter Update Tool v1.8.0.0", WindowText(dialog_));
    struct Expected { int id; const wchar_t* caption; bool shown; };
    const Expected controls[] = {
        {1005, L"Firmware:", true}, {1000, L"", true}, {1001, L"Select", true},
        {1002, L"", false}, {1006, L"Loader:", false}, {1004, L"Open", false},
        {1007, L"Start Writing", true}, {1008, L"WriteMac", false}, {1009, L"FW Version Check", false},
        {1003, L"", false}, {1013, L"Writing ...", false},
        {1011, L"Confirming FW version", true},
    };
    for (const Expected& c : controls) {
        HWND control = Control(c.id);
        ASSERT_NE(nullptr, control) << c.id;
        EXPECT_EQ(c.caption, WindowText(control)) << c.id;
        EXPECT_EQ(c.shown, IsShown(control)) << c.id;
    }
    // The hints follow the device status, which the driver tests cover.
    EXPECT_EQ(L" Please connect the transmitter.", WindowText(Control(1014)));
    EXPECT_EQ(L"Please install USB drivers", WindowText(Control(1015)));
    HWND bar = Control(12345);
    ASSERT_NE(nullptr, bar) << "the progress bar is made at initialisation";
    EXPECT_FALSE(IsShown(bar));
}

TEST_F(DialogTest, ProgressBarLiesEightPixelsBelowTheMessageListAndAsWide) {
    ASSERT_TRUE(Start());
    RECT list{}, bar{};
    ::GetWindowRect(Control(1003), &list);
    ::GetWindowRect(Control(12345), &bar);
    EXPECT_EQ(list.left, bar.left);
    EXPECT_EQ(list.right, bar.right);
    EXPECT_EQ(list.bottom + 8, bar.top);
    EXPECT_EQ(20, bar.bottom - bar.top);
}

TEST_F(DialogTest, TitleIsTheBareCaptionWithoutVersionInformation) {
    tool_ = std::make_unique<Process>(BinFolder() + L"variants\\without_version\\Vandrel.exe");
    ASSERT_TRUE(WaitFor([&] {
        for (HWND w : TopLevelWindows(tool_->id()))
            if (::GetDlgItem(w, 1007) && IsShown(w)) dialog_ = w;
        return dialog_ != nullptr;
    }));
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

TEST_F(DialogTest, EscapeEndsTheDialogAndTheToolRemovesItsLibraryCopy) {
    const auto before = PrivateLibraryFolders();
    ASSERT_TRUE(Start());
    ::PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    DWORD exitCode = 99;
    ASSERT_TRUE(tool_->WaitForExit(15000, &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(before, PrivateLibraryFolders());
}

TEST_F(DialogTest, CloseRequestUninitialisesTheLibraryAndEndsTheTool) {
    const auto before = PrivateLibraryFolders();
    ASSERT_TRUE(Start());
    CloseAndExpectExit();
    EXPECT_EQ(before, PrivateLibraryFolders()) << "the library copy and its folder are removed at exit";
}

TEST_F(DialogTest, ProgressDisplayRunsBetweenStartAndStopMessages) {
    ASSERT_TRUE(Start());
    HWND bar = Control(12345), label = Control(1013);
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
