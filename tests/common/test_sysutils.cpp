#include <gtest/gtest.h>

#include <set>

#include "common/sysutils.h"

TEST(OsVersion, TableNamesAndPackedVersion) {
    EXPECT_EQ(OsVersionNameOf(10, 0), L"Win 10");
    EXPECT_EQ(OsVersionNameOf(6, 1), L"Win 7");
    EXPECT_EQ(OsVersionNameOf(6, 4), L"Win 10");
    EXPECT_EQ(OsVersionNameOf(5, 2), L"Win Server 2003");
    EXPECT_EQ(OsVersionNameOf(6, 5), L"Unknown");
    WORD packed = 0xFFFF;
    std::wstring name = GetOsVersionName(&packed);
    EXPECT_EQ(name, L"Unknown"); // a kernel version is not a Windows version
    EXPECT_NE(packed, 0xFFFF);
    EXPECT_GT(packed >> 8, 0);
}

TEST(Digests, Md5MatchesRfc1321Vectors) {
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_NE(Md5Hex(std::string("a\0b", 3)), Md5Hex("a"));
}

TEST(Digests, Base64MatchesRfc4648Vectors) {
    const char* cases[][2] = {{"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
                              {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    std::string out;
    for (auto& c : cases) {
        EXPECT_TRUE(Base64Encode(c[0], out));
        EXPECT_EQ(out, c[1]);
    }
    EXPECT_FALSE(Base64Encode("", out));
    EXPECT_TRUE(Base64Encode(Md5Hex("x"), out));
    EXPECT_EQ(out.size(), 44u);
    EXPECT_EQ(out.back(), '=');
    EXPECT_NE(out[42], '=');
    EXPECT_TRUE(Base64Encode(std::string("\xff\xfe\0", 3), out));
    EXPECT_EQ(out, "//4A");
}

TEST(Identifiers, GuidStringsAreUpperHexAndDistinct) {
    std::set<std::wstring> seen;
    for (int i = 0; i < 200; ++i) {
        std::wstring g = MakeGuidString();
        ASSERT_EQ(g.size(), 32u);
        EXPECT_EQ(g.find_first_not_of(L"0123456789ABCDEF"), std::wstring::npos);
        seen.insert(g);
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST(Paths, ModulePathFolderAndProcessTest) {
    std::wstring exe = GetModulePath();
    ASSERT_FALSE(exe.empty());
    std::wstring dir = GetDirOfPath(exe);
    EXPECT_EQ(dir.back(), L'/');
    EXPECT_EQ(exe.substr(0, dir.size()), dir);
    EXPECT_EQ(GetDirOfPath(L"noslash"), L"");
    // Our own executable is running, so any substring of its path counts.
    EXPECT_TRUE(IsProcessRunning(exe.substr(exe.size() - 8)));
    EXPECT_FALSE(IsProcessRunning(L"/no/such/Vudeda-process"));
}
