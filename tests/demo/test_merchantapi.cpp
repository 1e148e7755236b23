// The demo merchant API as a strict peer: what it refuses (no session, wrong method, encoded
// query values, fields out of order, "+" for a blank, a batch text the client's writer would
// not produce), and the state it keeps per merchant and shop across calls.
#include <gtest/gtest.h>

#include <httplib.h>

#include "common/jsonparse.h"
#include "demopeer.h"
#include "support/testenv.h"

namespace {

// The server's answers are read as the client reads them.
Json::Value Parse(const std::string& text) {
    Json::Value v;
    JsonParse(text, v);
    return v;
}

class MerchantApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.Start(home.path() + "/demo"));
        headers = {{"Cookie", peer.SignIn("strict-merchant")}};
    }
    Json::Value Get(const std::string& target, int* status = nullptr) {
        httplib::Client cli = peer.WorkbenchClient();
        auto res = cli.Get(target, headers);
        if (status)
            *status = res ? res->status : 0;
        return res ? Parse(res->body) : Json::Value();
    }
    Json::Value Post(const std::string& path, const std::string& body, int* status = nullptr,
                     const char* type = "application/x-www-form-urlencoded") {
        httplib::Client cli = peer.WorkbenchClient();
        auto res = cli.Post(path, headers, body, type);
        if (status)
            *status = res ? res->status : 0;
        return res ? Parse(res->body) : Json::Value();
    }
    int Code(const Json::Value& v) { return v.isObject() && v["code"].isInt() ? v["code"].asInt() : -999; }
    std::string NoticeStatus(const std::string& type, int shop, const std::string& msgType) {
        Json::Value v = Get("/tessaril/api/subscribe/get_sub_permission?type=" + type + "&ota_id=" + std::to_string(shop));
        for (const Json::Value& s : v["data"]["sub_list"])
            if (s["msg_type"].asString() == msgType)
                return s["status"].asString();
        return "";
    }

    ScopedTestHome home;
    DemoPeer peer;
    httplib::Headers headers;
};

} // namespace

