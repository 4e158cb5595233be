#include <gtest/gtest.h>

#include "common/sha256.h"
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

TEST(Sha256Test, KnownDigests) {
    const struct {
        std::string bytes;
        const wchar_t* digest;
    } cases[] = {
        {"", L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {std::string(1000000, 'a'), L"cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        Sha256 hash;
        ASSERT_TRUE(hash.ok());
        EXPECT_TRUE(hash.Update(c.bytes.data(), c.bytes.size()));
        EXPECT_EQ(c.digest, hash.FinishHex()) << c.bytes.size();
    }
}

}  // namespace
}  // namespace vandrel
