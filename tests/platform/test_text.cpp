#include <gtest/gtest.h>

#include "common/sysutils.h"
#include "platform/textconv.h"
#include "platform/winformat.h"

namespace {
struct Utf8Locale {
    Utf8Locale() { platform::SetProcessUtf8Locale(); }
} g_locale;
} // namespace

TEST(TextConversion, ChineseSurvivesEveryRoundTrip) {
    const std::wstring text = L"提示 客户消息 ✓ 𝄞";
    EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
    EXPECT_EQ(AnsiToWide(WideToAnsi(text)), text);
    EXPECT_EQ(WideToUtf8(L"提示"), "\xE6\x8F\x90\xE7\xA4\xBA");
}

TEST(TextConversion, InvalidBytesBecomeReplacementWithoutOverrun) {
    // A lone lead byte at the very end must not read past the given length.
    const char bytes[] = {'a', '\xE6', '\x8F'};
    std::wstring w = MultiByteToWideString(CP_UTF8, bytes, 3);
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[0], L'a');
    EXPECT_EQ(w[1], 0xFFFD);
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), std::wstring(2, 0xFFFD)); // overlong '/'
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80").size(), 3u);            // encoded surrogate
}

TEST(TextConversion, AnsiDropsLeadingByteOrderMarkAndEmptyInputs) {
    EXPECT_EQ(AnsiToWide("\xEF\xBB\xBFuid"), L"uid");
    EXPECT_EQ(AnsiToWide(nullptr, -1), L"");
    EXPECT_EQ(WideToAnsi(L""), "");
    EXPECT_EQ(MultiByteToWideString(CP_UTF8, "abc", 2), L"ab");
}

TEST(FormatString, WindowsWideConversionsMeanWhatTheySayOnWindows) {
    EXPECT_EQ(FormatString(L"%s|%S|%hs|%ls", L"宽", "narrow", "h", L"l"), L"宽|narrow|h|l");
    EXPECT_EQ(FormatString(L"%c%C", L'中', 'x'), L"中x");
    EXPECT_EQ(FormatString(L"%I64d %d %5.2f %%", 1234567890123LL, -7, 3.14159), L"1234567890123 -7  3.14 %");
    EXPECT_EQ(FormatString(L"%08X%04X", 0xABCu, 0x1u), L"00000ABC0001");
}

TEST(FormatString, LongResultsAndPercentInArgumentsStayWhole) {
    std::wstring big(100000, L'x');
    EXPECT_EQ(FormatString(L"[%s]", big.c_str()).size(), big.size() + 2);
    EXPECT_EQ(FormatString(L"%s", L"https://h/a%20b%s"), L"https://h/a%20b%s");
    std::wstring out;
    FormatString(out, L"%d-%s", 5, L"x");
    EXPECT_EQ(out, L"5-x");
}
