// The real tool under a Japanese user interface (this program runs with LANG=ja_JP.UTF-8).
#include <gtest/gtest.h>

#include "tests/e2e/history_reader.h"
#include "tests/e2e/tool_fixture.h"
#include "version.h"  // the version the build gives the tool
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_transmitter_client.h"
#include "resources/resource.h"

namespace vandrel::test {
namespace {

using JapaneseDialogTest = ToolTest;

TEST_F(JapaneseDialogTest, ShowsTheJapaneseTemplateWithTheVersionInTheTitle) {
    ASSERT_EQ(0x0411, ::GetUserDefaultUILanguage()) << "run this program with LANG=ja_JP.UTF-8";
    ASSERT_TRUE(Start());
    EXPECT_EQ(std::wstring(L" Quorra2 Transmitter Update Tool v") + VANDREL_VERSION_WIDE, WindowText(dialog_));
    const std::pair<int, const wchar_t*> captions[] = {
        {IDC_FIRMWARE_LABEL, L"ファームウエア:"}, {IDC_SELECT, L"選択"}, {IDC_START_WRITING, L"書込開始"}, {IDC_WRITING_LABEL, L"書込中..."},
        {IDC_CONNECT_HINT, L"送信機を接続してください"}, {IDC_DRIVER_HINT, L"USBドライバーをインストールしてください"}, {IDC_CONFIRM_VERSION, L"バージョン確認"},
    };
    for (const auto& [id, caption] : captions) EXPECT_EQ(caption, WindowText(Control(id))) << id;
}

TEST_F(JapaneseDialogTest, SecondStartFindsTheJapaneseTitle) {
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Minimise(dialog_));
    Process second(ToolPath());
    ASSERT_TRUE(second.WaitForExit(15000));
    EXPECT_TRUE(WaitFor([&] { return !::IsIconic(dialog_); }));
}

TEST_F(JapaneseDialogTest, ResultAndEmptyPathMessagesAreJapaneseWhileTheOthersStayEnglish) {
    UnplugAllVirtualDevices();
    RockusbServiceGuard service;
    ASSERT_TRUE(service.Install());
    const size_t recordsBefore = ReadHistory(HistoryPath()).size();
    ASSERT_TRUE(Start());
    PluggedDevices devices;
    ASSERT_FALSE(devices.Plug(L"--upgrade-ms 200").empty());

    auto startWriting = [&] { return ClickAndReadBox(IDC_START_WRITING, 60000); };
    EXPECT_EQ(L"ファームウェアデータを選択してください", startWriting().text);

    TempDir folder;
    ASSERT_TRUE(WriteFileBytes(folder / L"fw.zip", "zip"));
    SetFirmwarePath(folder / L"fw.zip");
    EXPECT_EQ(L"Unsupported firmware format.", startWriting().text);

    ASSERT_TRUE(WriteFileBytes(folder / L"empty.img", ""));
    SetFirmwarePath(folder / L"empty.img");
    EXPECT_EQ(L"ファームウェアイメージが空です（0 バイト）。書込は行われませんでした。", startWriting().text);

    ASSERT_TRUE(WriteFileBytes(folder / L"fw.img", std::string(5000, 'j')));
    SetFirmwarePath(folder / L"fw.img");
    const MessageBoxInfo result = startWriting();
    EXPECT_EQ(L"Message", result.caption);
    EXPECT_EQ(L"書込成功", result.text);
    CloseAndExpectExit();

    // The history keeps each result as the user read it, in Japanese, with its English code.
    const std::vector<HistoryRow> records = ReadHistory(HistoryPath());
    ASSERT_EQ(recordsBefore + 4, records.size());
    EXPECT_EQ(L"ファームウェアデータを選択してください", records[recordsBefore].at(L"result"));
    EXPECT_EQ(L"no-firmware-selected", records[recordsBefore].at(L"result code"));
    EXPECT_EQ(L"unsupported-format", records[recordsBefore + 1].at(L"result code"));
    EXPECT_EQ(L"empty-image", records[recordsBefore + 2].at(L"result code"));
    EXPECT_EQ(L"書込成功", records.back().at(L"result"));
    EXPECT_EQ(L"written", records.back().at(L"result code"));
    EXPECT_EQ(L"fw.img", records.back().at(L"image"));
}

}  // namespace
}  // namespace vandrel::test
