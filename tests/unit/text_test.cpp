#include <gtest/gtest.h>

#include "common/text.h"

namespace vandrel {
namespace {

TEST(Text, FormatTakesWideStringsForPercentS) {
    EXPECT_EQ(L"a b 7 x", Format(L"%s %s %d %c", L"a", L"b", 7, L'x'));
    EXPECT_EQ(L"00000010 : ", Format(L"%08lX : ", 16ul));
}

TEST(Text, CaseFoldingTouchesAsciiLettersOnly) {
    EXPECT_EQ(L"abc\u00C9z", AsciiLower(L"ABC\u00C9Z"));
    EXPECT_EQ(L"ABC\u00E9Z", AsciiUpper(L"abc\u00E9z"));
}

TEST(Text, NameDigitsAreThirtyTwoUpperHexDigitsAndFresh) {
    const std::wstring a = NewNameDigits(), b = NewNameDigits();
    ASSERT_EQ(32u, a.size());
    EXPECT_EQ(std::wstring::npos, a.find_first_not_of(L"0123456789ABCDEF"));
    EXPECT_NE(a, b);
}

}  // namespace
}  // namespace vandrel
