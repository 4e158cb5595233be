// "Confirming FW version" in the real tool, with virtual transmitters plugged in.
#include <gtest/gtest.h>

#include "tests/e2e/tool_fixture.h"
#include "tests/support/virtual_transmitter_client.h"
#include "resources/resource.h"

namespace vandrel::test {
namespace {

class VersionTest : public ToolTest {
protected:
    void SetUp() override {
        UnplugAllVirtualDevices();
        ASSERT_TRUE(service_.Install());
    }

    RockusbServiceGuard service_;
    PluggedDevices devices_;
};

TEST_F(VersionTest, ShowsTheVersionOfThePluggedTransmitter) {
    ASSERT_FALSE(devices_.Plug(L"--version V2.4.6").empty());
    ASSERT_TRUE(Start());
    const MessageBoxInfo box = ClickAndReadBox(IDC_CONFIRM_VERSION);
    EXPECT_EQ(L"Message", box.caption);
    EXPECT_EQ(L"Version : V2.4.6", box.text);
    const auto lines = MessageLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(L"Reading custom data...", lines[lines.size() - 3]);
    EXPECT_EQ(0u, lines[lines.size() - 2].find(L"Read OK. length=8, offset=103 (layer="));
    EXPECT_EQ(L"00000000 : 56 32 2E 34 2E 36 00 00 ", lines.back());
    EXPECT_TRUE(IsEnabled(Control(IDC_START_WRITING)));
    EXPECT_TRUE(IsEnabled(Control(IDC_SELECT)));
    CloseAndExpectExit();
}

// Without a transmitter the button is greyed; the command, which no click can give, still says why.
TEST_F(VersionTest, WithoutATransmitterSaysSo) {
    ASSERT_TRUE(Start());
    const MessageBoxInfo box = CommandAndReadBox(IDC_CONFIRM_VERSION);
    EXPECT_EQ(L"Message", box.caption);
    EXPECT_EQ(L"No found device!", box.text);
    EXPECT_EQ(L"No found device!", MessageLines().back());
    // The buttons follow the device status again afterwards: there is still nothing to read from.
    ASSERT_TRUE(tool_->WaitUntilReady());
    EXPECT_FALSE(IsEnabled(Control(IDC_CONFIRM_VERSION)));
    EXPECT_FALSE(IsEnabled(Control(IDC_START_WRITING)));
    EXPECT_TRUE(IsEnabled(Control(IDC_SELECT)));
    CloseAndExpectExit();
}

TEST_F(VersionTest, RefusedReadSaysNotSupported) {
    ASSERT_FALSE(devices_.Plug(L"--fail-read").empty());
    ASSERT_TRUE(Start());
    EXPECT_EQ(L"Not supported", ClickAndReadBox(IDC_CONFIRM_VERSION).text);
    EXPECT_EQ(0u, MessageLines().back().find(L"RK_ReadCustomData returned FALSE. length=8, offset=103 (layer="));
    CloseAndExpectExit();
}

}  // namespace
}  // namespace vandrel::test
