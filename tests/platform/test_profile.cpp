#include <gtest/gtest.h>

#include "platform/profile.h"
#include "support/testenv.h"

using namespace platform;

TEST(Profile, ReadsWritesAndKeepsOtherContent) {
    ScopedTestHome home;
    std::string ini = home.path() + "/a.ini";
    EXPECT_EQ(GetPrivateProfileInt(L"S", L"k", 7, ini), 7);
    ASSERT_TRUE(WritePrivateProfileString(L"S", L"k", L"42", ini));
    ASSERT_TRUE(WritePrivateProfileString(L"T", L"name", L"中文", ini));
    EXPECT_EQ(GetPrivateProfileInt(L"S", L"k", 7, ini), 42);
    EXPECT_EQ(GetPrivateProfileString(L"T", L"name", L"", ini), L"中文");
    EXPECT_EQ(GetPrivateProfileInt(L"S", L"missing", -3, ini), -3);
}

TEST(Profile, NumbersAreParsedLikeWin32AndJunkFallsBack) {
    ScopedTestHome home;
    std::string ini = home.path() + "/b.ini";
    WriteFileBytes(ini, "[S]\na= -12\nb=34abc\nc=abc\nd=99999999999\n");
    EXPECT_EQ(GetPrivateProfileInt(L"S", L"a", 0, ini), -12);
    EXPECT_EQ(GetPrivateProfileInt(L"S", L"b", 0, ini), 34);
    EXPECT_EQ(GetPrivateProfileInt(L"S", L"c", 5, ini), 5);
    EXPECT_EQ(GetPrivateProfileInt(L"S", L"d", 5, ini), 5);
}

TEST(Profile, MalformedFileReadsAsDefaultsAndIsNotOverwritten) {
    ScopedTestHome home;
    std::string ini = home.path() + "/c.ini";
    const std::string junk = "[S\nthis is = not [ini\n[S]\nx=1\n[S]\nx=2\n";
    WriteFileBytes(ini, junk);
    EXPECT_EQ(GetPrivateProfileInt(L"S", L"x", 9, ini), 9);
    EXPECT_FALSE(WritePrivateProfileString(L"S", L"x", L"3", ini));
    EXPECT_EQ(ReadFileBytes(ini), junk);
}
