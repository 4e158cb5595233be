// virtual-transmitter.exe as a user runs it: plug, list, unplug, binding to rockusb, and the broadcast.
#include <windows.h>
#include <dbt.h>
#include <setupapi.h>

#include <gtest/gtest.h>

#include <vector>

#include "common/unique_handle.h"
#include "tests/support/virtual_transmitter_client.h"

namespace vandrel::test {
namespace {

class VirtualTransmitter : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(UnplugAllVirtualDevices()); }

    RockusbServiceGuard service;  // declared first: put back after the devices are gone
    PluggedDevices devices;
};

TEST_F(VirtualTransmitter, PlugListsTheGivenSettingsAndUnplugRemovesTheDevice) {
    const std::wstring id =
        devices.Plug(L"--pid 0x110F --mode 1 --layer 42 --version V9.8 --upgrade-ms 10 --fail-read");
    ASSERT_EQ(id.rfind(L"ROOT\\VIRTUAL_TRANSMITTER\\", 0), 0u) << id;

    ListedDevice listed;
    ASSERT_TRUE(FindListedDevice(id, listed));
    EXPECT_EQ(listed.vendorId, 0x2207);
    EXPECT_EQ(listed.productId, 0x110F);
    EXPECT_EQ(listed.mode, 1u);
    EXPECT_EQ(listed.layer, 42u);
    EXPECT_EQ(listed.version, "V9.8");
    EXPECT_FALSE(listed.written);

    EXPECT_TRUE(devices.Unplug(id));
    EXPECT_FALSE(FindListedDevice(id, listed));
    EXPECT_TRUE(ListVirtualDevices().empty());
}

TEST_F(VirtualTransmitter, DefaultsAreARockchipV1DeviceInMode2WithAFreshLayer) {
    const std::wstring first = devices.Plug();
    const std::wstring second = devices.Plug(L"--vid 0x1234 --vendor-data E9015C2000000000");
    const std::vector<ListedDevice> listed = ListVirtualDevices();
    ASSERT_EQ(listed.size(), 2u);

    EXPECT_EQ(listed[0].instanceId, first);
    EXPECT_EQ(listed[0].vendorId, 0x2207);
    EXPECT_EQ(listed[0].productId, 0x110B);
    EXPECT_EQ(listed[0].mode, 2u);
    EXPECT_EQ(listed[0].version, "V1.0.0");
    EXPECT_NE(listed[0].layer, 0u);

    EXPECT_EQ(listed[1].instanceId, second);
    EXPECT_EQ(listed[1].vendorId, 0x1234);
    EXPECT_EQ(listed[1].version, "\\xE9\\x01\\x5C ");  // raw bytes, escaped outside printable ASCII
    EXPECT_NE(listed[1].layer, listed[0].layer);
}

TEST_F(VirtualTransmitter, BadArgumentsPrintTheUsageAndPlugNothing) {
    const wchar_t* const cases[] = {
        L"",
        L"frobnicate",
        L"plug --pid",
        L"plug --pid 0x10000",
        L"plug --pid twelve",
        L"plug --layer 0",
        L"plug --mode -1",
        L"plug --version V123456789",
        L"plug --vendor-data 0102",
        L"plug --vendor-data 01020304050607GG",
        L"plug --version V1 --vendor-data 0000000000000000",
        L"plug --colour blue",
        L"unplug",
        L"list extra",
        L"service start",
    };
    for (const wchar_t* arguments : cases) {
        const ProcessRun run = RunTransmitter(arguments);
        ASSERT_TRUE(run.finished) << arguments;
        EXPECT_EQ(run.exitCode, 2u) << arguments;
        EXPECT_NE(run.err.find("Usage"), std::string::npos) << arguments;
    }
    EXPECT_TRUE(ListVirtualDevices().empty());
}

TEST_F(VirtualTransmitter, UnplugOfAnUnknownDeviceFailsWithAMessage) {
    for (const wchar_t* id : {L"ROOT\\VIRTUAL_TRANSMITTER\\9999", L"ROOT\\SOMETHING_ELSE\\0000"}) {
        const ProcessRun run = RunTransmitter(std::wstring(L"unplug ") + id);
        EXPECT_EQ(run.exitCode, 1u) << id;
        EXPECT_FALSE(run.err.empty()) << id;
    }
}

