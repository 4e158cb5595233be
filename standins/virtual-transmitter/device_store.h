// The virtual transmitters: root-enumerated nodes in the Windows device tree, each with its settings
// in the node's own registry key and its flash content in a file under the common application data.
// Shared by virtual-transmitter.exe (which plugs and unplugs them) and the stand-in RKUpgrade.dll.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vandrel::standin {

// The service a Rockchip device is bound to when it arrives while the service exists.
constexpr wchar_t kRockusbService[] = L"rockusb";
constexpr uint16_t kRockchipVendorId = 0x2207;

struct DeviceSettings {
    uint16_t vendorId = kRockchipVendorId;
    uint16_t productId = 0x110B;
    uint32_t mode = 2;
    uint32_t layer = 0;  // 0 at plug: a number no present virtual device carries is chosen
    uint8_t version[8] = {'V', '1', '.', '0', '.', '0', 0, 0};  // the vendor data item the tool reads
    uint32_t upgradeMs = 3000;                                  // how long a write takes
    bool failUpgrade = false;
    bool failRead = false;
};

struct VirtualDevice {
    std::wstring instanceId;  // ROOT\VIRTUAL_TRANSMITTER\nnnn
    std::wstring token;       // unique per plug, so a reused instance id is never taken for the old device
    DeviceSettings settings;
    std::wstring service;     // the bound service; empty when unbound
    bool written = false;     // whether an image was ever written; then the two below describe it
    uint64_t writtenSize = 0;
    std::wstring writtenSha256;
};

// Adds a device node, bound to "rockusb" when that service exists; returns its instance id, or empty
// with error set.
std::wstring PlugDevice(DeviceSettings settings, std::wstring& error);

// Removes one virtual device node and its flash file; refuses nodes that are not virtual transmitters.
bool UnplugDevice(const std::wstring& instanceId, std::wstring& error);

// Every virtual device in the tree, in device-tree order.
std::vector<VirtualDevice> ListDevices();

// True while the node that was plugged as device is still in the tree.
bool IsStillPlugged(const VirtualDevice& device);

// The file that holds the device's flash content.
std::wstring FlashPathOf(const std::wstring& instanceId);

// Stores the size and SHA-256 of an image just written into the device; false when it is gone.
bool RecordWrite(const VirtualDevice& device, uint64_t size, const std::wstring& sha256);

// True when the service control manager knows the service.
bool ServiceExists(const wchar_t* name);

}  // namespace vandrel::standin
