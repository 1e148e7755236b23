// The demo server as a peer: its session check, its state changes, its refusal of badly
// signed events and its fault switches. Requests are made with a plain HTTP client so that
// these checks do not depend on the workbench's own request code.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cctype>
#include <cstdio>

#include <httplib.h>

#include "demopeer.h"
#include "support/testenv.h"

namespace {

std::string Md5Hex(const std::string& s) {
    unsigned char d[EVP_MAX_MD_SIZE];
    unsigned n = 0;
    EVP_Digest(s.data(), s.size(), d, &n, EVP_md5(), nullptr);
    std::string hex;
    char b[3];
    for (unsigned i = 0; i < n; ++i) {
        std::snprintf(b, sizeof(b), "%02x", d[i]);
        hex += b;
    }
    return hex;
}

std::string B64(const std::string& s) {
    std::string out(4 * ((s.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&out[0]), reinterpret_cast<const unsigned char*>(s.data()),
                            static_cast<int>(s.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string JsonText(const Json::Value& v) {
    Json::StreamWriterBuilder b;
    b["indentation"] = "";
    return Json::writeString(b, v);
}

std::string FormEncode(const std::string& s) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

Json::Value Parse(const std::string& text) {
    Json::CharReaderBuilder b;
    std::unique_ptr<Json::CharReader> r(b.newCharReader());
    Json::Value v;
    std::string errs;
    r->parse(text.data(), text.data() + text.size(), &v, &errs);
    return v;
}

class DemoServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(peer.Start(home.path() + "/demo")); }
    httplib::Client Client() const { return httplib::Client("127.0.0.1", peer.Port()); }

    ScopedTestHome home;
    DemoPeer peer;
};

} // namespace

TEST_F(DemoServerTest, MerchantApiRefusesWithoutSessionAndServesSeededDataWithIt) {
    httplib::Client cli = Client();
    auto refused = cli.Get("/tessaril/api/message/get_permission");
    ASSERT_TRUE(refused);
    EXPECT_EQ(200, refused->status);
    EXPECT_NE(0, Parse(refused->body)["code"].asInt());

    httplib::Headers forged = {{"Cookie", "shopdesk_session=0123456789abcdef;"}};
    EXPECT_NE(0, Parse(cli.Get("/tessaril/api/shop/get_list", forged)->body)["code"].asInt());

    httplib::Headers h = {{"Cookie", peer.SignIn()}};
    Json::Value perm = Parse(cli.Get("/tessaril/api/message/get_permission", h)->body);
    ASSERT_EQ(0, perm["code"].asInt());
    ASSERT_EQ(6u, perm["data"].size());
    const char* types[] = {"sales_order", "sales_daily_report", "sales_product",
                           "sales_comment", "sales_system", "sales_order_refund"};
    unsigned unread = 0;
    for (unsigned i = 0; i < 6; ++i) {
        EXPECT_EQ(types[i], perm["data"][i]["type"].asString());
        unread += perm["data"][i]["unread_num"].asUInt();
    }
    EXPECT_GT(unread, 0u);

    Json::Value shops = Parse(cli.Get("/tessaril/api/shop/get_list", h)->body);
    EXPECT_GE(shops["data"].size(), 2u);

    // Paging: the pages together hold "total" messages, the last one partly filled.
    Json::Value page1 = Parse(cli.Get("/tessaril/api/message/get_list?message_type=sales_order&offset=0&page_size=10", h)->body);
    uint64_t total = page1["data"]["total"].asUInt64();
    EXPECT_GT(total, 20u);
    EXPECT_EQ(10u, page1["data"]["list"].size());
    uint64_t lastOffset = (total - 1) / 10 * 10;
    Json::Value last = Parse(cli.Get(("/tessaril/api/message/get_list?message_type=sales_order&offset=" +
                                      std::to_string(lastOffset) + "&page_size=10").c_str(), h)->body);
    EXPECT_EQ(total - lastOffset, last["data"]["list"].size());
}

TEST_F(DemoServerTest, WorkbenchChangesAreKept) {
    httplib::Client cli = Client();
    httplib::Headers h = {{"Cookie", peer.SignIn()}};
    ASSERT_EQ(0, Parse(cli.Post("/tessaril/api/message/all_read", h, "", "application/x-www-form-urlencoded")->body)["code"].asInt());
    // "All read" clears every category but system notices and refunds, which are read one by one.
    for (const Json::Value& c : Parse(cli.Get("/tessaril/api/message/get_permission", h)->body)["data"]) {
        std::string type = c["type"].asString();
        bool keeps = type == "sales_system" || type == "sales_order_refund";
        EXPECT_EQ(keeps, c["unread_num"].asUInt() > 0u) << type;
    }

    Json::Value before = Parse(cli.Get("/tessaril/api/subscribe/get_permission?ota_id=20417", h)->body);
    bool was = before["data"][0]["is_subscribe"].asBool();
    std::string form = "ota_id=20417&type=sales_order&status=" + std::string(was ? "0" : "1");
    ASSERT_EQ(0, Parse(cli.Post("/tessaril/api/subscribe/set_subscribe", h, form, "application/x-www-form-urlencoded")->body)["code"].asInt());
    Json::Value after = Parse(cli.Get("/tessaril/api/subscribe/get_permission?ota_id=20417", h)->body);
    EXPECT_EQ(!was, after["data"][0]["is_subscribe"].asBool());

    // A batch with one unknown message type is refused as a whole.
    std::string bad = "data=" + FormEncode(
        R"({"list":[{"message_type":"order_new","status":3},{"message_type":"nope","status":3}],"ota_id":20417})");
    EXPECT_NE(0, Parse(cli.Post("/tessaril/api/subscribe/set_notice_batch", h, bad, "application/x-www-form-urlencoded")->body)["code"].asInt());
    Json::Value subs = Parse(cli.Get("/tessaril/api/subscribe/get_sub_permission?type=sales_order&ota_id=20417", h)->body);
    std::string statusBefore = subs["data"]["sub_list"][0]["status"].asString();
    std::string good = "ota_id=20417&message_type=order_new&status=" + std::string(statusBefore == "3" ? "1" : "3");
    ASSERT_EQ(0, Parse(cli.Post("/tessaril/api/subscribe/set_notice", h, good, "application/x-www-form-urlencoded")->body)["code"].asInt());
    subs = Parse(cli.Get("/tessaril/api/subscribe/get_sub_permission?type=sales_order&ota_id=20417", h)->body);
    EXPECT_NE(statusBefore, subs["data"]["sub_list"][0]["status"].asString());
}

TEST_F(DemoServerTest, EventUploadKeepsOnlyCorrectlySignedEvents) {
    Json::Value item(Json::objectValue);
    item["attr"] = Json::Value();
    item["basic"]["event_code"] = "launch";
    item["basic"]["event_time"] = 1700000000;
    Json::Value data(Json::arrayValue);
    data.append(item);
    std::string dataText = JsonText(data);

    auto post = [&](const std::string& sign) {
        Json::Value env(Json::objectValue);
        env["post_style"] = "default";
        env["update"]["data"] = dataText;
        env["update"]["sign"] = sign;
        env["update"]["ts"] = 1700000000;
        std::string form = "app_code=win.qdx.tsclient&app_ver=2.1.4&jsondata=" + FormEncode(JsonText(env));
        return Client().Post("/mobilelog/rest/EventLog/", form, "application/x-www-form-urlencoded");
    };
    std::string good = B64(Md5Hex("3c9e0a7b51d2f84e6a0b9c7d2e5f1a48" "1700000000" + dataText));
    auto ok = post(good);
    ASSERT_TRUE(ok);
    EXPECT_EQ(0, Parse(ok->body)["code"].asInt());
    auto bad = post(B64(Md5Hex("wrong salt" + dataText)));
    ASSERT_TRUE(bad);
    EXPECT_EQ(400, bad->status);
    EXPECT_NE(0, Parse(bad->body)["code"].asInt());

    Json::Value events = peer.Events();
    EXPECT_EQ(1u, events["count"].asUInt());
    EXPECT_EQ(1, events["rejected"].asInt());
    EXPECT_EQ("launch", events["events"][0]["basic"]["event_code"].asString());

    // Accepted events survive a restart of the server on the same data folder.
    peer.Stop();
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    EXPECT_EQ(1u, peer.Events()["count"].asUInt());
}

TEST_F(DemoServerTest, VersionAnswerFollowsTheSwitch) {
    Json::Value none = peer.GetJson("/system/update/native_app_check_update/v1");
    EXPECT_EQ(0, none["data"]["has_new_version"].asInt());
    peer.Get("/demo/version?has_new=1&version=3.0.0");
    Json::Value some = peer.GetJson("/system/update/native_app_check_update/v1");
    EXPECT_EQ(1, some["data"]["has_new_version"].asInt());
    EXPECT_EQ("3.0.0", some["data"]["newest_version"].asString());
    EXPECT_FALSE(some["data"]["url"].asString().empty());
}

TEST_F(DemoServerTest, AvatarsAreStablePngsAndArmedFaultsRunOut) {
    std::string a1 = peer.Get("/avatar/alice.png");
    ASSERT_GT(a1.size(), 8u);
    EXPECT_EQ(std::string("\x89PNG\r\n\x1a\n", 8), a1.substr(0, 8));
    EXPECT_EQ(a1, peer.Get("/avatar/alice.png"));
    EXPECT_NE(a1, peer.Get("/avatar/bob.png"));

    peer.Get("/demo/fault?mode=500&count=2&path=/avatar/");
    int status = 0;
    peer.Get("/avatar/alice.png", &status);
    EXPECT_EQ(500, status);
    peer.Get("/system/update/native_app_check_update/v1", &status); // other paths are not affected
    EXPECT_EQ(200, status);
    peer.Get("/avatar/alice.png", &status);
    EXPECT_EQ(500, status);
    EXPECT_EQ(a1, peer.Get("/avatar/alice.png", &status));
    EXPECT_EQ(200, status);
}
