// The demo server as a peer: its session check, its state changes, its refusal of badly
// signed events and its fault switches. Requests are made with a plain HTTP client so that
// these checks do not depend on the workbench's own request code.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <thread>

#include <httplib.h>

#include "common/jsonparse.h"
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

// The server's answers are read as the client reads them.
Json::Value Parse(const std::string& text) {
    Json::Value v;
    JsonParse(text, v);
    return v;
}

class DemoServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(peer.Start(home.path() + "/demo")); }
    httplib::Client Client() const { return peer.WorkbenchClient(); }

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

    // To a client that takes gzip, answers of a kilobyte or more go out compressed and shorter
    // ones as they are.
    httplib::Client raw = Client();
    raw.set_decompress(false);
    httplib::Headers gz = {{"Cookie", h.begin()->second}, {"Accept-Encoding", "gzip"}};
    auto page = raw.Get("/tessaril/api/message/get_list?message_type=sales_order&offset=0&page_size=10", gz);
    ASSERT_TRUE(page) << httplib::to_string(page.error());
    ASSERT_GE(JsonText(page1).size(), 1024u);
    EXPECT_EQ("gzip", page->get_header_value("Content-Encoding"));
    EXPECT_EQ("\x1f\x8b", page->body.substr(0, 2));
    auto version = raw.Get("/system/update/native_app_check_update/v1", {{"Accept-Encoding", "gzip"}});
    ASSERT_TRUE(version);
    EXPECT_FALSE(version->has_header("Content-Encoding"));
    EXPECT_EQ(0, Parse(version->body)["code"].asInt());
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

namespace {

const int64_t kTs = 1700000000;

// An event object with every member the workbench sends.
Json::Value FullEvent(const std::string& note) {
    Json::Value item(Json::objectValue);
    item["attr"]["note"] = note;
    Json::Value& b = item["basic"];
    b["app_code"] = "win.qdx.tsclient";
    b["app_ver"] = "2.1.4";
    b["device_type"] = "win";
    b["sys_ver"] = "6.1";
    b["hardware_model"] = "64";
    b["event_code"] = "launch";
    b["event_time"] = static_cast<Json::Int64>(kTs);
    b["event_guid"] = "0123456789ABCDEF0123456789ABCDEF";
    b["uid"] = "u1";
    b["open_udid"] = "machine";
    b["launch_guid"] = "LG";
    return item;
}

std::string DataText(const Json::Value& event) {
    Json::Value data(Json::arrayValue);
    data.append(event);
    return JsonText(data);
}

std::string Sign(int64_t ts, const std::string& data) {
    return B64(Md5Hex("3c9e0a7b51d2f84e6a0b9c7d2e5f1a48" + std::to_string(ts) + data));
}

Json::Value Envelope(const std::string& data, int64_t ts, const std::string& sign) {
    Json::Value env(Json::objectValue);
    env["post_style"] = "default";
    env["update"]["data"] = data;
    env["update"]["sign"] = sign;
    env["update"]["ts"] = static_cast<Json::Int64>(ts);
    return env;
}

std::string Form(const std::string& envelopeText, const std::string& appCode = "win.qdx.tsclient",
                 const std::string& appVer = "2.1.4") {
    return "app_code=" + FormEncode(appCode) + "&app_ver=" + FormEncode(appVer) + "&jsondata=" + FormEncode(envelopeText);
}

std::string GoodForm(const std::string& note = "ok") {
    std::string data = DataText(FullEvent(note));
    return Form(JsonText(Envelope(data, kTs, Sign(kTs, data))));
}

} // namespace

TEST_F(DemoServerTest, EventUploadKeepsOnlyCorrectlySignedEvents) {
    auto ok = Client().Post("/mobilelog/rest/EventLog/", GoodForm(), "application/x-www-form-urlencoded");
    ASSERT_TRUE(ok);
    EXPECT_EQ(200, ok->status);
    EXPECT_EQ(0, Parse(ok->body)["code"].asInt()) << ok->body;
    std::string data = DataText(FullEvent("bad"));
    auto bad = Client().Post("/mobilelog/rest/EventLog/", Form(JsonText(Envelope(data, kTs, B64(Md5Hex("wrong salt" + data))))),
                             "application/x-www-form-urlencoded");
    ASSERT_TRUE(bad);
    EXPECT_EQ(400, bad->status);
    EXPECT_EQ(1002, Parse(bad->body)["code"].asInt());

    Json::Value events = peer.Events();
    EXPECT_EQ(1u, events["count"].asUInt());
    EXPECT_EQ(1, events["rejected"].asInt());
    EXPECT_EQ("ok", events["events"][0]["attr"]["note"].asString());

    // Accepted events survive a restart of the server on the same data folder.
    peer.Stop();
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    EXPECT_EQ(1u, peer.Events()["count"].asUInt());
}

