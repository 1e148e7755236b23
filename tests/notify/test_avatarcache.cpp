#include <gtest/gtest.h>

#include <filesystem>

#include "common/sysutils.h"
#include "demopeer.h"
#include "net/httpwork.h"
#include "notify/avatarcache.h"
#include "support/testenv.h"

namespace fs = std::filesystem;

namespace {

class AvatarCacheTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_peer = new DemoPeer();
        s_dataDir = fs::temp_directory_path().string() + "/shopdesk-avatar-peer";
        ASSERT_TRUE(s_peer->Start(s_dataDir));
        CHttpWork::GetInstance()->GlobalInit();
    }
    static void TearDownTestSuite() {
        delete s_peer;
        fs::remove_all(s_dataDir);
    }
    void SetUp() override {
        base = home.path() + "/cache/";
        cache = CAvatarCache::GetInstance();
        cache->Init(AnsiToWide(base));
    }
    std::wstring Url(const std::string& name, const char* scheme = "http") const {
        return AnsiToWide(std::string(scheme) + "://127.0.0.1:" + std::to_string(s_peer->Port()) + "/avatar/" +
                          name + ".png");
    }
    size_t PngCount() const {
        size_t n = 0;
        for (auto& e : fs::directory_iterator(base + "Avatar"))
            n += e.path().extension() == ".png";
        return n;
    }

    static DemoPeer* s_peer;
    static std::string s_dataDir;
    ScopedTestHome home;
    std::string base;
    CAvatarCache* cache = nullptr;
};

DemoPeer* AvatarCacheTest::s_peer = nullptr;
std::string AvatarCacheTest::s_dataDir;

} // namespace

TEST_F(AvatarCacheTest, FirstStartWritesThePlaceholderList) {
    EXPECT_EQ(ReadFileBytes(base + "Avatar/AvatarList.json"),
              "{\"AvatarList\":[{\"path\":\"1111\",\"url\":\"1111\",\"uuid\":\"1111\"}]}\n");
    EXPECT_EQ(cache->GetCount(), 1u);
}

TEST_F(AvatarCacheTest, DownloadsOncePerUrlIgnoringTheScheme) {
    std::wstring path;
    ASSERT_TRUE(cache->GetAvatar(L"c1", Url("alice"), path));
    std::string file = WideToAnsi(path);
    EXPECT_EQ(file.rfind(base + "Avatar/", 0), 0u);
    EXPECT_EQ(fs::path(file).filename().string().size(), 32u + 4u);
    EXPECT_EQ(ReadFileBytes(file).substr(1, 3), "PNG");

    std::wstring again;
    ASSERT_TRUE(cache->GetAvatar(L"c1", Url("alice", "https"), again)); // scheme is not compared
    EXPECT_EQ(again, path);
    EXPECT_EQ(PngCount(), 1u);

    // A new URL for the same key: a fresh file, the old one stays.
    std::wstring changed;
    ASSERT_TRUE(cache->GetAvatar(L"c1", Url("bob"), changed));
    EXPECT_NE(changed, path);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(PngCount(), 2u);

    // The list survives a restart.
    cache->Init(AnsiToWide(base));
    std::wstring reloaded;
    ASSERT_TRUE(cache->GetAvatar(L"c1", Url("bob"), reloaded));
    EXPECT_EQ(reloaded, changed);
    EXPECT_NE(ReadFileBytes(base + "Avatar/AvatarList.json").find("\"uuid\":\"c1\""), std::string::npos);
}

TEST_F(AvatarCacheTest, UnusableUrlsLeaveThePathUntouched) {
    std::wstring path = L"unchanged";
    EXPECT_FALSE(cache->GetAvatar(L"c2", L"", path));
    ASSERT_TRUE(cache->GetAvatar(L"c2", Url("carol"), path));
    std::wstring known = path;
    EXPECT_FALSE(cache->GetAvatar(L"c2", L"no-scheme/avatar.png", path)); // known key, no "://"
    EXPECT_EQ(path, known);
    std::wstring refused = L"unchanged";
    std::wstring dead = AnsiToWide("http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/a.png");
    EXPECT_FALSE(cache->GetAvatar(L"c3", dead, refused));
    EXPECT_EQ(refused, L"unchanged");
}

TEST_F(AvatarCacheTest, MistypedListIsIgnoredThenReplaced) {
    const char* bad[] = {"[1,2]", "{\"AvatarList\":{}}", "{\"AvatarList\":[1]}",
                         "{\"AvatarList\":[{\"uuid\":[\"x\"],\"url\":\"u\",\"path\":\"p\"}]}", "not json"};
    for (const char* text : bad) {
        WriteFileBytes(base + "Avatar/AvatarList.json", text);
        cache->Init(AnsiToWide(base));
        EXPECT_EQ(cache->GetCount(), 0u) << text;
    }
    std::wstring path;
    ASSERT_TRUE(cache->GetAvatar(L"m1", Url("manager"), path));
    EXPECT_EQ(cache->GetCount(), 1u);
    EXPECT_NE(ReadFileBytes(base + "Avatar/AvatarList.json").find("\"AvatarList\":[{"), std::string::npos);
}
