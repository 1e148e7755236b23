#include <gtest/gtest.h>

#include <set>

#include "app/startuprules.h"
#include "support/testenv.h"

TEST(ExtractUid, TakesEverythingAfterTheFirstMarkerLessOneTrailingSlash) {
    EXPECT_EQ(ExtractUid(L"tessaril://uid=12345/"), L"12345");
    EXPECT_EQ(ExtractUid(L"tessaril://uid=12345//"), L"12345/");
    EXPECT_EQ(ExtractUid(L"tessaril://uid=12345\\"), L"12345");
    EXPECT_EQ(ExtractUid(L"tessaril://uid="), L"");
    EXPECT_EQ(ExtractUid(L"tessaril://uid=/"), L"");
    EXPECT_EQ(ExtractUid(L"x uid=a uid=b"), L"a uid=b");
    EXPECT_EQ(ExtractUid(L"UID=1"), L""); // case-sensitive
    EXPECT_EQ(ExtractUid(L""), L"");
}

TEST(CacheFolder, WindowsAppDataExamples) {
    std::set<std::string> dirs = {"C:\\Users\\u\\AppData\\Local"};
    auto exists = [&](const std::string& d) { return dirs.count(d) > 0; };
    EXPECT_EQ(DeriveCacheFolderFromAppData("C:\\Users\\u\\AppData\\Roaming", exists),
              "C:\\Users\\u\\AppData\\Local\\QDX\\Cache\\");
    EXPECT_EQ(DeriveCacheFolderFromAppData("C:\\Documents and Settings\\u\\Application Data", exists),
              "C:\\Documents and Settings\\u\\Local Settings\\Application Data\\QDX\\Cache\\");
    EXPECT_EQ(DeriveCacheFolderFromAppData("C:\\nothing here", exists), "");
    EXPECT_EQ(DeriveCacheFolderFromAppData("D:Data", exists), ""); // no "\A" to fall back on
}

TEST(CacheFolder, XdgFolderWhenAppDataIsUnset) {
    ScopedTestHome home;
    const char* saved = getenv("AppData");
    std::string keep = saved ? saved : "";
    unsetenv("AppData");
    EXPECT_EQ(DeriveCacheFolder(), home.dataHome() + "/QDX/Cache/");
    if (!keep.empty())
        setenv("AppData", keep.c_str(), 1);
}
