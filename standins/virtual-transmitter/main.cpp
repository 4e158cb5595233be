// virtual-transmitter.exe: plugs, unplugs and lists virtual transmitters and manages the bare
// "rockusb" service entry, so that everything that talks to a device can be tried without one.
#include <windows.h>
#include <dbt.h>

#include <cstdio>

#include "common/text.h"
#include "standins/virtual-transmitter/command_line.h"
#include "standins/virtual-transmitter/device_store.h"
#include "standins/virtual-transmitter/service_entry.h"

using namespace vandrel;
using namespace vandrel::standin;

namespace {

int Fail(const std::wstring& message) {
    fwprintf(stderr, L"virtual-transmitter: %ls\n", message.c_str());
    return 1;
}

void PrintLine(const std::wstring& line) {
    fwprintf(stdout, L"%ls\n", line.c_str());
    fflush(stdout);
}

// Windows tells every top-level window that the device tree changed; setupapi under Wine does not.
void BroadcastDeviceChange() {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0, SMTO_ABORTIFHUNG, 2000,
                          &result);
}

// The version bytes up to the first zero, printable ASCII as it is, everything else as \xNN.
std::wstring VersionText(const uint8_t (&version)[8]) {
    std::wstring text;
    for (uint8_t byte : version) {
        if (byte == 0) break;
        if (byte < 0x20 || byte > 0x7E || byte == '\\')
            text += Format(L"\\x%02X", byte);
        else
            text += static_cast<wchar_t>(byte);
    }
    return text;
}

// ID \t VID \t PID \t MODE \t LAYER \t SERVICE \t VERSION \t SIZE \t SHA256 (see the usage text).
std::wstring ListLine(const VirtualDevice& d) {
    const DeviceSettings& s = d.settings;
    return Format(L"%s\t0x%04X\t0x%04X\t%lu\t%lu\t%s\t%s\t%s\t%s", d.instanceId.c_str(), s.vendorId, s.productId,
                  static_cast<unsigned long>(s.mode), static_cast<unsigned long>(s.layer),
                  d.service.empty() ? L"-" : d.service.c_str(), VersionText(s.version).c_str(),
                  d.written ? std::to_wstring(d.writtenSize).c_str() : L"-",
                  d.written ? d.writtenSha256.c_str() : L"-");
}

int Plug(const DeviceSettings& settings) {
    std::wstring error;
    const std::wstring instanceId = PlugDevice(settings, error);
    if (instanceId.empty()) return Fail(error);
    PrintLine(instanceId);
    BroadcastDeviceChange();
    return 0;
}

int Unplug(const std::wstring& instanceId) {
    std::wstring error;
    if (!UnplugDevice(instanceId, error)) return Fail(error);
    BroadcastDeviceChange();
    return 0;
}

int UnplugAll() {
    int result = 0;
    bool removed = false;
    for (const VirtualDevice& device : ListDevices()) {
        std::wstring error;
        if (UnplugDevice(device.instanceId, error)) {
            PrintLine(device.instanceId);
            removed = true;
        } else {
            result = Fail(error);
        }
    }
    if (removed) BroadcastDeviceChange();
    return result;
}

int List() {
    for (const VirtualDevice& device : ListDevices()) PrintLine(ListLine(device));
    return 0;
}

int Service(bool install) {
    std::wstring error;
    const bool done = install ? InstallRockusbService(error) : RemoveRockusbService(error);
    return done ? 0 : Fail(error);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    CommandLine commandLine;
    if (!ParseCommandLine(argc - 1, argv + 1, commandLine)) {
        fwprintf(stderr, L"%ls", UsageText());
        return 2;
    }
    switch (commandLine.command) {
    case Command::Plug: return Plug(commandLine.settings);
    case Command::Unplug: return Unplug(commandLine.instanceId);
    case Command::UnplugAll: return UnplugAll();
    case Command::List: return List();
    case Command::ServiceInstall: return Service(true);
    case Command::ServiceRemove: return Service(false);
    }
    return 2;
}