// A root device that is not ours, made here as any other program would.
class ForeignDevice {
public:
    ForeignDevice() : set_(::SetupDiCreateDeviceInfoList(nullptr, nullptr)) {
        static const GUID kSystemClass = {0x4D36E97D, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
        data_.cbSize = sizeof data_;
        const wchar_t ids[] = L"USB\\VID_2207&PID_110B\0";
        registered_ = set_ &&
                      ::SetupDiCreateDeviceInfoW(set_.get(), L"VANDREL_FOREIGN", &kSystemClass, nullptr, nullptr,
                                                 DICD_GENERATE_ID, &data_) &&
                      ::SetupDiSetDeviceRegistryPropertyW(set_.get(), &data_, SPDRP_HARDWAREID,
                                                          reinterpret_cast<const BYTE*>(ids), sizeof ids) &&
                      ::SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set_.get(), &data_);
        wchar_t id[200] = {};
        if (registered_) ::SetupDiGetDeviceInstanceIdW(set_.get(), &data_, id, 200, nullptr);
        id_ = id;
    }
    ~ForeignDevice() {
        if (registered_) ::SetupDiCallClassInstaller(DIF_REMOVE, set_.get(), &data_);
    }
    const std::wstring& id() const { return id_; }
    bool Present() const {
        UniqueDevInfo set(::SetupDiCreateDeviceInfoList(nullptr, nullptr));
        SP_DEVINFO_DATA data{sizeof data};
        return set && ::SetupDiOpenDeviceInfoW(set.get(), id_.c_str(), nullptr, 0, &data);
    }

private:
    UniqueDevInfo set_;
    SP_DEVINFO_DATA data_{};
    bool registered_ = false;
    std::wstring id_;
};

TEST_F(VirtualTransmitter, UnplugAllRemovesOnlyVirtualTransmitters) {
    ForeignDevice foreign;
    ASSERT_FALSE(foreign.id().empty());
    devices.Plug();
    devices.Plug();

    const ProcessRun run = RunTransmitter(L"unplug --all");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(ListVirtualDevices().empty());
    EXPECT_TRUE(foreign.Present());

    EXPECT_EQ(RunTransmitter(L"unplug \"" + foreign.id() + L"\"").exitCode, 1u);
    EXPECT_TRUE(foreign.Present());
}

TEST_F(VirtualTransmitter, ADeviceIsBoundOnlyWhenRockusbExistsAtItsArrival) {
    ASSERT_TRUE(service.Remove());
    const std::wstring early = devices.Plug();
    ListedDevice listed;
    ASSERT_TRUE(FindListedDevice(early, listed));
    EXPECT_EQ(listed.service, L"");

    ASSERT_TRUE(service.Install());
    EXPECT_TRUE(RockusbServiceExists());
    ASSERT_TRUE(FindListedDevice(early, listed));
    EXPECT_EQ(listed.service, L"") << "bound without being plugged again";

    const std::wstring late = devices.Plug();
    ASSERT_TRUE(FindListedDevice(late, listed));
    EXPECT_EQ(listed.service, L"rockusb");

    ASSERT_TRUE(devices.Unplug(early));
    const std::wstring replugged = devices.Plug();
    ASSERT_TRUE(FindListedDevice(replugged, listed));
    EXPECT_EQ(listed.service, L"rockusb");
}

TEST_F(VirtualTransmitter, ServiceCommandsCreateAndDeleteTheEntry) {
    ASSERT_TRUE(service.Remove());
    EXPECT_FALSE(RockusbServiceExists());
    EXPECT_EQ(RunTransmitter(L"service install").exitCode, 0u);
    EXPECT_TRUE(RockusbServiceExists());
    EXPECT_EQ(RunTransmitter(L"service install").exitCode, 0u) << "installing twice is no error";
    EXPECT_EQ(RunTransmitter(L"service remove").exitCode, 0u);
    EXPECT_FALSE(RockusbServiceExists());
}

std::vector<WPARAM> g_deviceChanges;

LRESULT CALLBACK RecordingWindowProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_DEVICECHANGE) g_deviceChanges.push_back(wp);
    return ::DefWindowProcW(window, message, wp, lp);
}

TEST_F(VirtualTransmitter, PlugAndUnplugTellEveryTopLevelWindow) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = RecordingWindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VandrelDeviceChangeProbe";
    ASSERT_NE(::RegisterClassW(&windowClass), 0);
    HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"probe", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                    nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);

    g_deviceChanges.clear();
    const std::wstring id = devices.Plug();  // the helper pumps messages while the program runs
    ASSERT_FALSE(id.empty());
    EXPECT_EQ(g_deviceChanges, std::vector<WPARAM>{DBT_DEVNODES_CHANGED});

    g_deviceChanges.clear();
    ASSERT_TRUE(devices.Unplug(id));
    EXPECT_EQ(g_deviceChanges, std::vector<WPARAM>{DBT_DEVNODES_CHANGED});
    ::DestroyWindow(window);
}

}  // namespace
}  // namespace vandrel::test
