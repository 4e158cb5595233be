// "Confirming FW version": reads the version item of the connected transmitter and shows it.
#pragma once

#include <cstdint>

#include "common/dialog_output.h"
#include "upgrade/upgrade_library.h"

namespace vandrel {

// Scans, reads 8 bytes of vendor data item 103 from the device a write would go to (else the first
// device), appends the steps and a hex dump to the message list and shows the version text in a box.
// binding may be null. The product id of the device it read from goes into readProductId (when given);
// untouched when no device was read.
void ConfirmFirmwareVersion(UpgradeLibrary* binding, DialogOutput& output, uint16_t* readProductId = nullptr);

}  // namespace vandrel
