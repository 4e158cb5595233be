// The status display on a window with the dialog's controls: buttons, hints, the "[Status]" line and its
// selection for every status, the silent first showing, and the busy rule.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/device_status_view.h"
#include "resources/resource.h"
#include "tests/support/status_window.h"

namespace vandrel::test {
namespace {

enum class Hint { Kept, Shown, Hidden };

struct Case {
    DriverStatus status;
    bool buttonsEnabled;
    Hint connectHint;  // IDC_CONNECT_HINT
    Hint driverHint;   // IDC_DRIVER_HINT
    const wchar_t* line;
};

const Case kCases[] = {
    {DriverStatus::NoDriverNoDevice, false, Hint::Kept, Hint::Kept,
     L"[Status] RockUSB driver is not installed, and no device is detected."},
    {DriverStatus::DeviceWithoutDriver, false, Hint::Kept, Hint::Kept,
     L"[Status] Rockchip device detected, but the RockUSB driver is not installed."},
    {DriverStatus::DriverWithoutDevice, false, Hint::Shown, Hint::Hidden,
     L"[Status] RockUSB driver is installed, but no device is currently connected."},
    {DriverStatus::DeviceNotBound, false, Hint::Hidden, Hint::Shown,
     L"[Status] RockUSB driver is installed and a device is present, but it is not bound to 'rockusb'."},
    {DriverStatus::Ready, true, Hint::Hidden, Hint::Hidden, L"[Status] RockUSB is correctly bound. Ready."},
};

bool Expected(Hint hint, bool before) { return hint == Hint::Kept ? before : hint == Hint::Shown; }

// Puts buttons and hints into a known state: all on, or all off.
void Prepare(StatusWindow& window, bool on) {
    for (int id : {IDC_START_WRITING, IDC_CONFIRM_VERSION}) ::EnableWindow(window.item(id), on);
    for (int id : {IDC_CONNECT_HINT, IDC_DRIVER_HINT}) ::ShowWindow(window.item(id), on ? SW_SHOW : SW_HIDE);
}

TEST(StatusDisplay, EachStatusSetsButtonsHintsAndAddsItsSelectedLine) {
    for (const Case& c : kCases) {
        for (bool before : {true, false}) {
            SCOPED_TRACE(testing::Message() << "status " << static_cast<int>(c.status) << ", before " << before);
            StatusWindow window;
            ::SendMessageW(window.item(IDC_MESSAGE_LIST), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"[Driver] earlier line"));
            Prepare(window, before);

            ApplyDriverStatus(window.get(), c.status, false);

            EXPECT_EQ(c.buttonsEnabled, window.Enabled(IDC_START_WRITING));
            EXPECT_EQ(c.buttonsEnabled, window.Enabled(IDC_CONFIRM_VERSION));
            EXPECT_EQ(Expected(c.connectHint, before), window.Visible(IDC_CONNECT_HINT));
            EXPECT_EQ(Expected(c.driverHint, before), window.Visible(IDC_DRIVER_HINT));
            EXPECT_EQ((std::vector<std::wstring>{L"[Driver] earlier line", c.line}), window.Lines());
            EXPECT_EQ(1, window.Selection());
        }
    }
}

TEST(StatusDisplay, WhileBusyTheButtonsStayAsTheyAreButHintsAndLineChange) {
    for (const Case& c : kCases) {
        for (bool buttonsOn : {true, false}) {
            SCOPED_TRACE(testing::Message() << "status " << static_cast<int>(c.status) << ", buttons " << buttonsOn);
            StatusWindow window;
            Prepare(window, true);
            for (int id : {IDC_START_WRITING, IDC_CONFIRM_VERSION}) ::EnableWindow(window.item(id), buttonsOn);

            ApplyDriverStatus(window.get(), c.status, true);

            EXPECT_EQ(buttonsOn, window.Enabled(IDC_START_WRITING));
            EXPECT_EQ(buttonsOn, window.Enabled(IDC_CONFIRM_VERSION));
            EXPECT_EQ(Expected(c.connectHint, true), window.Visible(IDC_CONNECT_HINT));
            EXPECT_EQ(Expected(c.driverHint, true), window.Visible(IDC_DRIVER_HINT));
            EXPECT_EQ(std::vector<std::wstring>{c.line}, window.Lines());
        }
    }
}

TEST(StatusDisplay, RepeatedStatusAddsIdenticalLinesAndSelectsTheLast) {
    StatusWindow window;
    ApplyDriverStatus(window.get(), DriverStatus::Ready, false);
    ApplyDriverStatus(window.get(), DriverStatus::Ready, false);
    ApplyDriverStatus(window.get(), DriverStatus::DriverWithoutDevice, false);
    ApplyDriverStatus(window.get(), DriverStatus::DriverWithoutDevice, false);
    const std::wstring ready = L"[Status] RockUSB is correctly bound. Ready.";
    const std::wstring waiting = L"[Status] RockUSB driver is installed, but no device is currently connected.";
    EXPECT_EQ((std::vector<std::wstring>{ready, ready, waiting, waiting}), window.Lines());
    EXPECT_EQ(3, window.Selection());
}

TEST(StatusDisplay, FirstShowingSetsControlsForTwoThreeAndFourOnlyAndWritesNoLine) {
    for (const Case& c : kCases) {
        for (bool before : {true, false}) {
            SCOPED_TRACE(testing::Message() << "status " << static_cast<int>(c.status) << ", before " << before);
            StatusWindow window;
            Prepare(window, before);

            ApplyInitialDriverStatus(window.get(), c.status);

            const bool silent = c.status == DriverStatus::NoDriverNoDevice ||
                                c.status == DriverStatus::DeviceWithoutDriver;
            EXPECT_EQ(silent ? before : c.buttonsEnabled, window.Enabled(IDC_START_WRITING));
            EXPECT_EQ(silent ? before : c.buttonsEnabled, window.Enabled(IDC_CONFIRM_VERSION));
            EXPECT_EQ(Expected(c.connectHint, before), window.Visible(IDC_CONNECT_HINT));
            EXPECT_EQ(Expected(c.driverHint, before), window.Visible(IDC_DRIVER_HINT));
            EXPECT_TRUE(window.Lines().empty());
        }
    }
}

}  // namespace
}  // namespace vandrel::test
