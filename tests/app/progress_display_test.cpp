// The progress display's timing, driven with chosen tick counts so no test waits thirty seconds.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "app/progress_display.h"

namespace vandrel {
namespace {

class ProgressDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
        ::InitCommonControlsEx(&controls);
        host_ = ::CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 400, 200, nullptr, nullptr, nullptr, nullptr);
        bar_ = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 300, 20, host_, nullptr, nullptr, nullptr);
        label_ = ::CreateWindowExW(0, L"STATIC", L"Writing ...", WS_CHILD, 0, 30, 100, 20, host_, nullptr, nullptr,
                                   nullptr);
        display_.Attach(host_, bar_, label_);
    }
    void TearDown() override { ::DestroyWindow(host_); }

    int Position() const { return static_cast<int>(::SendMessageW(bar_, PBM_GETPOS, 0, 0)); }
    bool Shown(HWND w) const { return (::GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE) != 0; }

    HWND host_ = nullptr, bar_ = nullptr, label_ = nullptr;
    ProgressDisplay display_;
};

TEST_F(ProgressDisplayTest, FillsInTenthsOfASecondAndStopsTheTimerFullAtThirtySeconds) {
    display_.Start(1000);
    EXPECT_TRUE(Shown(bar_));
    EXPECT_TRUE(Shown(label_));
    EXPECT_NE(0u, display_.timer());
    EXPECT_EQ(300, static_cast<int>(::SendMessageW(bar_, PBM_GETRANGE, FALSE, 0)));

    display_.Tick(1000 + 12345);
    EXPECT_EQ(123, Position());
    display_.Tick(1000 + 29999);
    EXPECT_EQ(299, Position());
    EXPECT_NE(0u, display_.timer());

    display_.Tick(1000 + 30000);
    EXPECT_EQ(300, Position());
    EXPECT_EQ(0u, display_.timer()) << "the timer ends when the bar is full";
    EXPECT_TRUE(display_.active()) << "the full bar stays until the write ends";
    EXPECT_TRUE(Shown(bar_));
    display_.Tick(1000 + 90000);
    EXPECT_EQ(300, Position());
}

TEST_F(ProgressDisplayTest, TheTickCounterWrappingDoesNoHarm) {
    display_.Start(0xFFFFF000u);
    display_.Tick(0x00001000u);  // 8192 ms after the start, across the wrap
    EXPECT_EQ(81, Position());
}

TEST_F(ProgressDisplayTest, ASecondStartDoesNotRestartAndAStopWithoutStartChangesNothing) {
    display_.Stop();
    EXPECT_FALSE(display_.active());
    EXPECT_FALSE(Shown(bar_));

    display_.Start(1000);
    display_.Tick(6000);
    display_.Start(6000);
    display_.Tick(7000);
    EXPECT_EQ(60, Position()) << "still counting from the first start";

    display_.Stop();
    EXPECT_FALSE(display_.active());
    EXPECT_EQ(0u, display_.timer());
    EXPECT_FALSE(Shown(bar_));
    EXPECT_FALSE(Shown(label_));
    display_.Tick(9000);
    EXPECT_EQ(60, Position()) << "ticks after the stop move nothing";
}

}  // namespace
}  // namespace vandrel
