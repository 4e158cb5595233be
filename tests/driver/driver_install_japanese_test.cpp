// The missing-tool box under a Japanese user interface (this program runs with LANG=ja_JP.UTF-8).
#include <windows.h>

#include <gtest/gtest.h>

#include "driver/driver_install.h"
#include "tests/driver/driver_test_support.h"

namespace vandrel::test {
namespace {

bool FailingExtractor() { return false; }

TEST(DriverInstallJapanese, AMissingToolShowsTheJapaneseBox) {
    ASSERT_EQ(LANG_JAPANESE, PRIMARYLANGID(::GetUserDefaultUILanguage())) << "run with LANG=ja_JP.UTF-8";
    SavedWorkspace workspace;  // empty: no driver_x64.exe
    ASSERT_TRUE(workspace.moved());
    RecordingOutput output;
    const SeamOverride<DriverPackageExtractor> failing(&SetDriverPackageExtractor, &FailingExtractor);

    EXPECT_FALSE(PreUninstallDriver(output));

    ASSERT_EQ(1u, output.boxes.size());
    EXPECT_EQ(L"ファイルが違います。", output.boxes[0].text);
    EXPECT_EQ(L"Message", output.boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), output.boxes[0].type);
    EXPECT_EQ(std::vector<std::wstring>{L"[Driver] Pre-uninstall failed or timed out."}, output.lines);
}

}  // namespace
}  // namespace vandrel::test
