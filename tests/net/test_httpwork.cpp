// The HTTP object and every server call against the demo server on loopback: the exact bytes
// each request puts on the wire, and what each kind of broken answer turns into.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

#include "common/sysutils.h"
#include "demopeer.h"
#include "net/httpwork.h"
#include "support/testenv.h"

namespace {

class NetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CHttpWork::GlobalInit(); }
    void SetUp() override {
        ASSERT_TRUE(peer.Start(home.path() + "/demo"));
        SDeployHosts hosts;
        hosts.strMerchantApiHost = peer.BaseUrl();
        hosts.strMobileApiHost = peer.BaseUrl();
        http()->SetDeployHosts(hosts);
        cookie = peer.SignIn();
    }
    static CHttpWork* http() { return CHttpWork::GetInstance(); }
    Json::Value LastRequest() {
        Json::Value all = peer.Requests();
        return all[all.size() - 1];
    }
    static Json::Value Parse(const std::string& text) {
        Json::Value v;
        Json::Reader().parse(text, v);
        return v;
    }

    ScopedTestHome home;
    DemoPeer peer;
    std::string cookie;
};

} // namespace

TEST(NetEncoding, FormFieldsAndPercentEncoding) {
    EXPECT_EQ("aZ09-._~%20%2B%2F%26%3D%E6%97%85", UrlEncode("aZ09-._~ +/&=旅"));
    std::string body;
    AppendParamInt64(body, "ota_id", 4294967295LL);
    AppendParam(body, "message_type", "a b", true);
    AppendParam(body, "status", "-1", false);
    EXPECT_EQ("ota_id=4294967295&message_type=a%20b&status=-1", body);
    EXPECT_EQ("Mozilla/5.0 (Windows NT 6.2; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/49.0.2623.110 "
              "Safari/537.36 qdxappcode/im.qdx.windows qdxappver/2.1.4",
              GetShopdeskUserAgent());
}

TEST(NetDeploy, FileValuesAreNormalisedAndTheEnvironmentWins) {
    ScopedTestHome home;
    std::string cfg = home.path() + "/Deploy.cfg";
    WriteFileBytes(cfg, "[Hosts]\nConsoleHost=console.example\nMerchantApiHost=http://127.0.0.1:9/\n"
                        "MobileApiHost= mobile.example:8443 \nCaFile=/etc/extra.pem\n");
    unsetenv("SHOPDESK_MERCHANT_HOST");
    setenv("SHOPDESK_MOBILE_HOST", "http://10.0.0.1:81", 1);
    setenv("SHOPDESK_CA_FILE", "/tmp/ca.pem", 1);
    SDeployHosts h = LoadDeployHosts(cfg);
    unsetenv("SHOPDESK_MOBILE_HOST");
    unsetenv("SHOPDESK_CA_FILE");
    EXPECT_EQ("https://console.example", h.strConsoleHost);
    EXPECT_EQ("http://127.0.0.1:9", h.strMerchantApiHost);
    EXPECT_EQ("http://10.0.0.1:81", h.strMobileApiHost);
    EXPECT_EQ("/tmp/ca.pem", h.strCaFile);
    EXPECT_EQ("", LoadDeployHosts(home.path() + "/missing.cfg").strMobileApiHost);
}

