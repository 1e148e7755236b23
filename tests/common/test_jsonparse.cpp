// The one JSON reader and every reader of the program built on it, fed text nested past any
// stack, text cut short and members of the wrong type: none may throw, each reads it as invalid.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/jsonparse.h"
#include "common/sysutils.h"
#include "events/eventlogmanage.h"
#include "net/httpwork.h"
#include "notify/avatarcache.h"
#include "settings/configmanage.h"
#include "support/testenv.h"

namespace {

std::string Nested(const std::string& key, size_t depth, bool closed = true) {
    return "{\"" + key + "\":" + std::string(depth, '[') + "1" + (closed ? std::string(depth, ']') + "}" : "");
}

} // namespace

TEST(JsonParse, RefusesDeepOrBrokenTextAndLeavesTheValueAlone) {
    const std::vector<std::string> bad = {
        Nested("a", 2000), Nested("a", 2000, false), std::string(2000, '{'), "{\"a\":[1,2", "", "nul", "{\"a\":}",
    };
    for (const std::string& text : bad) {
        Json::Value root("untouched");
        EXPECT_FALSE(JsonParse(text, root)) << text.substr(0, 40);
        EXPECT_EQ(root.asString(), "untouched");
    }
    Json::Value root;
    ASSERT_TRUE(JsonParse(Nested("a", kJsonMaxDepth - 2), root));
    EXPECT_TRUE(root["a"].isArray());
    EXPECT_FALSE(JsonParseFile("/nonexistent/file.json", root));
}

TEST(JsonParse, GettersAnswerOnlyForTheRightTypeOnAnyValue) {
    Json::Value root;
    ASSERT_TRUE(JsonParse("{\"s\":\"x\",\"i\":7,\"f\":2.0,\"h\":2.5,\"big\":1099511627776,\"b\":true,"
                          "\"n\":null,\"o\":{\"k\":1},\"a\":[1]}",
                          root));
    std::string s = "keep";
    int i = -1;
    int64_t l = -1;
    bool b = false;
    // Calls that would throw on a plain jsoncpp value of the wrong kind.
    for (const Json::Value* v : {&root["a"], &root["s"], &root["i"], &root["n"]}) {
        EXPECT_TRUE(JsonMember(*v, "k").isNull());
        EXPECT_FALSE(JsonGetString(*v, "s", s));
    }
    EXPECT_EQ(s, "keep");
    EXPECT_FALSE(JsonGetString(root, "i", s));
    EXPECT_FALSE(JsonGetInt(root, "s", i));
    EXPECT_FALSE(JsonGetInt(root, "h", i));
    EXPECT_FALSE(JsonGetInt(root, "big", i));
    EXPECT_FALSE(JsonGetInt(root, "b", i));
    EXPECT_FALSE(JsonGetBool(root, "i", b));
    EXPECT_EQ(i, -1);
    EXPECT_TRUE(JsonGetInt(root, "f", i));
    EXPECT_EQ(i, 2);
    EXPECT_TRUE(JsonGetInt64(root, "big", l));
    EXPECT_EQ(l, 1099511627776LL);
    EXPECT_TRUE(JsonGetString(root, "s", s));
    EXPECT_EQ(s, "x");
    EXPECT_TRUE(JsonGetBool(root, "b", b));
    EXPECT_TRUE(b);
    EXPECT_FALSE(JsonScalarText(root["o"], s));
    EXPECT_FALSE(JsonScalarText(root["n"], s));
    EXPECT_TRUE(JsonScalarText(root["i"], s));
    EXPECT_EQ(s, "7");
}

