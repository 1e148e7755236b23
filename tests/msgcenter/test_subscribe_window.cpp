// The subscription settings as a merchant reaches them: from the message center's button,
// with the shop selector, the two groups, the subscription switch and the notice selectors
// used by mouse, against the demo server.
#include "msgcenter/cframemsgcenterui.h"
#include "msgcenter/cframesubscribesetui.h"
#include "msgcentertest.h"

#include <httplib.h>

using namespace msgtest;
using DuiLib::CControlUI;
using DuiLib::CListUI;
using DuiLib::COptionUI;

namespace {

class SubscribeTest : public MainWindowSession {
protected:
    // Signs in, opens the message center with its button and the settings with its button.
    void OpenSettings(const std::string& uid) {
        SignInAs(uid);
        ASSERT_TRUE(WaitFor([&] { return Shown(Main(L"msgcenterbtn")); }, 10000));
        Click(Main(L"msgcenterbtn"));
        CFrameMsgCenterUI* center = frame->GetMsgCenterWnd();
        ASSERT_TRUE(WaitFor([&] { return platform::IsWindowVisible(center->GetHWND()) != 0; }));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(center->GetHostWidget()));
        Click(Find(center, L"subscribesetbtn"));
        ASSERT_TRUE(WaitFor([&] {
            wnd = frame->GetSubscribeSetWnd();
            return wnd && platform::IsWindowVisible(wnd->GetHWND()) != 0;
        }));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(wnd->GetHostWidget()));
        ASSERT_TRUE(Settled());
    }
    bool Settled() {
        return WaitFor([&] { return wnd->RunningRequests() == 0 && !C(L"ring_wait_container")->IsVisible(); }, 8000);
    }
    CControlUI* C(const wchar_t* name) { return Find(wnd, name); }
    CListUI* List() { return static_cast<CListUI*>(C(L"listsetting")); }
    CControlUI* Part(int row, const wchar_t* name) { return FindIn(wnd, List()->GetItemAt(row), name); }
    int Selector(int row) { return static_cast<DuiLib::CComboUI*>(Part(row, L"cbo_lst_remind_set"))->GetCurSel(); }
    bool Ticked(int row) { return static_cast<COptionUI*>(Part(row, L"op_sub_type"))->IsSelected(); }
    size_t Mark() {
        Pump(50);
        return ApiRequests(*s_peer).size();
    }
    std::vector<std::string> SentSince(size_t from) {
        Pump(300);
        std::vector<std::string> all = ApiRequests(*s_peer);
        return from < all.size() ? std::vector<std::string>(all.begin() + static_cast<long>(from), all.end())
                                 : std::vector<std::string>();
    }
    std::string NoticeOnServer(const std::string& type, const std::string& shop, const std::string& msgType) {
        httplib::Client cli = s_peer->WorkbenchClient();
        // The server's own view, asked as this merchant.
        auto res = cli.Get("/tessaril/api/subscribe/get_sub_permission?type=" + type + "&ota_id=" + shop,
                           {{"Cookie", s_peer->SignIn(m_uid)}});
        Json::Value v;
        Json::Reader().parse(res ? res->body : "", v);
        for (const Json::Value& s : v["data"]["sub_list"])
            if (s["msg_type"].asString() == msgType)
                return s["status"].asString();
        return "";
    }

    std::string m_uid;
    CFrameSubscribeSetUI* wnd = nullptr;
};

} // namespace

