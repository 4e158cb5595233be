// The binding to the upgrade library: every entry point is required, and the library is initialised
// with the tool's thirteen arguments.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/driving.h"
#include "upgrade/target_device.h"
#include "common/unique_handle.h"
#include "upgrade/upgrade_library.h"

namespace vandrel {
namespace {

using test::BinFolder;

// A library loaded from the test's folder, released with the object.
UniqueModule LoadLibraryBeside(const wchar_t* name) { return UniqueModule(::LoadLibraryW((BinFolder() + name).c_str())); }

TEST(UpgradeLibraryBinding, BindsACompleteLibraryUninitialised) {
    const UniqueModule module = LoadLibraryBeside(L"fake_rkupgrade_full.dll");
    ASSERT_TRUE(module);
    std::string missing = "not cleared";
    const auto binding = UpgradeLibrary::Bind(module.get(), &missing);
    ASSERT_NE(nullptr, binding);
    EXPECT_EQ("", missing);
    EXPECT_FALSE(binding->IsInitialized());
}

TEST(UpgradeLibraryBinding, RefusesALibraryThatLacksOneEntryPointAndNamesIt) {
    const UniqueModule module = LoadLibraryBeside(L"fake_rkupgrade_partial.dll");
    ASSERT_TRUE(module);
    std::string missing;
    EXPECT_EQ(nullptr, UpgradeLibrary::Bind(module.get(), &missing));
    EXPECT_EQ("RK_UnlockDeviceW", missing);
}

TEST(UpgradeLibraryBinding, RefusesNoLibraryAtAll) { EXPECT_EQ(nullptr, UpgradeLibrary::Bind(nullptr)); }

TEST(UpgradeLibraryBinding, InitialisesWithTheThirteenArgumentsAndTheLogFolder) {
    test::TempDir logFolder;
    const UniqueModule module = LoadLibraryBeside(L"fake_rkupgrade_full.dll");
    const auto binding = UpgradeLibrary::Bind(module.get());
    ASSERT_NE(nullptr, binding);
    EXPECT_TRUE(binding->Initialize(logFolder.path()));
    EXPECT_TRUE(binding->IsInitialized());
    // The nine block words (zero but the seventh and eighth, both 30), logging on, the folder, 0, 0.
    const std::string expected = "0 0 0 0 0 0 30 30 0 1 " + std::string(logFolder.path().begin(), logFolder.path().end()) +
                                 " 0 0\r\n";
    EXPECT_EQ(expected, test::ReadFileBytes(logFolder / L"fake_rkupgrade.log"));
    binding->Uninitialize();
    EXPECT_FALSE(binding->IsInitialized());
}

TEST(HardwareVersion, FollowsTheProductId) {
    EXPECT_EQ(1, HardwareVersionOf(0x110B));
    EXPECT_EQ(2, HardwareVersionOf(0x110F));
    EXPECT_EQ(0, HardwareVersionOf(0x110C));
    EXPECT_EQ(0, HardwareVersionOf(0x0000));
}

TEST(TargetDevice, FirstUpgradableRecordOfTheGivenProductInScanOrder) {
    auto record = [](uint16_t productId, uint32_t mode) {
        DeviceRecord r{};
        r.productId = productId;
        r.mode = mode;
        return r;
    };
    struct Case {
        const char* name;
        std::vector<DeviceRecord> records;
        std::optional<uint16_t> productId;
        int expected;
    };
    const Case cases[] = {
        {"first in scan order", {record(0x110B, 2), record(0x110F, 2)}, std::nullopt, 0},
        {"modes 1 and 2 only", {record(0x110B, 0), record(0x110B, 3), record(0x110F, 1)}, std::nullopt, 2},
        {"none upgradable", {record(0x110B, 3)}, std::nullopt, -1},
        {"the given product", {record(0x110B, 2), record(0x110F, 2)}, uint16_t{0x110F}, 1},
        {"the given product, upgradable", {record(0x110F, 3), record(0x110B, 2), record(0x110F, 2)}, uint16_t{0x110F}, 2},
        {"only another product", {record(0x110F, 2)}, uint16_t{0x110B}, -1},
        {"no records", {}, std::nullopt, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, FindTargetDevice(c.records.data(), static_cast<int>(c.records.size()), c.productId));
    }
    EXPECT_EQ(-1, FindTargetDevice(nullptr, 3));
}

}  // namespace
}  // namespace vandrel