namespace {

// One reader of the program: how to hand it a text, and whether it then reads the good value.
struct Reader {
    const char* name;
    std::string rootKey;
    std::string good;
    std::vector<std::string> wrongTypes;
    std::function<void(const std::string&)> write;
    std::function<bool()> readsGood;
};

class JsonReaders : public ::testing::Test {
protected:
    void SetUp() override { CHttpWork::GetInstance()->GlobalInit(); }
    std::vector<Reader> All() {
        const std::string base = home.path() + "/cache/";
        const std::wstring wbase = AnsiToWide(base);
        const std::wstring avatarUrl = L"http://127.0.0.1:1/a.png"; // refuses: nothing may be fetched
        std::vector<Reader> readers;
        readers.push_back({"Config.json", "Config", "{\"Config\":{\"AutoLogin\":1}}",
                           {"[{\"Config\":{}}]", "{\"Config\":[1]}", "{\"Config\":{\"AutoLogin\":\"1\"}}",
                            "{\"Config\":{\"AutoLogin\":{\"v\":1}}}", "{\"Config\":{\"AutoLogin\":4e12}}"},
                           [=](const std::string& text) {
                               CConfigManage::GetInstance()->Init(wbase);
                               WriteFileBytes(base + "Config/Config.json", text);
                           },
                           [] {
                               STRUCT_Config c{};
                               return CConfigManage::GetInstance()->ReadConfig(c) && c.AutoLogin == 1;
                           }});
        const std::string picture = base + "Avatar/A.png";
        readers.push_back({"AvatarList.json", "AvatarList",
                           "{\"AvatarList\":[{\"uuid\":\"k\",\"url\":\"http://127.0.0.1:1/a.png\",\"path\":\"" +
                               picture + "\"}]}",
                           {"{\"AvatarList\":{\"uuid\":\"k\"}}", "{\"AvatarList\":[\"k\"]}", "\"AvatarList\"",
                            "{\"AvatarList\":[{\"uuid\":7,\"url\":\"http://127.0.0.1:1/a.png\",\"path\":\"" + picture +
                                "\"}]}"},
                           [=](const std::string& text) {
                               WriteFileBytes(base + "Avatar/AvatarList.json", text);
                               CAvatarCache::GetInstance()->Init(wbase);
                           },
                           [=] {
                               std::wstring path;
                               return CAvatarCache::GetInstance()->GetAvatar(L"k", avatarUrl, path) &&
                                      path == AnsiToWide(picture);
                           }});
        readers.push_back({"registry store", "HKEY_CURRENT_USER",
                           "{\"HKEY_CURRENT_USER\":{\"software\\\\qdx\":{\"name\":\"v\"}}}",
                           {"[]", "{\"HKEY_CURRENT_USER\":[1]}", "{\"HKEY_CURRENT_USER\":{\"software\\\\qdx\":\"name\"}}",
                            "{\"HKEY_CURRENT_USER\":{\"software\\\\qdx\":{\"name\":1}}}"},
                           [=](const std::string& text) {
                               WriteFileBytes(home.configHome() + "/shopdesk/registry.json", text);
                           },
                           [] {
                               std::wstring out;
                               return RegReadString(HKEY_CURRENT_USER, L"Software\\QDX", L"Name", out) && out == L"v";
                           }});
        auto attrText = std::make_shared<std::string>();
        readers.push_back({"stored event attributes", "a", "{\"a\":\"1\"}", {"[\"a\"]", "{\"a\":{\"b\":1}}", "\"a\""},
                           [attrText](const std::string& text) { *attrText = text; },
                           [attrText] {
                               std::map<std::string, std::string> attr;
                               AttrToJson(attr, *attrText, false);
                               return attr["a"] == "1";
                           }});
        return readers;
    }
    ScopedTestHome home;
};

} // namespace

TEST_F(JsonReaders, EveryReaderTakesDeepCutAndWronglyTypedTextAsInvalid) {
    for (const Reader& r : All()) {
        SCOPED_TRACE(r.name);
        r.write(r.good);
        ASSERT_TRUE(r.readsGood()) << "the good text must read";
        std::vector<std::string> bad = r.wrongTypes;
        bad.push_back(Nested(r.rootKey, 2000));
        bad.push_back(Nested(r.rootKey, 2000, false));
        bad.push_back(r.good.substr(0, r.good.size() / 2));
        for (const std::string& text : bad) {
            r.write(text);
            EXPECT_FALSE(r.readsGood()) << text.substr(0, 60);
        }
    }
}