TEST_F(SubscribeTest, ShopsGroupsSwitchAndNoticeSelectors) {
    m_uid = "sub-main";
    size_t start = Mark();
    OpenSettings(m_uid);
    // The window's own requests, in order; the message center's may come between them.
    std::vector<std::string> opening;
    for (const std::string& r : SentSince(start))
        if (r.find("/tessaril/api/subscribe/") != std::string::npos)
            opening.push_back(r);
    ASSERT_GE(opening.size(), 2u);
    EXPECT_EQ("GET /tessaril/api/subscribe/get_sub_permission?type=sales_order&ota_id=10086", opening.back());
    EXPECT_EQ("GET /tessaril/api/subscribe/get_permission?ota_id=10086", opening[opening.size() - 2]);

    // Three shops, the one the console reported chosen.
    ASSERT_TRUE(Shown(C(L"layout_otaselect")));
    auto* shops = static_cast<DuiLib::CComboUI*>(C(L"cbo_otaselect"));
    EXPECT_EQ(3, shops->GetCount());
    EXPECT_EQ(0, shops->GetCurSel());
    EXPECT_EQ(L"海岛度假旗舰店", shops->GetText());

    // The first shop subscribes to all but the comment category, which sits in the other group.
    EXPECT_TRUE(Shown(C(L"op_order_subscribed")));
    EXPECT_FALSE(C(L"op_order_not")->IsVisible());
    EXPECT_TRUE(Shown(C(L"op_interaction_not")));
    EXPECT_FALSE(C(L"op_interaction_subscribed")->IsVisible());
    EXPECT_EQ(L"订单消息", C(L"op_order_subscribed")->GetText());
    EXPECT_TRUE(static_cast<COptionUI*>(C(L"op_order_subscribed"))->IsSelected());
    EXPECT_EQ(L"已订阅", C(L"op_subscription_status")->GetText());
    EXPECT_EQ(L"关闭订阅，您将无法在“消息中心”收到该分类下的所有消息，且您的更改会同步到 其他设备上。",
              C(L"label_tip")->GetText());

    // Collapsing and opening a group.
    Click(C(L"subscribedbtn"));
    EXPECT_FALSE(C(L"op_order_subscribed")->IsVisible());
    EXPECT_NE(std::wstring::npos, static_cast<DuiLib::CButtonUI*>(C(L"subscribedbtn"))->GetNormalImage().find(L"right_triangle"));
    Click(C(L"subscribedbtn"));
    EXPECT_TRUE(Shown(C(L"op_order_subscribed")));
    EXPECT_NE(std::wstring::npos, static_cast<DuiLib::CButtonUI*>(C(L"subscribedbtn"))->GetNormalImage().find(L"down_triangle"));

    // Three notice rows; each selector shows the 1-based status as its index.
    ASSERT_TRUE(Shown(C(L"horizon_setting")));
    ASSERT_EQ(3, List()->GetCount());
    EXPECT_EQ(L"新订单提醒", Part(0, L"label_sub_type")->GetText());
    EXPECT_EQ(1, Selector(0)); // status 2
    EXPECT_EQ(2, Selector(1)); // status 3
    size_t mark = Mark();
    Pick(Part(0, L"cbo_lst_remind_set"), 1); // the value it has
    EXPECT_EQ(std::vector<std::string>(), SentSince(mark));
    mark = Mark();
    Pick(Part(0, L"cbo_lst_remind_set"), 0);
    ASSERT_TRUE(Settled());
    EXPECT_EQ(std::vector<std::string>{"POST /tessaril/api/subscribe/set_notice ota_id=10086&message_type=order_new&status=1"},
              SentSince(mark));
    EXPECT_EQ("1", NoticeOnServer("sales_order", "10086", "order_new"));

    // Batch mode: nothing ticked still sends a batch, with no list.
    Click(C(L"btn_batchset"));
    EXPECT_TRUE(Shown(C(L"op_selectall")));
    EXPECT_TRUE(Shown(C(L"btn_quitbatch")));
    EXPECT_FALSE(C(L"btn_batchset")->IsVisible());
    EXPECT_TRUE(Shown(Part(0, L"op_sub_type")));
    EXPECT_FALSE(Part(0, L"label_sub_type")->IsVisible());
    EXPECT_FALSE(Part(0, L"cbo_lst_remind_set")->IsEnabled());
    mark = Mark();
    Pick(C(L"cbo_remind_set"), 2);
    ASSERT_TRUE(Settled());
    EXPECT_EQ(std::vector<std::string>{"POST /tessaril/api/subscribe/set_notice_batch data=%7B%22list%22%3Anull%2C%22ota_id%22%3A10086%7D%0A"},
              SentSince(mark));
    // Ticking every row ticks "select all"; clearing one clears it.
    Click(Part(0, L"op_sub_type"));
    Click(Part(1, L"op_sub_type"));
    EXPECT_FALSE(static_cast<COptionUI*>(C(L"op_selectall"))->IsSelected());
    Click(Part(2, L"op_sub_type"));
    EXPECT_TRUE(static_cast<COptionUI*>(C(L"op_selectall"))->IsSelected());
    Click(Part(1, L"op_sub_type"));
    EXPECT_FALSE(static_cast<COptionUI*>(C(L"op_selectall"))->IsSelected());
    Click(C(L"op_selectall"));
    EXPECT_TRUE(Ticked(0) && Ticked(1) && Ticked(2));
    mark = Mark();
    Pick(C(L"cbo_remind_set"), 1);
    ASSERT_TRUE(Settled());
    std::vector<std::string> batch = SentSince(mark);
    ASSERT_EQ(1u, batch.size());
    EXPECT_NE(std::string::npos, batch[0].find("order_new%22%2C%22status%22%3A2"));
    EXPECT_NE(std::string::npos, batch[0].find("order_travel%22%2C%22status%22%3A2"));
    ASSERT_TRUE(WaitFor([&] { return Selector(0) == 1 && Selector(2) == 1; }));
    EXPECT_FALSE(Part(0, L"cbo_lst_remind_set")->IsEnabled());
    EXPECT_EQ("2", NoticeOnServer("sales_order", "10086", "order_travel"));
    Click(C(L"btn_quitbatch"));
    EXPECT_TRUE(Part(0, L"cbo_lst_remind_set")->IsEnabled());
    EXPECT_FALSE(Part(0, L"op_sub_type")->IsVisible());

    // Unsubscribing: once the server agrees the category moves to the other group and the
    // settings go.
    mark = Mark();
    Click(C(L"op_subscription_status"));
    ASSERT_TRUE(Settled());
    EXPECT_EQ(std::vector<std::string>{"POST /tessaril/api/subscribe/set_subscribe ota_id=10086&type=sales_order&status=0"},
              SentSince(mark));
    EXPECT_TRUE(Shown(C(L"op_order_not")));
    EXPECT_FALSE(C(L"op_order_subscribed")->IsVisible());
    EXPECT_FALSE(C(L"horizon_setting")->IsVisible());
    EXPECT_EQ(L"未订阅", C(L"op_subscription_status")->GetText());
    EXPECT_EQ(L"开启订阅您将在“消息中心”收到消息提醒且您的更改会同步到其他设备上。", C(L"label_tip")->GetText());
    // A refused switch does not pretend: the switch shows the true state again.
    s_peer->Get("/demo/fault?mode=refused&path=/tessaril/api/subscribe/set_subscribe&count=1");
    Click(C(L"op_subscription_status"));
    ASSERT_TRUE(Settled());
    EXPECT_FALSE(static_cast<COptionUI*>(C(L"op_subscription_status"))->IsSelected());
    EXPECT_FALSE(wnd->IsCurrentSubscribed());

    // Another shop from the selector: its own permissions.
    mark = Mark();
    Pick(shops, 2);
    ASSERT_TRUE(Settled());
    std::vector<std::string> other = SentSince(mark);
    ASSERT_GE(other.size(), 2u);
    EXPECT_EQ("GET /tessaril/api/subscribe/get_permission?ota_id=31502", other[1]);
    EXPECT_EQ(31502, wnd->GetShopId());
    EXPECT_FALSE(C(L"op_refund_notice")->IsVisible()); // that shop has no refunds
    EXPECT_FALSE(C(L"op_refund_notice_not")->IsVisible());
}

