// The message model at its edges: paging, badges, time texts and every answer layout, including
// the malformed answers a server may send.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "msgcenter/msgmodel.h"

namespace {

// Local time of these tests: UTC+8 without daylight saving, whatever the machine says.
class LocalTime : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = getenv("TZ");
        m_old = tz ? tz : "";
        m_hadTz = tz != nullptr;
        setenv("TZ", "CST-8", 1);
        tzset();
    }
    void TearDown() override {
        if (m_hadTz)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    // Seconds since 1970 of a local (UTC+8) calendar time.
    static time_t Local(int y, int mo, int d, int h, int mi) {
        struct tm t {};
        t.tm_year = y - 1900;
        t.tm_mon = mo - 1;
        t.tm_mday = d;
        t.tm_hour = h;
        t.tm_min = mi;
        t.tm_isdst = 0;
        return mktime(&t);
    }
    std::string m_old;
    bool m_hadTz = false;
};

} // namespace

TEST(MsgModel, PagingAndBadges) {
    EXPECT_EQ(0u, TotalPages(0));
    EXPECT_EQ(1u, TotalPages(1));
    EXPECT_EQ(1u, TotalPages(10));
    EXPECT_EQ(2u, TotalPages(11));
    EXPECT_EQ(2u, TotalPages(20));
    EXPECT_EQ(14u, TotalPages(137));
    EXPECT_EQ(1844674407370955162u, TotalPages(UINT64_MAX)); // no overflow in the ceiling
    EXPECT_EQ(0, PageOffset(1));
    EXPECT_EQ(130, PageOffset(14));

    EXPECT_FALSE(BadgeLook(0).visible);
    SBadgeLook one = BadgeLook(1), most = BadgeLook(99), many = BadgeLook(100), max = BadgeLook(4294967295u);
    EXPECT_EQ(L"1", one.text);
    EXPECT_EQ(16, one.width);
    EXPECT_STREQ(L"imgs\\common\\red_dot.png", one.image);
    EXPECT_EQ(L"99", most.text);
    EXPECT_EQ(16, most.width);
    for (const SBadgeLook& b : {many, max}) {
        EXPECT_TRUE(b.visible);
        EXPECT_EQ(L"99+", b.text);
        EXPECT_EQ(24, b.width);
        EXPECT_STREQ(L"imgs\\common\\red_rounded rectangle.png", b.image);
    }

    EXPECT_EQ(0, FindCategory("sales_order"));
    EXPECT_EQ(5, FindCategory("sales_order_refund"));
    EXPECT_EQ(-1, FindCategory("sales_orders"));
    EXPECT_EQ(-1, FindCategory(""));
}

TEST_F(LocalTime, TodayShowsTheClockOtherDaysTheDate) {
    time_t now = Local(2026, 3, 15, 9, 30);
    EXPECT_EQ(L"今天 00:00", MessageTimeText(Local(2026, 3, 15, 0, 0), now));
    EXPECT_EQ(L"今天 09:05", MessageTimeText(Local(2026, 3, 15, 9, 5), now));
    EXPECT_EQ(L"2026-03-14", MessageTimeText(Local(2026, 3, 14, 23, 59), now));
    EXPECT_EQ(L"2025-03-15", MessageTimeText(Local(2025, 3, 15, 9, 30), now)); // same day, other year
    EXPECT_EQ(L"2026-02-15", MessageTimeText(Local(2026, 2, 15, 9, 30), now)); // same day, other month
    // The local calendar decides, not UTC: 01:00 local is still the previous day in UTC.
    EXPECT_EQ(L"今天 01:00", MessageTimeText(Local(2026, 3, 15, 1, 0), now));
    // Stamps the calendar refuses show no date at all.
    EXPECT_EQ(L"", MessageTimeText(-1, now));
    EXPECT_EQ(L"", MessageTimeText(INT64_MIN, now));
    EXPECT_EQ(L"", MessageTimeText(32503680000LL, now));
    EXPECT_EQ(L"", MessageTimeText(INT64_MAX, now));
    EXPECT_EQ(L"1970-01-01", MessageTimeText(0, now));
}