// Each request differs from what the workbench sends in one way a strict server refuses.
TEST_F(DemoServerTest, TheApiRefusesEveryKindOfMalformedRequestAndRecordsWhy) {
    struct Bad {
        const char* what;
        std::string method, target, body, contentType;
        httplib::Headers headers;
        const char* reason;
    };
    const std::string upload = "/mobilelog/rest/EventLog/", version = "/system/update/native_app_check_update/v1";
    const std::string form = "application/x-www-form-urlencoded";
    const std::string good = GoodForm("a b");
    std::string lower = good;
    for (size_t i = lower.find('%'); i != std::string::npos; i = lower.find('%', i + 1))
        for (size_t k = i + 1; k <= i + 2 && k < lower.size(); ++k)
            lower[k] = static_cast<char>(std::tolower(static_cast<unsigned char>(lower[k])));
    std::string plus = good;
    plus.replace(plus.find("%20"), 3, "+");
    std::string data = DataText(FullEvent("x"));
    Json::Value withoutUdid = FullEvent("x");
    withoutUdid["basic"].removeMember("open_udid");
    std::string dataNoUdid = DataText(withoutUdid);
    Json::StreamWriterBuilder styled;
    std::string unsorted = "{\"update\":" + JsonText(Envelope(data, kTs, Sign(kTs, data))["update"]) +
                           ",\"post_style\":\"default\"}";
    const httplib::Headers browser = {{"User-Agent", "Mozilla/5.0 (X11; Linux x86_64) Chrome/120"}};

    const std::vector<Bad> cases = {
        {"fields out of order", "POST", upload,
         "app_ver=2.1.4&app_code=win.qdx.tsclient&jsondata=" + good.substr(good.find("&jsondata=") + 10), form, {},
         "form field 1"},
        {"\"+\" for a blank", "POST", upload, plus, form, {}, "not percent-encoded"},
        {"lower-case escapes", "POST", upload, lower, form, {}, "lower-case"},
        {"a raw JSON value", "POST", upload,
         "app_code=win.qdx.tsclient&app_ver=2.1.4&jsondata=" + JsonText(Envelope(data, kTs, Sign(kTs, data))), form, {},
         "not percent-encoded"},
        {"an extra field", "POST", upload, good + "&debug=1", form, {}, "after \"jsondata\""},
        {"a missing field", "POST", upload, "app_code=win.qdx.tsclient&app_ver=2.1.4", form, {}, "before field"},
        {"another app_code", "POST", upload, Form(JsonText(Envelope(data, kTs, Sign(kTs, data))), "win.qdx.other"), form,
         {}, "app_code must be"},
        {"another app_ver", "POST", upload, Form(JsonText(Envelope(data, kTs, Sign(kTs, data))), "win.qdx.tsclient", "2.1.5"),
         form, {}, "app_code must be"},
        {"another post_style", "POST", upload,
         [&] {
             Json::Value env = Envelope(data, kTs, Sign(kTs, data));
             env["post_style"] = "batch";
             return Form(JsonText(env));
         }(),
         form, {}, "post_style"},
        {"JSON with blanks", "POST", upload, Form(Json::writeString(styled, Envelope(data, kTs, Sign(kTs, data)))), form, {},
         "not compact"},
        {"keys out of order", "POST", upload, Form(unsorted), form, {}, "not compact"},
        {"an event without open_udid", "POST", upload, Form(JsonText(Envelope(dataNoUdid, kTs, Sign(kTs, dataNoUdid)))),
         form, {}, "basic has other members"},
        {"ts other than event_time", "POST", upload, Form(JsonText(Envelope(data, kTs + 1, Sign(kTs + 1, data)))), form,
         {}, "event_time"},
        {"a query on the upload", "POST", upload + "?debug=1", good, form, {}, "unexpected query"},
        {"a cookie on the upload", "POST", upload, good, form, {{"Cookie", "shopdesk_session=1"}}, "Cookie"},
        {"another body type", "POST", upload, good, "text/plain", {}, "Content-Type"},
        {"a browser's user agent on the upload", "POST", upload, good, form, browser, "User-Agent"},
        {"a query on the version check", "GET", version + "?app_ver=2.1.4", "", "", {}, "unexpected query"},
        {"a cookie on the version check", "GET", version, "", "", {{"Cookie", "shopdesk_session=1"}}, "Cookie"},
        {"a browser's user agent on the version check", "GET", version, "", "", browser, "User-Agent"},
        {"a browser's user agent on the merchant API", "GET", "/tessaril/api/shop/get_list", "", "", browser,
         "User-Agent"},
    };
    for (const Bad& c : cases) {
        SCOPED_TRACE(c.what);
        httplib::Client cli = Client();
        httplib::Result res = c.method == "GET" ? cli.Get(c.target, c.headers)
                                                : cli.Post(c.target, c.headers, c.body, c.contentType);
        ASSERT_TRUE(res);
        EXPECT_EQ(400, res->status);
        EXPECT_NE(Parse(res->body)["message"].asString().find(c.reason), std::string::npos) << res->body;
        Json::Value seen = peer.Requests();
        ASSERT_FALSE(seen.empty());
        EXPECT_NE(seen[seen.size() - 1]["refused"].asString().find(c.reason), std::string::npos);
    }
    EXPECT_EQ(0u, peer.Events()["count"].asUInt());
    // The request that differs from none of them is taken.
    auto ok = Client().Post(upload, good, form);
    ASSERT_TRUE(ok);
    EXPECT_EQ(200, ok->status) << ok->body;
    EXPECT_EQ(200, Client().Get(version)->status);
    EXPECT_EQ(1u, peer.Events()["count"].asUInt());
}