TEST_F(SubscribeTest, OneShopNoPermissionAndFailedRequests) {
    m_uid = "sub-one";
    s_peer->Get("/demo/merchant?uid=sub-one&shops=1");
    OpenSettings(m_uid);
    EXPECT_FALSE(C(L"layout_otaselect")->IsVisible());
    EXPECT_EQ(3, List()->GetCount());

    // The settings request fails: the failure pane; its refresh asks for the settings again.
    s_peer->Get("/demo/fault?mode=500&path=/tessaril/api/subscribe/get_sub_permission&count=1");
    Click(C(L"op_business_subscribed"));
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(Shown(C(L"load_failed")));
    size_t mark = Mark();
    Click(C(L"load_failed_refresh"));
    ASSERT_TRUE(Settled());
    EXPECT_EQ(std::vector<std::string>{"GET /tessaril/api/subscribe/get_sub_permission?type=sales_daily_report&ota_id=10086"},
              SentSince(mark));
    EXPECT_TRUE(Shown(C(L"horizon_setting")));
    EXPECT_EQ(2, List()->GetCount());

    // An opening whose permission answer is cut off: the failure pane; its refresh runs the
    // whole opening again.
    s_peer->Get("/demo/fault?mode=cut&path=/tessaril/api/subscribe/get_permission&count=1");
    Click(C(L"hidebtn"));
    ASSERT_FALSE(platform::IsWindowVisible(wnd->GetHWND()));
    Click(Main(L"msgcenterbtn"));
    ASSERT_TRUE(WaitFor([&] { return platform::IsWindowVisible(frame->GetMsgCenterWnd()->GetHWND()) != 0; }));
    Click(Find(frame->GetMsgCenterWnd(), L"subscribesetbtn"));
    ASSERT_TRUE(WaitFor([&] { return platform::IsWindowVisible(wnd->GetHWND()) != 0; }));
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(Shown(C(L"load_failed")));
    mark = Mark();
    Click(C(L"load_failed_refresh"));
    ASSERT_TRUE(Settled());
    EXPECT_EQ((std::vector<std::string>{"GET /tessaril/api/shop/get_list", "GET /tessaril/api/subscribe/get_permission?ota_id=10086",
                                        "GET /tessaril/api/subscribe/get_sub_permission?type=sales_order&ota_id=10086"}),
              SentSince(mark));
    EXPECT_TRUE(Shown(C(L"horizon_setting")));

    // A merchant without any permission: no category, "未订阅", no settings.
    s_peer->Get("/demo/merchant?uid=sub-none&permitted=0");
    m_uid = "sub-none";
    wnd->InitDlg(s_peer->SignIn(m_uid), 10086);
    ASSERT_TRUE(Settled());
    for (const wchar_t* o : {L"op_order_subscribed", L"op_order_not", L"op_sys_notice", L"op_refund_notice_not"})
        EXPECT_FALSE(C(o)->IsVisible()) << o;
    EXPECT_EQ(L"未订阅", C(L"op_subscription_status")->GetText());
    EXPECT_FALSE(C(L"horizon_setting")->IsVisible());
    EXPECT_EQ("", wnd->GetCurrentType());
}
