// The real tool under a Japanese user interface (this program runs with LANG=ja_JP.UTF-8).
#include <gtest/gtest.h>

#include "tests/e2e/tool_fixture.h"

namespace vandrel::test {
namespace {

using JapaneseDialogTest = ToolTest;

TEST_F(JapaneseDialogTest, ShowsTheJapaneseTemplateWithTheVersionInTheTitle) {
    ASSERT_EQ(0x0411, ::GetUserDefaultUILanguage()) << "run this program with LANG=ja_JP.UTF-8";
    ASSERT_TRUE(Start());
    EXPECT_EQ(L" Quorra2 Transmitter Update Tool v1.8.0.0", WindowText(dialog_));
    const std::pair<int, const wchar_t*> captions[] = {
        {1005, L"ファームウエア:"}, {1001, L"選択"}, {1007, L"書込開始"}, {1013, L"書込中..."},
        {1014, L"送信機を接続してください"}, {1015, L"USBドライバーをインストールしてください"}, {1011, L"バージョン確認"},
    };
    for (const auto& [id, caption] : captions) EXPECT_EQ(caption, WindowText(Control(id))) << id;
}

TEST_F(JapaneseDialogTest, SecondStartFindsTheJapaneseTitle) {
    ASSERT_TRUE(Start());
    ::ShowWindow(dialog_, SW_MINIMIZE);
    ASSERT_TRUE(WaitFor([&] { return ::IsIconic(dialog_) != 0; }));
    Process second(ToolPath());
    ASSERT_TRUE(second.WaitForExit(15000));
    EXPECT_TRUE(WaitFor([&] { return !::IsIconic(dialog_); }));
}

}  // namespace
}  // namespace vandrel::test