TEST_F(MerchantApiTest, RefusesWhatTheClientNeverSends) {
    int status = 0;
    // Every call of the API needs the session, whatever its method.
    httplib::Headers signedIn = headers;
    headers.clear();
    EXPECT_EQ(40101, Code(Get("/tessaril/api/shop/get_list")));
    EXPECT_EQ(40101, Code(Post("/tessaril/api/subscribe/set_subscribe", "ota_id=10086&type=sales_order&status=1")));
    headers = {{"Cookie", "shopdesk_session=forged;"}};
    EXPECT_EQ(40101, Code(Get("/tessaril/api/message/get_permission")));
    headers = signedIn;

    // Wrong method.
    EXPECT_EQ(40500, Code(Post("/tessaril/api/message/get_permission", "", &status)));
    EXPECT_EQ(405, status);
    EXPECT_EQ(40500, Code(Get("/tessaril/api/message/all_read", &status)));
    EXPECT_EQ(405, status);

    // Queries: values raw, fields in order, nothing extra.
    EXPECT_EQ(0, Code(Get("/tessaril/api/message/get_list?message_type=sales_order&offset=0&page_size=10")));
    const char* badQueries[] = {
        "/tessaril/api/message/get_list?message_type=sales%5Forder&offset=0&page_size=10",
        "/tessaril/api/message/get_list?offset=0&message_type=sales_order&page_size=10",
        "/tessaril/api/message/get_list?message_type=sales_order&offset=0",
        "/tessaril/api/message/get_list?message_type=sales_order&offset=0&page_size=10&extra=1",
        "/tessaril/api/message/get_list?message_type=sales_order&offset=+0&page_size=10",
        "/tessaril/api/message/get_list?message_type=sales_order&offset=-10&page_size=10",
        "/tessaril/api/message/get_list?message_type=sales_order&offset=0&page_size=10&page_size=10",
        "/tessaril/api/subscribe/get_permission?ota_id=%2D1",
        "/tessaril/api/subscribe/get_permission?ota_id=4294967295", // queries carry the id signed
        "/tessaril/api/subscribe/get_sub_permission?ota_id=10086&type=sales_order",
        "/tessaril/api/shop/get_list?ota_id=10086",
    };
    for (const char* q : badQueries) {
        SCOPED_TRACE(q);
        EXPECT_EQ(40001, Code(Get(q)));
    }
    // The fault switch may ride along.
    EXPECT_EQ(0, Code(Get("/tessaril/api/message/get_list?message_type=sales_order&offset=0&page_size=10&fault=slow&delay_ms=1")));

    // Form bodies: decoded, in order, "%20" for a blank and never "+".
    EXPECT_EQ(0, Code(Post("/tessaril/api/subscribe/set_notice", "ota_id=10086&message_type=report%20weekly&status=2")));
    const char* badBodies[] = {
        "ota_id=10086&message_type=report+weekly&status=2",
        "message_type=order_new&ota_id=10086&status=2",
        "ota_id=10086&message_type=order_new",
        "ota_id=10086&message_type=order_new&status=2&status=3",
        "ota_id=-1&message_type=order_new&status=2", // bodies carry the id unsigned
        "ota_id=10086&message_type=order_new&status=%3",
        "ota_id=10086&message_type=order_new&status=4",
        "ota_id=10086&&message_type=order_new&status=2",
    };
    for (const char* b : badBodies) {
        SCOPED_TRACE(b);
        EXPECT_EQ(40001, Code(Post("/tessaril/api/subscribe/set_notice", b)));
    }
    EXPECT_EQ(40001, Code(Post("/tessaril/api/subscribe/set_notice", "ota_id=10086&message_type=order_new&status=2",
                               nullptr, "text/plain")));
    EXPECT_EQ(40001, Code(Post("/tessaril/api/message/all_read", "x=1")));
    EXPECT_EQ(40004, Code(Post("/tessaril/api/subscribe/set_notice", "ota_id=99&message_type=order_new&status=2")));
    EXPECT_EQ(40005, Code(Post("/tessaril/api/subscribe/set_notice", "ota_id=10086&message_type=nope&status=2")));

    // The batch text as the client's writer makes it: sorted keys, final line feed.
    EXPECT_EQ(0, Code(Post("/tessaril/api/subscribe/set_notice_batch", "data=%7B%22list%22%3Anull%2C%22ota_id%22%3A10086%7D%0A")));
    EXPECT_EQ(40001, Code(Post("/tessaril/api/subscribe/set_notice_batch", "data=%7B%22list%22%3Anull%2C%22ota_id%22%3A10086%7D")));
    EXPECT_EQ(40001, Code(Post("/tessaril/api/subscribe/set_notice_batch",
                               "data=%7B%22ota_id%22%3A10086%2C%22list%22%3Anull%7D%0A")));
}