TEST(MsgModel, PermissionAnswer) {
    std::vector<SPermission> p;
    EXPECT_EQ(EAnswer::Ok, ParsePermissionAnswer(
        R"({"code":0,"message":"ok","data":[
            {"name":"订单消息","type":"sales_order","unread_num":4294967295,"is_subscribe":true,"have_permission":true},
            {"name":"未知","type":"sales_future","unread_num":3,"have_permission":true},
            null,
            {"type":"sales_system"}]})", p));
    ASSERT_EQ(2u, p.size()); // the unknown type is left out, the null skipped
    EXPECT_EQ(L"订单消息", p[0].name);
    EXPECT_EQ(4294967295u, p[0].unread);
    EXPECT_TRUE(p[0].subscribed && p[0].permitted);
    EXPECT_EQ("sales_system", p[1].type); // missing members read as 0, false, empty
    EXPECT_EQ(L"", p[1].name);
    EXPECT_EQ(0u, p[1].unread);
    EXPECT_FALSE(p[1].permitted);

    // No "code" is success; an empty list is a merchant without categories.
    EXPECT_EQ(EAnswer::Ok, ParsePermissionAnswer(R"({"data":[]})", p));
    EXPECT_TRUE(p.empty());

    EXPECT_EQ(EAnswer::NotJson, ParsePermissionAnswer("<html>502</html>", p));
    EXPECT_EQ(EAnswer::NotJson, ParsePermissionAnswer(R"({"code":0,"data":[{"name":"订单)", p));
    EXPECT_EQ(EAnswer::NotJson, ParsePermissionAnswer(std::string(100000, '[') + std::string(100000, ']'), p));
    EXPECT_EQ(EAnswer::Refused, ParsePermissionAnswer(R"({"code":40101,"message":"未登录","data":[]})", p));
    EXPECT_EQ(EAnswer::WrongPayload, ParsePermissionAnswer(R"({"code":0,"data":{}})", p));
    EXPECT_EQ(EAnswer::WrongPayload, ParsePermissionAnswer(R"([1,2])", p));
    EXPECT_EQ(EAnswer::WrongPayload, ParsePermissionAnswer(R"({"code":"0","data":[]})", p));
    EXPECT_EQ(EAnswer::WrongPayload, ParsePermissionAnswer(R"({"code":4294967296,"data":[]})", p));
    const char* wrongMembers[] = {
        R"({"data":[{"type":"sales_order","unread_num":-1}]})",
        R"({"data":[{"type":"sales_order","unread_num":4294967296}]})",
        R"({"data":[{"type":"sales_order","unread_num":"7"}]})",
        R"({"data":[{"type":"sales_order","name":["a"]}]})",
        R"({"data":[{"type":17}]})",
        R"({"data":[{"type":"sales_order","have_permission":"yes"}]})",
        R"({"data":["sales_order"]})",
    };
    for (const char* text : wrongMembers) {
        SCOPED_TRACE(text);
        EXPECT_EQ(EAnswer::WrongPayload, ParsePermissionAnswer(text, p));
        EXPECT_TRUE(p.empty());
    }
}

TEST(MsgModel, ListAnswer) {
    SMessagePage page;
    EXPECT_EQ(EAnswer::Ok, ParseMessageListAnswer(
        R"({"code":0,"data":{"total":11,"list":[
            {"title":"新订单","content":"三亚","url":"https://x/1","msg_type":3,"timestamp":1700000000,"msg_id":"m1","is_unread":1},
            null,
            {"title":"旧","timestamp":-5,"is_unread":0}]}})", page));
    EXPECT_EQ(11u, page.total);
    EXPECT_EQ(3u, page.listSize);
    ASSERT_EQ(2u, page.entries.size());
    EXPECT_EQ(L"三亚", page.entries[0].content);
    EXPECT_EQ(L"https://x/1", page.entries[0].url);
    EXPECT_TRUE(page.entries[0].unread);
    EXPECT_EQ(L"", page.entries[1].url);
    EXPECT_EQ(-5, page.entries[1].timestamp);
    EXPECT_FALSE(page.entries[1].unread);

    // A total of 0 is the empty category whatever the list holds.
    EXPECT_EQ(EAnswer::Ok, ParseMessageListAnswer(R"({"data":{"total":0,"list":[{"title":7}]}})", page));
    EXPECT_TRUE(page.entries.empty());
    EXPECT_EQ(EAnswer::Ok, ParseMessageListAnswer(R"({"data":{}})", page));
    EXPECT_EQ(0u, page.total);

    // A list that is not an array is reported, not guessed at.
    EXPECT_EQ(EAnswer::Ok, ParseMessageListAnswer(R"({"data":{"total":5,"list":{}}})", page));
    EXPECT_FALSE(page.listIsArray);

    // A server that sends more than a page: only a page is kept.
    std::string big = R"({"data":{"total":10000,"list":[)";
    for (int i = 0; i < 10000; ++i)
        big += std::string(i ? "," : "") + R"({"title":"t","timestamp":1})";
    big += "]}}";
    EXPECT_EQ(EAnswer::Ok, ParseMessageListAnswer(big, page));
    EXPECT_EQ(10000u, page.listSize);
    EXPECT_EQ(static_cast<size_t>(kPageSize), page.entries.size());

    EXPECT_EQ(EAnswer::WrongPayload, ParseMessageListAnswer(R"({"data":[]})", page));
    EXPECT_EQ(EAnswer::WrongPayload, ParseMessageListAnswer(R"({"data":{"total":-1,"list":[]}})", page));
    EXPECT_EQ(EAnswer::WrongPayload, ParseMessageListAnswer(R"({"data":{"total":"11","list":[]}})", page));
    EXPECT_EQ(EAnswer::WrongPayload,
              ParseMessageListAnswer(R"({"data":{"total":1,"list":[{"timestamp":"yesterday"}]}})", page));
    EXPECT_EQ(EAnswer::WrongPayload, ParseMessageListAnswer(R"({"data":{"total":1,"list":[{"url":{}}]}})", page));
    EXPECT_EQ(EAnswer::WrongPayload, ParseMessageListAnswer(R"({"data":{"total":1,"list":[3]}})", page));
    EXPECT_EQ(EAnswer::Refused, ParseMessageListAnswer(R"({"code":-3,"data":{"total":1,"list":[]}})", page));
    EXPECT_EQ(EAnswer::NotJson, ParseMessageListAnswer("", page));
}