TEST_F(NetTest, EveryMerchantCallSendsItsMethodPathBodyAndIdentity) {
    SHttpResult r;
    std::string body;
    struct Expect {
        const char* method;
        std::string target;
        std::string body;
    };
    std::vector<Expect> expected;

    ASSERT_TRUE(http()->MsgCenter_GetSubscribe(cookie, r));
    expected.push_back({"GET", "/tessaril/api/message/get_permission", ""});
    ASSERT_TRUE(http()->MsgCenter_GetMsgList(cookie, "sales_comment", 20, 10, r));
    expected.push_back({"GET", "/tessaril/api/message/get_list?message_type=sales_comment&offset=20&page_size=10", ""});
    ASSERT_TRUE(http()->MsgCenter_AllRead(cookie, r));
    expected.push_back({"POST", "/tessaril/api/message/all_read", ""});
    ASSERT_TRUE(http()->Subscription_GetPermission(cookie, 20417, body));
    expected.push_back({"GET", "/tessaril/api/subscribe/get_permission?ota_id=20417", ""});
    ASSERT_TRUE(http()->Subscription_GetShopList(cookie, body));
    expected.push_back({"GET", "/tessaril/api/shop/get_list", ""});
    // Shop ids above 2^31 print signed in queries and unsigned in form bodies.
    ASSERT_TRUE(http()->Subscription_GetSubPermission(cookie, "sales_order", -2147483000, r));
    expected.push_back({"GET", "/tessaril/api/subscribe/get_sub_permission?type=sales_order&ota_id=-2147483000", ""});
    ASSERT_TRUE(http()->Subscription_SetNotice(cookie, -2147483000, "order new", 2, r));
    expected.push_back({"POST", "/tessaril/api/subscribe/set_notice", "ota_id=2147484296&message_type=order%20new&status=2"});
    ASSERT_TRUE(http()->Subscription_SetNoticeBatch(cookie, 20417, {"order_new", "order_cancel"}, 3, r));
    expected.push_back({"POST", "/tessaril/api/subscribe/set_notice_batch",
                        "data=%7B%22list%22%3A%5B%7B%22message_type%22%3A%22order_new%22%2C%22status%22%3A3%7D%2C%7B%22"
                        "message_type%22%3A%22order_cancel%22%2C%22status%22%3A3%7D%5D%2C%22ota_id%22%3A20417%7D%0A"});
    ASSERT_TRUE(http()->Subscription_SetNoticeBatch(cookie, 20417, {}, 1, r));
    expected.push_back({"POST", "/tessaril/api/subscribe/set_notice_batch",
                        "data=%7B%22list%22%3Anull%2C%22ota_id%22%3A20417%7D%0A"});
    ASSERT_TRUE(http()->Subscription_SetSubscribe(cookie, 31502, "sales_system", 0, r));
    expected.push_back({"POST", "/tessaril/api/subscribe/set_subscribe", "ota_id=31502&type=sales_system&status=0"});

    Json::Value seen = peer.Requests();
    ASSERT_EQ(expected.size() + 1, seen.size()); // the sign-in comes first
    for (size_t i = 0; i < expected.size(); ++i) {
        const Json::Value& s = seen[static_cast<unsigned>(i + 1)];
        SCOPED_TRACE(expected[i].target);
        EXPECT_EQ(expected[i].method, s["method"].asString());
        EXPECT_EQ(expected[i].target, s["target"].asString());
        EXPECT_EQ(expected[i].body, s["body"].asString());
        EXPECT_EQ(GetShopdeskUserAgent(), s["user_agent"].asString());
        EXPECT_EQ(cookie, s["cookie"].asString());
        EXPECT_EQ("gzip", s["accept_encoding"].asString());
    }
}

TEST_F(NetTest, AnswersReachTheCallerDecodedAndStateChanges) {
    SHttpResult r;
    ASSERT_TRUE(http()->MsgCenter_GetSubscribe(cookie, r));
    EXPECT_EQ(200, r.nResponseCode);
    EXPECT_EQ("No error", r.strError);
    Json::Value perm = Parse(r.strResponse); // handed out decoded
    ASSERT_EQ(0, perm["code"].asInt());
    ASSERT_TRUE(http()->MsgCenter_AllRead(cookie, r));
    ASSERT_TRUE(http()->MsgCenter_GetSubscribe(cookie, r));
    for (const Json::Value& c : Parse(r.strResponse)["data"])
        if (c["type"].asString() == "sales_order") {
            EXPECT_EQ(0u, c["unread_num"].asUInt());
        }

    // Without the session the server refuses in the answer, which is still a transport success.
    SHttpResult refused;
    ASSERT_TRUE(http()->MsgCenter_GetSubscribe("", refused));
    EXPECT_NE(0, Parse(refused.strResponse)["code"].asInt());
    EXPECT_FALSE(LastRequest()["has_cookie"].asBool());
}

