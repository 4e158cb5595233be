// The one device a write run works on, chosen by one rule for both halves of the run and for the
// version read-back, so that the image, the write and the version shown all concern the same device.
#pragma once

#include <cstdint>
#include <optional>

#include "upgrade/rk_upgrade_api.h"

namespace vandrel {

// The hardware version of a product id: 1 for 0x110B, 2 for 0x110F, 0 for every other.
int HardwareVersionOf(uint16_t productId);

// Index of the first record, in scan order, in mode 1 or 2 (the modes the library can write in) and,
// when productId is given, with that product id; -1 when no record qualifies.
int FindTargetDevice(const DeviceRecord* records, int count, std::optional<uint16_t> productId = std::nullopt);

}  // namespace vandrel
