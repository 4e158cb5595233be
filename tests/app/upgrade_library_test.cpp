// The binding to the upgrade library: every entry point is required, and the library is initialised
// with the tool's thirteen arguments.
#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "tests/support/window_driver.h"
#include "upgrade/upgrade_library.h"

namespace vandrel {
namespace {

using test::BinFolder;

TEST(UpgradeLibraryBinding, ResolvesAllEntryPointsOfACompleteLibrary) {
    bool loaded = false;
    UpgradeLibrary library(BinFolder() + L"fake_rkupgrade_full.dll", loaded);
    EXPECT_TRUE(loaded);
    EXPECT_STREQ("", library.missingEntryPoint());
    EXPECT_NE(nullptr, library.RK_UnlockDeviceW);
    EXPECT_FALSE(library.initialised);
}

TEST(UpgradeLibraryBinding, RefusesALibraryThatLacksOneEntryPoint) {
    bool loaded = true;
    UpgradeLibrary library(BinFolder() + L"fake_rkupgrade_partial.dll", loaded);
    EXPECT_FALSE(loaded);
    EXPECT_STREQ("RK_UnlockDeviceW", library.missingEntryPoint());
}

TEST(UpgradeLibraryBinding, RefusesAMissingLibrary) {
    bool loaded = true;
    UpgradeLibrary library(BinFolder() + L"no_such_library.dll", loaded);
    EXPECT_FALSE(loaded);
}

TEST(UpgradeLibraryBinding, InitialisesWithTheThirteenArgumentsAndTheLogFolder) {
    test::TempDir logFolder;
    bool loaded = false;
    UpgradeLibrary library(BinFolder() + L"fake_rkupgrade_full.dll", loaded);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(library.Initialize(logFolder.path()));
    EXPECT_TRUE(library.initialised);
    // The nine block words (zero but the seventh and eighth, both 30), logging on, the folder, 0, 0.
    const std::string expected = "0 0 0 0 0 0 30 30 0 1 " + std::string(logFolder.path().begin(), logFolder.path().end()) +
                                 " 0 0\r\n";
    EXPECT_EQ(expected, test::ReadFileBytes(logFolder / L"fake_rkupgrade.log"));
}

TEST(HardwareVersion, FollowsTheProductId) {
    EXPECT_EQ(1, HardwareVersionOf(0x110B));
    EXPECT_EQ(2, HardwareVersionOf(0x110F));
    EXPECT_EQ(0, HardwareVersionOf(0x110C));
    EXPECT_EQ(0, HardwareVersionOf(0x0000));
}

}  // namespace
}  // namespace vandrel
