// Test helpers for the virtual transmitter: run virtual-transmitter.exe beside the test program, read
// its `list`, and guards that undo what a test plugged or installed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vandrel::test {

struct ProcessRun {
    bool started = false;
    bool finished = false;  // false: timed out and was ended
    DWORD exitCode = 0;
    std::string out;
    std::string err;
};

// Runs virtual-transmitter.exe with arguments and collects its output. This thread's messages are
// pumped while it waits, so the program's WM_DEVICECHANGE broadcast reaches the test's windows.
ProcessRun RunTransmitter(const std::wstring& arguments, DWORD timeoutMs = 60000);

// One line of `list`.
struct ListedDevice {
    std::wstring instanceId;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint32_t mode = 0;
    uint32_t layer = 0;
    std::wstring service;     // empty when unbound ("-")
    std::string version;      // as listed: printable ASCII, other bytes as \xNN
    bool written = false;     // whether an image was written; then size and SHA-256 describe it
    uint64_t writtenSize = 0;
    std::string sha256;       // lower-case hex
};

// Parses the output of `list`; lines that do not have the nine fields are dropped.
std::vector<ListedDevice> ParseDeviceList(const std::string& output);
// Runs `list`; empty when it fails.
std::vector<ListedDevice> ListVirtualDevices();
bool FindListedDevice(const std::wstring& instanceId, ListedDevice& found);

// Where a virtual device keeps its flash content:
// <common application data>\VirtualTransmitter\<instance id, non-alphanumerics as '_'>.flash
std::wstring VirtualFlashPath(const std::wstring& instanceId);

// `plug options`; the instance id, or empty on failure.
std::wstring PlugVirtualDevice(const std::wstring& options = L"");
bool UnplugVirtualDevice(const std::wstring& instanceId);
bool UnplugAllVirtualDevices();

// Devices plugged through this object are unplugged when it goes.
class PluggedDevices {
public:
    PluggedDevices() = default;
    ~PluggedDevices();
    PluggedDevices(const PluggedDevices&) = delete;
    PluggedDevices& operator=(const PluggedDevices&) = delete;

    // Plugs a device; its instance id, or empty on failure.
    std::wstring Plug(const std::wstring& options = L"");
    // Unplugs one of them now.
    bool Unplug(const std::wstring& instanceId);

private:
    std::vector<std::wstring> plugged_;
};

// Whether the service control manager knows "rockusb".
bool RockusbServiceExists();

// Keeps the "rockusb" service entry as it was when the guard was made: a test installs or removes it
// through the guard, and the guard puts it back on destruction.
class RockusbServiceGuard {
public:
    RockusbServiceGuard();
    ~RockusbServiceGuard();
    RockusbServiceGuard(const RockusbServiceGuard&) = delete;
    RockusbServiceGuard& operator=(const RockusbServiceGuard&) = delete;

    bool Install();
    bool Remove();

private:
    bool existed_;
};

}  // namespace vandrel::test