TEST_F(NetTest, BrokenAnswersFailOrPassAsTheBodyDecides) {
    SHttpResult r;
    peer.Get("/demo/fault?mode=500");
    EXPECT_TRUE(http()->MsgCenter_GetSubscribe(cookie, r));
    EXPECT_EQ(500, r.nResponseCode);
    EXPECT_FALSE(r.strResponse.empty());

    r.strResponse = "previous";
    peer.Get("/demo/fault?mode=204");
    EXPECT_FALSE(http()->MsgCenter_AllRead(cookie, r));
    EXPECT_EQ(204, r.nResponseCode);
    EXPECT_EQ("previous", r.strResponse);

    peer.Get("/demo/fault?mode=badjson");
    std::string body;
    EXPECT_TRUE(http()->Subscription_GetShopList(cookie, body));
    EXPECT_EQ(std::string::npos, body.find("\"code\""));

    // A body cut off mid-way is handed out as it arrived, and counts as delivered.
    peer.Get("/demo/fault?mode=cut");
    SHttpResult cut;
    EXPECT_TRUE(http()->MsgCenter_GetSubscribe(cookie, cut));
    EXPECT_EQ(200, cut.nResponseCode);
    EXPECT_NE("No error", cut.strError);
    Json::Value partial;
    EXPECT_FALSE(Json::Reader().parse(cut.strResponse, partial));

    peer.Get("/demo/fault?mode=gzipcut");
    SHttpResult gz;
    // The library takes a gzip stream that stops early as ended; what was inflated is not JSON.
    http()->MsgCenter_GetSubscribe(cookie, gz);
    EXPECT_FALSE(Json::Reader().parse(gz.strResponse, partial) && partial.isObject() && partial.isMember("data"));
}

TEST_F(NetTest, SlowAndMissingServersFailWithinTheTimeOut) {
    peer.Get("/demo/fault?mode=slow&delay_ms=8000");
    SHttpResult r;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(http()->MsgCenter_GetSubscribe(cookie, r)); // 3 s time-out
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(secs, 2.9);
    EXPECT_LT(secs, 5.0);
    EXPECT_EQ(0, r.nResponseCode);
    EXPECT_EQ("Timeout was reached", r.strError);

    SDeployHosts dead;
    dead.strMerchantApiHost = "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort());
    dead.strMobileApiHost = dead.strMerchantApiHost;
    http()->SetDeployHosts(dead);
    SHttpResult refused;
    EXPECT_FALSE(http()->MsgCenter_GetSubscribe(cookie, refused));
    EXPECT_EQ(0, refused.nResponseCode);
    EXPECT_EQ("Couldn't connect to server", refused.strError);
    std::string body;
    EXPECT_FALSE(http()->CheckUpdate(body));
}

TEST_F(NetTest, VersionCheckAndDownloads) {
    std::string body;
    ASSERT_TRUE(http()->CheckUpdate(body));
    EXPECT_EQ(0, Parse(body)["data"]["has_new_version"].asInt());
    Json::Value req = LastRequest();
    EXPECT_EQ("/system/update/native_app_check_update/v1", req["target"].asString());
    EXPECT_FALSE(req["has_cookie"].asBool());
    EXPECT_EQ(GetShopdeskUserAgent(), req["user_agent"].asString());
    peer.Get("/demo/version?has_new=1");
    ASSERT_TRUE(http()->CheckUpdate(body));
    EXPECT_EQ(1, Parse(body)["data"]["has_new_version"].asInt());

    std::string file = home.path() + "/a.png";
    ASSERT_TRUE(http()->DownloadFile(peer.BaseUrl() + "/avatar/carol.png", Utf8ToWide(file)));
    EXPECT_EQ(peer.Get("/avatar/carol.png"), ReadFileBytes(file));
    // What is not a picture fetched over the web makes no file and keeps none it would replace.
    std::string none = home.path() + "/none.png";
    for (const std::string& url : {peer.BaseUrl() + "/avatar/carol.png?fault=204",
                                   peer.BaseUrl() + "/avatar/carol.png?fault=500", "file://" + file}) {
        EXPECT_FALSE(http()->DownloadFile(url, Utf8ToWide(none))) << url;
        EXPECT_FALSE(std::ifstream(none).good()) << url;
        EXPECT_FALSE(http()->DownloadFile(url, Utf8ToWide(file))) << url;
        EXPECT_EQ(peer.Get("/avatar/carol.png"), ReadFileBytes(file)) << url;
    }
    EXPECT_FALSE(http()->DownloadFile(peer.BaseUrl() + "/avatar/carol.png", Utf8ToWide(home.path() + "/no/such/dir/x.png")));
}
