#include "upgrade/target_device.h"

namespace vandrel {

int HardwareVersionOf(uint16_t productId) {
    switch (productId) {
    case 0x110B: return 1;
    case 0x110F: return 2;
    default: return 0;
    }
}

int FindTargetDevice(const DeviceRecord* records, int count, std::optional<uint16_t> productId) {
    if (!records) return -1;
    for (int i = 0; i < count; ++i) {
        const bool upgradable = records[i].mode == 1 || records[i].mode == 2;
        if (upgradable && (!productId || records[i].productId == *productId)) return i;
    }
    return -1;
}

}  // namespace vandrel
