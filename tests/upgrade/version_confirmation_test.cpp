// "Confirming FW version" against the stand-in library and virtual devices, through a recording output.
#include "upgrade/version_confirmation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "tests/support/recording_output.h"
#include "tests/support/stand_in_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_transmitter_client.h"
#include "tests/support/driving.h"

namespace vandrel::test {
namespace {

using Box = RecordingOutput::Box;

Box InformationBox(const std::wstring& text) { return {text, L"Message", MB_ICONINFORMATION}; }

class ConfirmFirmwareVersionTest : public StandInTest {
protected:
    RecordingOutput output;
};

TEST_F(ConfirmFirmwareVersionTest, WithoutABindingTheLineIsAlsoShownInABox) {
    ConfirmFirmwareVersion(nullptr, output);
    EXPECT_EQ(output.lines, std::vector<std::wstring>{L"RKUpgrade not loaded or not initialized!"});
    EXPECT_EQ(output.boxes, std::vector<Box>{InformationBox(L"RKUpgrade not loaded or not initialized!")});
}

TEST_F(ConfirmFirmwareVersionTest, AnUninitialisedBindingIsNotAskedAndTheUserIsTold) {
    devices.Plug();
    binding->Uninitialize();
    ConfirmFirmwareVersion(binding.get(), output);
    EXPECT_EQ(output.lines, std::vector<std::wstring>{L"RKUpgrade not loaded or not initialized!"});
    EXPECT_EQ(output.boxes, std::vector<Box>{InformationBox(L"RKUpgrade not loaded or not initialized!")});
}

TEST_F(ConfirmFirmwareVersionTest, NoDeviceGivesItsLineAndBox) {
    devices.Plug(L"--vid 0x1234");  // present, but not a Rockchip device
    ConfirmFirmwareVersion(binding.get(), output);
    EXPECT_EQ(output.lines, std::vector<std::wstring>{L"No found device!"});
    EXPECT_EQ(output.boxes, std::vector<Box>{InformationBox(L"No found device!")});
}

TEST_F(ConfirmFirmwareVersionTest, TheVersionBytesAreDumpedAndShownAsLatin1TextUpToTheFirstZero) {
    const struct Case {
        const wchar_t* vendorData;
        const wchar_t* dump;
        const wchar_t* box;
    } cases[] = {
        {L"56312E322E330000", L"00000000 : 56 31 2E 32 2E 33 00 00 ", L"Version : V1.2.3"},
        {L"0056312E322E3300", L"00000000 : 00 56 31 2E 32 2E 33 00 ", L"Version : "},
        {L"56E9000000000000", L"00000000 : 56 E9 00 00 00 00 00 00 ", L"Version : V\u00E9"},
        {L"5631323334353637", L"00000000 : 56 31 32 33 34 35 36 37 ", L"Version : V1234567"},
    };
    for (const Case& c : cases) {
        const std::wstring id = devices.Plug(std::wstring(L"--layer 70 --vendor-data ") + c.vendorData);
        RecordingOutput out;
        ConfirmFirmwareVersion(binding.get(), out);
        const std::vector<std::wstring> lines = {L"Reading custom data...", L"Read OK. length=8, offset=103 (layer=70)",
                                                 c.dump};
        EXPECT_EQ(out.lines, lines) << c.vendorData;
        EXPECT_EQ(out.boxes, std::vector<Box>{InformationBox(c.box)}) << c.vendorData;
        devices.Unplug(id);
    }
}

// Devices plugged in order with layers 100, 101, ... and versions "D0", "D1", ...
struct ChoiceCase {
    std::vector<int> modes;
    int chosen;
};

class DeviceChoice : public ConfirmFirmwareVersionTest {
protected:
    void PlugDevices(const std::vector<int>& modes, const wchar_t* extra) {
        for (size_t i = 0; i < modes.size(); ++i)
            ASSERT_FALSE(devices.Plug(Format(L"--layer %d --mode %d --version D%d %s", static_cast<int>(100 + i),
                                             modes[i], static_cast<int>(i), extra))
                             .empty());
    }
};

TEST_F(DeviceChoice, TheFirstDeviceInMode1Or2IsReadElseTheFirst) {
    const ChoiceCase cases[] = {{{0, 2}, 1}, {{3, 1, 2}, 1}, {{2, 1}, 0}, {{0, 4, 3}, 0}};
    for (const ChoiceCase& c : cases) {
        ASSERT_TRUE(UnplugAllVirtualDevices());
        PlugDevices(c.modes, L"");
        RecordingOutput out;
        ConfirmFirmwareVersion(binding.get(), out);
        ASSERT_EQ(out.lines.size(), 3u);
        EXPECT_EQ(out.lines[1], Format(L"Read OK. length=8, offset=103 (layer=%d)", 100 + c.chosen));
        EXPECT_EQ(out.boxes, std::vector<Box>{InformationBox(Format(L"Version : D%d", c.chosen))});
    }
}

TEST_F(DeviceChoice, ARefusedReadNamesTheChosenIndexAndShowsNotSupported) {
    const ChoiceCase cases[] = {{{0, 3, 4}, 0}, {{0, 1}, 1}};
    for (const ChoiceCase& c : cases) {
        ASSERT_TRUE(UnplugAllVirtualDevices());
        PlugDevices(c.modes, L"--fail-read");
        RecordingOutput out;
        ConfirmFirmwareVersion(binding.get(), out);
        const std::vector<std::wstring> lines = {
            L"Reading custom data...",
            Format(L"RK_ReadCustomData returned FALSE. length=8, offset=103 (layer=%d, i = %d)", 100 + c.chosen,
                   c.chosen)};
        EXPECT_EQ(out.lines, lines);
        EXPECT_EQ(out.boxes, std::vector<Box>{InformationBox(L"Not supported")});
    }
}

}  // namespace
}  // namespace vandrel::test
