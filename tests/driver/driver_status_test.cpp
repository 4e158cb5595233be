// The driver status read from the real service table and device list, with virtual transmitters and
// the "rockusb" service entry as the situations, and shown on a window with the dialog's controls.
#include <windows.h>
#include <setupapi.h>
#include <dbt.h>

#include <gtest/gtest.h>

#include "app/device_status_view.h"
#include "driver/driver_status.h"
#include "driver/status_report.h"
#include "resources/resource.h"
#include "tests/driver/driver_test_support.h"
#include "tests/support/virtual_transmitter_client.h"

namespace vandrel::test {
namespace {

class DriverStatusTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(UnplugAllVirtualDevices()); }

    // The line that the status display adds for the status read now.
    std::wstring QueryAndShow() {
        ApplyDriverStatus(window.get(), QueryDriverStatus(), false);
        const std::vector<std::wstring> lines = window.Lines();
        return lines.empty() ? L"" : lines.back();
    }

    RockusbServiceGuard service;  // declared first: put back after the devices are gone
    PluggedDevices devices;
    StatusWindow window;
};

TEST_F(DriverStatusTest, WithoutTheServiceADeviceShowsOneAndNoDeviceShowsZero) {
    ASSERT_TRUE(service.Remove());
    EXPECT_EQ(DriverStatus::NoDriverNoDevice, QueryDriverStatus());
    EXPECT_FALSE(IsServiceInstalled(L"rockusb"));

    const std::wstring id = devices.Plug();
    ASSERT_FALSE(id.empty());
    EXPECT_EQ(L"[Status] Rockchip device detected, but the RockUSB driver is not installed.", QueryAndShow());
    // A device that names the service does not stand in for the missing service entry.
    ASSERT_TRUE(SetDeviceProperty(id, SPDRP_SERVICE, L"rockusb"));
    EXPECT_EQ(DriverStatus::DeviceWithoutDriver, QueryDriverStatus());
}

TEST_F(DriverStatusTest, PlugAndUnplugMoveBetweenWaitingAndReady) {
    ASSERT_TRUE(service.Install());
    EXPECT_TRUE(IsServiceInstalled(L"rockusb"));
    EXPECT_TRUE(IsServiceInstalled(L"ROCKUSB"));  // service names are not case-sensitive
    EXPECT_EQ(L"[Status] RockUSB driver is installed, but no device is currently connected.", QueryAndShow());

    const std::wstring id = devices.Plug();
    ASSERT_FALSE(id.empty());
    EXPECT_EQ(L"[Status] RockUSB is correctly bound. Ready.", QueryAndShow());
    EXPECT_TRUE(window.Enabled(IDC_START_WRITING));
    EXPECT_TRUE(window.Enabled(IDC_CONFIRM_VERSION));

    ASSERT_TRUE(devices.Unplug(id));
    EXPECT_EQ(DriverStatus::DriverWithoutDevice, QueryDriverStatus());
    ApplyDriverStatus(window.get(), DriverStatus::DriverWithoutDevice, false);
    EXPECT_FALSE(window.Enabled(IDC_START_WRITING));
    EXPECT_TRUE(window.Visible(IDC_CONNECT_HINT));
    EXPECT_FALSE(window.Visible(IDC_DRIVER_HINT));
}

TEST_F(DriverStatusTest, ADevicePluggedBeforeTheServiceStaysUnboundUntilPluggedAgain) {
    ASSERT_TRUE(service.Remove());
    const std::wstring early = devices.Plug();
    ASSERT_FALSE(early.empty());
    ASSERT_TRUE(service.Install());

    EXPECT_EQ(L"[Status] RockUSB driver is installed and a device is present, but it is not bound to 'rockusb'.",
              QueryAndShow());
    EXPECT_FALSE(window.Enabled(IDC_START_WRITING));
    EXPECT_FALSE(window.Visible(IDC_CONNECT_HINT));
    EXPECT_TRUE(window.Visible(IDC_DRIVER_HINT));

    ASSERT_TRUE(devices.Unplug(early));
    ASSERT_FALSE(devices.Plug().empty());
    EXPECT_EQ(DriverStatus::Ready, QueryDriverStatus());
}

