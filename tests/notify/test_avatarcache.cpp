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
    // How often the server was asked for `url` (its path and query).
    static int Asked(const std::wstring& url) {
        std::string target = WideToAnsi(url).substr(s_peer->BaseUrl().size());
        int n = 0;
        for (const Json::Value& r : s_peer->Requests())
            n += r["target"].asString() == target;
        return n;
    }
    std::string List() const { return ReadFileBytes(base + "Avatar/AvatarList.json"); }
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

TEST_F(AvatarCacheTest, OnlyWebUrlsAreFetched) {
    WriteFileBytes(home.path() + "/private.png", "the merchant's own file");
    const std::string port = std::to_string(s_peer->Port());
    const std::wstring refused[] = {AnsiToWide("file://" + home.path() + "/private.png"),
                                    AnsiToWide("FILE://" + home.path() + "/private.png"),
                                    AnsiToWide("ftp://127.0.0.1:" + port + "/avatar/alice.png"),
                                    L"data:image/png;base64,iVBORw0KGgo=", L"no-scheme/avatar.png"};
    const std::string list = List();
    for (const std::wstring& url : refused) {
        std::wstring path = L"unchanged";
        EXPECT_FALSE(cache->GetAvatar(L"k", url, path)) << url;
        EXPECT_EQ(path, L"unchanged");
    }
    EXPECT_EQ(PngCount(), 0u);
    EXPECT_EQ(List(), list);
    EXPECT_EQ(cache->GetCount(), 1u);
    // The scheme is compared without regard to case, as URLs are.
    std::wstring path;
    EXPECT_TRUE(cache->GetAvatar(L"k", Url("alice", "HTTP"), path));
}

TEST_F(AvatarCacheTest, FailedDownloadsLeaveNothingAndAreNotRetriedInTheSession) {
    const std::string list = List();
    for (const char* fault : {"500", "204", "cut"}) {
        std::wstring url = Url("dave") + AnsiToWide(std::string("?fault=") + fault);
        std::wstring path;
        EXPECT_FALSE(cache->GetAvatar(L"d1", url, path)) << fault;
        EXPECT_FALSE(cache->GetAvatar(L"d1", url, path)) << fault;
        EXPECT_FALSE(cache->GetAvatar(L"d2", url, path)) << fault; // the same URL for someone else
        EXPECT_TRUE(path.empty());
        EXPECT_EQ(Asked(url), 1) << fault;
    }
    EXPECT_EQ(PngCount(), 0u);
    EXPECT_EQ(List(), list);
    EXPECT_EQ(cache->GetCount(), 1u);

    // A new session tries again.
    std::wstring url = Url("dave") + L"?fault=500";
    cache->Init(AnsiToWide(base));
    std::wstring path;
    EXPECT_FALSE(cache->GetAvatar(L"d1", url, path));
    EXPECT_EQ(Asked(url), 2);
}

TEST_F(AvatarCacheTest, BadEntriesSkipOnlyThemselvesAndTheGoodOnesAreKept) {
    const std::string dir = base + "Avatar/";
    const std::string good = dir + "0123456789ABCDEF0123456789ABCDEF.png";
    WriteFileBytes(good, "png");
    const std::string goodUrl = WideToAnsi(Url("erin"));
    std::string entries = "{\"uuid\":\"g1\",\"url\":\"" + goodUrl + "\",\"path\":\"" + good + "\"}," +
                          "{\"uuid\":7,\"url\":\"http://x/a.png\",\"path\":\"" + dir + "A.png\"}," +
                          "{\"uuid\":\"nopath\",\"url\":\"http://x/b.png\"}," +
                          "{\"uuid\":\"outside\",\"url\":\"http://x/c.png\",\"path\":\"/etc/passwd\"}," +
                          "{\"uuid\":\"climb\",\"url\":\"http://x/d.png\",\"path\":\"" + dir +
                          "../Config/Config.json\"}," + "[\"not\",\"an\",\"object\"]," +
                          "{\"path\":\"1111\",\"url\":\"1111\",\"uuid\":\"1111\"}";
    WriteFileBytes(dir + "AvatarList.json", "{\"AvatarList\":[" + entries + "]}");
    cache->Init(AnsiToWide(base));
    EXPECT_EQ(cache->GetCount(), 2u); // the good entry and the placeholder

    std::wstring path;
    ASSERT_TRUE(cache->GetAvatar(L"g1", Url("erin"), path));
    EXPECT_EQ(WideToAnsi(path), good);
    EXPECT_EQ(Asked(Url("erin")), 0);

    // The next save keeps the good entries and drops the bad ones.
    ASSERT_TRUE(cache->GetAvatar(L"f1", Url("frank"), path));
    std::string saved = List();
    EXPECT_NE(saved.find("\"uuid\":\"g1\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("\"uuid\":\"1111\""), std::string::npos) << saved;
    for (const char* dropped : {"nopath", "climb", "/etc/passwd", "not"})
        EXPECT_EQ(saved.find(dropped), std::string::npos) << dropped;
    cache->Init(AnsiToWide(base));
    EXPECT_EQ(cache->GetCount(), 3u);
}

TEST_F(AvatarCacheTest, ListSaveThatCannotBeWrittenLeavesTheOldList) {
    std::string entries;
    for (int i = 0; i < 200; ++i)
        entries += "{\"uuid\":\"k" + std::to_string(i) + "\",\"url\":\"http://x/" + std::to_string(i) +
                   ".png\",\"path\":\"" + base + "Avatar/F" + std::to_string(i) + ".png\"},";
    WriteFileBytes(base + "Avatar/AvatarList.json", "{\"AvatarList\":[" + entries + "{}]}");
    cache->Init(AnsiToWide(base));
    ASSERT_EQ(cache->GetCount(), 200u);
    const std::string before = List();
    ASSERT_TRUE(RunWithFileSizeLimit(1024, [&] {
        cache->SaveList();
        return true;
    }));
    EXPECT_EQ(List(), before);
    EXPECT_TRUE(LeftoverTemporaries(base + "Avatar").empty());
}