TEST(MsgModel, SubscriptionAnswers) {
    std::vector<SShop> shops;
    EXPECT_EQ(EAnswer::Ok, ParseShopListAnswer(
        R"({"code":0,"data":[{"ota_id":-2147483648,"name":"海岛"},{"ota_id":20417,"name":"山城"}]})", shops, 100));
    ASSERT_EQ(2u, shops.size());
    EXPECT_EQ(INT32_MIN, shops[0].otaId);
    EXPECT_EQ(L"山城", shops[1].name);
    EXPECT_EQ(EAnswer::Ok, ParseShopListAnswer(R"({"data":[{"ota_id":1},{"ota_id":2},{"ota_id":3}]})", shops, 2));
    EXPECT_EQ(2u, shops.size());
    EXPECT_EQ(EAnswer::WrongPayload, ParseShopListAnswer(R"({"data":[{"ota_id":2147483648}]})", shops, 100));
    EXPECT_EQ(EAnswer::WrongPayload, ParseShopListAnswer(R"({"data":{"ota_id":1}})", shops, 100));
    EXPECT_EQ(EAnswer::Refused, ParseShopListAnswer(R"({"code":1,"data":[]})", shops, 100));

    std::vector<SNoticeSetting> s;
    EXPECT_EQ(EAnswer::Ok, ParseNoticeSettingsAnswer(
        R"({"data":{"sub_list":[{"title":"新订单提醒","msg_type":"order_new","status":"2"},
                                {"title":"取消","msg_type":"order cancel","status":3}]}})", s, 100));
    ASSERT_EQ(2u, s.size());
    EXPECT_EQ("新订单提醒", s[0].title);
    EXPECT_EQ(2, s[0].status);
    EXPECT_EQ("order cancel", s[1].msgType);
    EXPECT_EQ(3, s[1].status);
    for (const char* bad : {R"({"data":{"sub_list":[{"status":"2x"}]}})", R"({"data":{"sub_list":[{"status":""}]}})",
                            R"({"data":{"sub_list":[{"status":"99999999999"}]}})", R"({"data":{"sub_list":{}}})",
                            R"({"data":[]})", R"({"data":{"sub_list":[{"msg_type":5}]}})"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(EAnswer::WrongPayload, ParseNoticeSettingsAnswer(bad, s, 100));
    }

    EXPECT_EQ(EAnswer::Ok, ParseCodeAnswer(R"({"code":0,"message":"success","data":null})"));
    EXPECT_EQ(EAnswer::Ok, ParseCodeAnswer(R"({})"));
    EXPECT_EQ(EAnswer::Refused, ParseCodeAnswer(R"({"code":40001})"));
    EXPECT_EQ(EAnswer::WrongPayload, ParseCodeAnswer(R"({"code":[0]})"));
    EXPECT_EQ(EAnswer::NotJson, ParseCodeAnswer("ok"));
}