TEST_F(MerchantApiTest, KeepsEachMerchantsChanges) {
    // The seed: three shops, six categories, a long one with more than 99 unread, an empty one.
    Json::Value perm = Get("/tessaril/api/message/get_permission");
    ASSERT_EQ(6u, perm["data"].size());
    EXPECT_GT(perm["data"][0]["unread_num"].asUInt(), 99u);
    Json::Value first = Get("/tessaril/api/message/get_list?message_type=sales_order&offset=0&page_size=10");
    EXPECT_EQ(137u, first["data"]["total"].asUInt64());
    Json::Value last = Get("/tessaril/api/message/get_list?message_type=sales_order&offset=130&page_size=10");
    EXPECT_EQ(7u, last["data"]["list"].size());
    bool withLink = false, withoutLink = false;
    for (const Json::Value& m : first["data"]["list"])
        (m["url"].asString().empty() ? withoutLink : withLink) = true;
    EXPECT_TRUE(withLink && withoutLink);
    EXPECT_EQ(0u, Get("/tessaril/api/message/get_list?message_type=sales_product&offset=0&page_size=10")["data"]["total"].asUInt64());
    EXPECT_EQ(3u, Get("/tessaril/api/shop/get_list")["data"].size());

    // Subscribing, notices and batches are kept per shop.
    Json::Value before = Get("/tessaril/api/subscribe/get_permission?ota_id=20417");
    bool was = before["data"][1]["is_subscribe"].asBool();
    bool elsewhere = Get("/tessaril/api/subscribe/get_permission?ota_id=10086")["data"][1]["is_subscribe"].asBool();
    ASSERT_EQ(0, Code(Post("/tessaril/api/subscribe/set_subscribe",
                           std::string("ota_id=20417&type=sales_daily_report&status=") + (was ? "0" : "1"))));
    EXPECT_EQ(!was, Get("/tessaril/api/subscribe/get_permission?ota_id=20417")["data"][1]["is_subscribe"].asBool());
    EXPECT_EQ(elsewhere, Get("/tessaril/api/subscribe/get_permission?ota_id=10086")["data"][1]["is_subscribe"].asBool());

    ASSERT_EQ(0, Code(Post("/tessaril/api/subscribe/set_notice", "ota_id=20417&message_type=order_cancel&status=3")));
    EXPECT_EQ("3", NoticeStatus("sales_order", 20417, "order_cancel"));
    ASSERT_EQ(0, Code(Post("/tessaril/api/subscribe/set_notice_batch",
                           "data=%7B%22list%22%3A%5B%7B%22message_type%22%3A%22order_new%22%2C%22status%22%3A1%7D%2C%7B%22"
                           "message_type%22%3A%22order_cancel%22%2C%22status%22%3A1%7D%5D%2C%22ota_id%22%3A20417%7D%0A")));
    EXPECT_EQ("1", NoticeStatus("sales_order", 20417, "order_new"));
    EXPECT_EQ("1", NoticeStatus("sales_order", 20417, "order_cancel"));
    EXPECT_EQ("2", NoticeStatus("sales_order", 20417, "order_travel")); // not in the batch

    // Another merchant starts from the seed; a merchant can be seeded with one shop and no
    // permission at all.
    headers = {{"Cookie", peer.SignIn("other-merchant")}};
    EXPECT_EQ("3", NoticeStatus("sales_order", 20417, "order_new")); // the seed's value
    EXPECT_EQ(was, Get("/tessaril/api/subscribe/get_permission?ota_id=20417")["data"][1]["is_subscribe"].asBool());
    peer.Get("/demo/merchant?uid=lonely&shops=1&permitted=0");
    headers = {{"Cookie", peer.SignIn("lonely")}};
    EXPECT_EQ(1u, Get("/tessaril/api/shop/get_list")["data"].size());
    for (const Json::Value& c : Get("/tessaril/api/message/get_permission")["data"])
        EXPECT_FALSE(c["have_permission"].asBool());
    EXPECT_EQ(40005, Code(Get("/tessaril/api/message/get_list?message_type=sales_order&offset=0&page_size=10")));
}

TEST_F(MerchantApiTest, FaultModesReachTheMerchantCalls) {
    peer.Get("/demo/fault?mode=refused&path=/tessaril/api/message/get_list");
    EXPECT_EQ(40300, Code(Get("/tessaril/api/message/get_list?message_type=sales_order&offset=0&page_size=10")));
    peer.Get("/demo/fault?mode=overfull&path=/tessaril/api/message/get_list");
    EXPECT_EQ(10000u, Get("/tessaril/api/message/get_list?message_type=sales_order&offset=0&page_size=10")["data"]["list"].size());
    peer.Get("/demo/fault?mode=hugetitle&path=/tessaril/api/message/get_list");
    Json::Value huge = Get("/tessaril/api/message/get_list?message_type=sales_order&offset=0&page_size=10");
    EXPECT_EQ(size_t{1} << 20, huge["data"]["list"][0]["title"].asString().size());
    peer.Get("/demo/fault?mode=wrongtypes&path=/tessaril/api/subscribe/");
    EXPECT_TRUE(Get("/tessaril/api/subscribe/get_permission?ota_id=10086")["code"].isString());
    // The fault was used up: the next answer is normal again.
    EXPECT_EQ(0, Code(Get("/tessaril/api/subscribe/get_permission?ota_id=10086")));
}