TEST_F(DriverStatusTest, AnotherVendorsDeviceNamingTheServiceInCapitalsCountsAsBound) {
    ASSERT_TRUE(service.Remove());
    ASSERT_FALSE(devices.Plug().empty());  // Rockchip, unbound
    const std::wstring other = devices.Plug(L"--vid 0x1234");
    ASSERT_FALSE(other.empty());
    ASSERT_TRUE(service.Install());
    ASSERT_EQ(DriverStatus::DeviceNotBound, QueryDriverStatus());

    ASSERT_TRUE(SetDeviceProperty(other, SPDRP_SERVICE, L"ROCKUSB"));
    EXPECT_TRUE(IsAnyDeviceBoundToService(L"rockusb"));
    EXPECT_EQ(L"[Status] RockUSB is correctly bound. Ready.", QueryAndShow());
}

TEST_F(DriverStatusTest, VendorIdIsFoundInAnyHardwareIdWhateverTheLetterCase) {
    const std::wstring id = devices.Plug(L"--vid 0x1234");
    ASSERT_FALSE(id.empty());
    EXPECT_FALSE(IsDevicePresentByVendorId(0x2207));
    EXPECT_TRUE(IsDevicePresentByVendorId(0x1234));

    struct Case {
        std::vector<std::wstring> ids;
        bool present;
    };
    const Case cases[] = {
        {{L"usb\\vid_2207&pid_110b"}, true},
        {{L"ROOT\\SOMETHING", L"USB\\Vid_2207&Pid_110F"}, true},  // not the first string
        {{L"USB\\VID_22071&PID_0001"}, true},                     // a containment test, as specified
        {{L"USB\\PID_2207&VID_1234"}, false},
        {{L"USB\\VID_220&PID_7000"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ids.back().c_str());
        ASSERT_TRUE(SetDeviceProperty(id, SPDRP_HARDWAREID, MultiString(c.ids)));
        EXPECT_EQ(c.present, IsDevicePresentByVendorId(0x2207));
    }
}

TEST_F(DriverStatusTest, ServiceNamesCompareWholeAndWithoutRegardToLetterCase) {
    const std::wstring id = devices.Plug(L"--vid 0x1234");
    ASSERT_FALSE(id.empty());
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"RockUsb", true}, {L"rockusb", true}, {L"rockusb2", false}, {L"rock", false}, {L"usbhub", false},
    };
    for (const auto& [name, bound] : cases) {
        ASSERT_TRUE(SetDeviceProperty(id, SPDRP_SERVICE, name));
        EXPECT_EQ(bound, IsAnyDeviceBoundToService(L"rockusb")) << name;
    }
}

TEST_F(DriverStatusTest, AHardwareIdListLongerThanTheReadingBufferIsSkipped) {
    const std::wstring id = devices.Plug();
    ASSERT_FALSE(id.empty());
    // 5000 characters are 10000 bytes, more than the 8192-byte buffer.
    ASSERT_TRUE(SetDeviceProperty(id, SPDRP_HARDWAREID,
                                  MultiString({L"USB\\VID_2207&PID_110B", std::wstring(5000, L'X')})));
    EXPECT_FALSE(IsDevicePresentByVendorId(0x2207));
}

TEST(StatusReport, ArrivalRemovalAndTreeChangesCallForAnEvaluationOtherEventsDoNot) {
    for (UINT code : {DBT_DEVNODES_CHANGED, DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE})
        EXPECT_TRUE(IsDriverStatusEvent(code)) << code;
    for (UINT code : {DBT_DEVICEQUERYREMOVE, DBT_DEVICEQUERYREMOVEFAILED, DBT_DEVICEREMOVEPENDING,
                      DBT_CONFIGCHANGED, DBT_QUERYCHANGECONFIG, DBT_CUSTOMEVENT})
        EXPECT_FALSE(IsDriverStatusEvent(code)) << code;
}

}  // namespace
}  // namespace vandrel::test
