// What RK_UpgradeW does to a virtual device: spends its write time, then streams the image into its flash.
#pragma once

#include <string>

#include "standins/virtual-transmitter/device_store.h"

namespace vandrel::standin {

// Writes the image at imagePath into the device; false when the image cannot be read, the device is
// unplugged before the write ends, or the device is set to fail.
bool WriteImageIntoDevice(const VirtualDevice& device, const std::wstring& imagePath);

}  // namespace vandrel::standin
