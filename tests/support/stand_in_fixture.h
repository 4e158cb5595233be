// The stand-in RKUpgrade.dll beside the test program, loaded, bound as the tool binds it and initialised
// into a log folder of the test's own, with no virtual device plugged and the "rockusb" service in place.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/unique_handle.h"
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_transmitter_client.h"
#include "upgrade/upgrade_library.h"

namespace vandrel::test {

class StandInTest : public ::testing::Test {
protected:
    void SetUp() override;

    TempDir logs;
    RockusbServiceGuard service;  // declared before the devices: put back after they are unplugged
    PluggedDevices devices;
    UniqueModule library;
    std::unique_ptr<UpgradeLibrary> binding;
};

}  // namespace vandrel::test
