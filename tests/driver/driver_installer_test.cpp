// The stand-in driver_x64.exe run directly: its arguments, the package files it needs, and which
// devices "/u" unbinds.
#include <windows.h>

#include <gtest/gtest.h>

#include "driver/driver_status.h"
#include "tests/driver/driver_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_transmitter_client.h"
#include "tests/support/driving.h"

namespace vandrel::test {
namespace {

class DriverInstallerStandIn : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(UnplugAllVirtualDevices());
        ASSERT_TRUE(service.Remove());
        ASSERT_TRUE(CopyDriverFiles(package.path()));
    }

    // Runs the copy of driver_x64.exe in the package folder; its exit code, or -1.
    long long Run(const std::wstring& arguments) {
        Process tool(package / L"driver_x64.exe", arguments);
        DWORD code = 0;
        if (!tool.running() || !tool.WaitForExit(30000, &code)) return -1;
        return code;
    }
    std::wstring Inf() const { return L"\"" + (package / L"rockusb.inf") + L"\""; }

    RockusbServiceGuard service;
    PluggedDevices devices;
    TempDir package;
};

TEST_F(DriverInstallerStandIn, BadArgumentsAndIncompletePackagesFailWithoutAService) {
    EXPECT_EQ(2, Run(L""));
    EXPECT_EQ(2, Run(L"/x " + Inf()));
    EXPECT_EQ(2, Run(L"/u " + Inf()));
    EXPECT_EQ(1, Run(L"/i \"" + (package / L"other.inf") + L"\""));
    ASSERT_TRUE(::DeleteFileW((package / L"rockusb.cat").c_str()));
    EXPECT_EQ(1, Run(L"/i " + Inf()));
    EXPECT_FALSE(IsServiceInstalled(L"rockusb"));
}

TEST_F(DriverInstallerStandIn, UninstallUnbindsOnlyDevicesWithTheFragmentAndToleratesAMissingService) {
    ASSERT_EQ(0, Run(L"/i " + Inf()));
    ASSERT_TRUE(IsServiceInstalled(L"rockusb"));
    const std::wstring rockchip = devices.Plug();
    const std::wstring other = devices.Plug(L"--vid 0x1234");

    ASSERT_EQ(0, Run(L"/u \"vid_2207\" " + Inf()));
    ListedDevice listed;
    ASSERT_TRUE(FindListedDevice(rockchip, listed));
    EXPECT_EQ(L"", listed.service);
    ASSERT_TRUE(FindListedDevice(other, listed));
    EXPECT_EQ(L"rockusb", listed.service);
    EXPECT_FALSE(IsServiceInstalled(L"rockusb"));

    EXPECT_EQ(0, Run(L"/u \"VID_2207\" " + Inf()));  // taking out what is not there is no failure
}

}  // namespace
}  // namespace vandrel::test