TEST_F(DemoServerTest, VersionAnswerFollowsTheSwitch) {
    auto version = [&] { return Parse(Client().Get("/system/update/native_app_check_update/v1")->body); };
    Json::Value none = version();
    EXPECT_EQ(0, none["data"]["has_new_version"].asInt());
    peer.Get("/demo/version?has_new=1&version=3.0.0");
    Json::Value some = version();
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
    EXPECT_EQ(200, Client().Get("/system/update/native_app_check_update/v1")->status); // other paths are not affected
    peer.Get("/avatar/alice.png", &status);
    EXPECT_EQ(500, status);
    EXPECT_EQ(a1, peer.Get("/avatar/alice.png", &status));
    EXPECT_EQ(200, status);
}

// A benchmark waits on the listing for a client's request instead of asking again and again.
// The wait ends with the request it was for, counts only that target, and without one ends
// when its time is over.
TEST_F(DemoServerTest, RequestListingWaitsForTheRequestItIsFor) {
    peer.Get("/avatar/alice.png");
    auto targets = [](const Json::Value& list) {
        std::vector<std::string> v;
        for (const Json::Value& r : list)
            v.push_back(r["target"].asString());
        return v;
    };
    // Already there: answered at once.
    EXPECT_EQ(std::vector<std::string>{"/avatar/alice.png"},
              targets(peer.RequestsOnceArrived("/avatar/alice.png", 1, 2000)));

    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        peer.Get("/avatar/bob.png");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        peer.Get("/avatar/alice.png");
    });
    auto asked = std::chrono::steady_clock::now();
    Json::Value list = peer.RequestsOnceArrived("/avatar/alice.png", 2, 2000);
    auto waited = std::chrono::steady_clock::now() - asked;
    later.join();
    EXPECT_EQ((std::vector<std::string>{"/avatar/alice.png", "/avatar/bob.png", "/avatar/alice.png"}), targets(list));
    EXPECT_GE(waited, std::chrono::milliseconds(550)); // bob's request did not end it
    EXPECT_LT(waited, std::chrono::milliseconds(1900));

    asked = std::chrono::steady_clock::now();
    EXPECT_EQ(3u, peer.RequestsOnceArrived("/avatar/carol.png", 1, 400).size());
    EXPECT_GE(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(390));
}
