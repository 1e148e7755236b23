// The message center as a merchant uses it: the real main window signed in through its
// browser, the real "msgcenterbtn", tabs, page buttons, page edit and mark-all-read clicked with
// the mouse, against the demo server, whose request log shows exactly what was sent.
#include <chrono>

#include "common/custommsg.h"
#include "dialogs/cguidanceui.h"
#include "dialogs/guidancepopups.h"
#include "msgcenter/cframemsgcenterui.h"
#include "msgcenter/cframesubscribesetui.h"
#include "msgcentertest.h"

using namespace msgtest;
using DuiLib::CControlUI;
using DuiLib::CListUI;

namespace {

class MsgCenterTest : public MainWindowSession {
protected:
    // Signs in, waits for the button and opens the message center with it.
    void OpenCenter(const std::string& uid) {
        SignInAs(uid);
        ASSERT_TRUE(WaitFor([&] { return Shown(Main(L"msgcenterbtn")); }, 10000));
        center = frame->GetMsgCenterWnd();
        ASSERT_NE(center, nullptr);
        Click(Main(L"msgcenterbtn"));
        ASSERT_TRUE(WaitFor([&] { return platform::IsWindowVisible(center->GetHWND()); }));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(center->GetHostWidget()));
        ASSERT_TRUE(WaitFor([&] { return Rows() > 0 || Shown(C(L"default_nomsg")) || Shown(C(L"load_failed")); }));
    }
    CControlUI* C(const wchar_t* name) { return Find(center, name); }
    CListUI* List() { return static_cast<CListUI*>(C(L"list_msginfo")); }
    int Rows() { return List()->GetCount(); }
    std::wstring RowText(int row, const wchar_t* part) { return FindIn(center, List()->GetItemAt(row), part)->GetText(); }
    bool RowUnread(int row) { return FindIn(center, List()->GetItemAt(row), L"container_readtag")->IsVisible(); }
    // Waits until the list request is answered and shown (the ring gone).
    bool Settled() {
        return WaitFor([&] { return center->RunningRequests() == 0 && !C(L"ring_wait_container")->IsVisible(); }, 8000);
    }
    // Requests made from `from` on.
    std::vector<std::string> SentSince(size_t from) {
        std::vector<std::string> all = ApiRequests(*s_peer);
        return from < all.size() ? std::vector<std::string>(all.begin() + static_cast<long>(from), all.end())
                                 : std::vector<std::string>();
    }
    void ExpectNothingSent(const std::function<void()>& act) {
        Pump(50);
        size_t before = ApiRequests(*s_peer).size();
        act();
        Pump(400);
        EXPECT_EQ(std::vector<std::string>(), SentSince(before));
    }

    CFrameMsgCenterUI* center = nullptr;
};

const char kListPage[] = "GET /tessaril/api/message/get_list?message_type=";

} // namespace

TEST_F(MsgCenterTest, ButtonTabsPagesAndTheUnreadBadges) {
    s_peer->Get("/demo/requests/clear");
    OpenCenter("mc-paging");
    EXPECT_TRUE(frame->HasMsgPermission());
    // What was sent: the permission question (at sign-in and at opening), then page 1, all with
    // the browser's session cookie.
    std::vector<std::string> sent = ApiRequests(*s_peer);
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ("GET /tessaril/api/message/get_permission", sent[sent.size() - 2]);
    EXPECT_EQ(std::string(kListPage) + "sales_order&offset=0&page_size=10", sent.back());
    for (const Json::Value& r : s_peer->Requests()) {
        if (r["target"].asString().rfind("/tessaril/api/", 0) == 0) {
            EXPECT_NE(std::string::npos, r["cookie"].asString().find("shopdesk_session=")) << r["target"];
        }
    }

    // The unread mark went when the center opened; tabs carry the server's names; badges.
    EXPECT_FALSE(Shown(Main(L"unreadmarkbtn")));
    EXPECT_EQ(L"订单消息", C(L"op_order")->GetText());
    EXPECT_EQ(L"退款通知", C(L"op_refund_notice")->GetText());
    EXPECT_EQ(L"99+", C(L"order_msg_num")->GetText());
    EXPECT_EQ(24, C(L"order_msg_num")->GetFixedWidth());
    EXPECT_EQ(L"8", C(L"business_msg_num")->GetText());
    EXPECT_FALSE(C(L"goods_msg_num")->IsVisible());

    // Page 1 of 14, ten 584 x 41 rows.
    ASSERT_EQ(10, Rows());
    EXPECT_EQ(584, List()->GetItemAt(0)->GetFixedWidth());
    EXPECT_EQ(41, List()->GetItemAt(0)->GetFixedHeight());
    EXPECT_EQ(L"新订单", RowText(0, L"label_type_name"));
    EXPECT_EQ(0u, RowText(0, L"msg_time").rfind(L"今天 ", 0));
    EXPECT_TRUE(RowUnread(0));
    EXPECT_FALSE(RowUnread(3));
    EXPECT_EQ(L"14", C(L"total_page")->GetText());
    EXPECT_FALSE(C(L"prepagebtn")->IsEnabled());
    EXPECT_TRUE(C(L"nextpagebtn")->IsEnabled());
    ExpectNothingSent([&] { Click(C(L"prepagebtn")); });

    size_t mark = ApiRequests(*s_peer).size();
    Click(C(L"nextpagebtn"));
    ASSERT_TRUE(Settled());
    EXPECT_EQ(std::vector<std::string>{std::string(kListPage) + "sales_order&offset=10&page_size=10"}, SentSince(mark));
    EXPECT_EQ(L"2", C(L"edit_cur_page")->GetText());
    EXPECT_TRUE(C(L"prepagebtn")->IsEnabled());

    // The page edit: the last page, then input that sends nothing and puts the page back.
    mark = ApiRequests(*s_peer).size();
    TypeAndReturn(C(L"edit_cur_page"), "14");
    ASSERT_TRUE(Settled());
    EXPECT_EQ(std::vector<std::string>{std::string(kListPage) + "sales_order&offset=130&page_size=10"}, SentSince(mark));
    EXPECT_EQ(7, Rows());
    EXPECT_FALSE(C(L"nextpagebtn")->IsEnabled());
    ExpectNothingSent([&] { Click(C(L"nextpagebtn")); });
    for (const char* typed : {"0", "-3", "abc", "15", "99999999999999999999999"}) {
        SCOPED_TRACE(typed);
        ExpectNothingSent([&] { TypeAndReturn(C(L"edit_cur_page"), typed); });
        EXPECT_EQ(L"14", C(L"edit_cur_page")->GetText());
        EXPECT_EQ(7, Rows());
    }
    mark = ApiRequests(*s_peer).size();
    TypeAndReturn(C(L"edit_cur_page"), "1");
    ASSERT_TRUE(Settled());
    EXPECT_EQ(std::vector<std::string>{std::string(kListPage) + "sales_order&offset=0&page_size=10"}, SentSince(mark));

    // An empty category: the empty pane, no page bar.
    Click(C(L"op_goods"));
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(Shown(C(L"default_nomsg")));
    EXPECT_FALSE(C(L"hlayout_page")->IsVisible());
    EXPECT_FALSE(C(L"list_msginfo")->IsVisible());
    EXPECT_FALSE(C(L"prepagebtn")->IsEnabled());
    EXPECT_FALSE(C(L"nextpagebtn")->IsEnabled());

    // A click on a badge chooses its tab and hides the badge.
    ASSERT_TRUE(C(L"interaction_msg_num")->IsVisible());
    Click(C(L"interaction_msg_num"));
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(static_cast<DuiLib::COptionUI*>(C(L"op_interaction"))->IsSelected());
    EXPECT_FALSE(C(L"interaction_msg_num")->IsVisible());
    EXPECT_EQ("sales_comment", center->GetCurrentCategory());
    EXPECT_EQ(10, Rows());
    EXPECT_EQ(L"2", C(L"total_page")->GetText());

    // Mark all read on the refund tab: four badges go, system and refund keep theirs, and the
    // rows on screen lose their marks.
    Click(C(L"op_refund_notice"));
    ASSERT_TRUE(Settled());
    ASSERT_TRUE(RowUnread(0));
    mark = ApiRequests(*s_peer).size();
    Click(C(L"readallbtn"));
    ASSERT_TRUE(Settled());
    EXPECT_EQ(std::vector<std::string>{"POST /tessaril/api/message/all_read"}, SentSince(mark));
    for (const wchar_t* gone : {L"order_msg_num", L"business_msg_num", L"goods_msg_num", L"interaction_msg_num"})
        EXPECT_FALSE(C(gone)->IsVisible()) << gone;
    EXPECT_TRUE(C(L"sys_notice_msg_num")->IsVisible());
    EXPECT_FALSE(C(L"refund_notice_msg_num")->IsVisible()); // went with the click on its tab
    for (int i = 0; i < Rows(); ++i)
        EXPECT_FALSE(RowUnread(i));
}

TEST_F(MsgCenterTest, OpeningAnItemMarksItAndOpensOnlyARealLink) {
    std::string log = home.path() + "/opened.txt";
    std::string script = home.path() + "/opener.sh";
    WriteFileBytes(script, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + log + "'\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    setenv("SHOPDESK_OPENER", script.c_str(), 1);
    OpenCenter("mc-links");
    ASSERT_EQ(10, Rows());
    // Row 3 of the seed has no link; rows 0 and 1 have one and are unread.
    ExpectNothingSent([&] { Click(List()->GetItemAt(3)); });
    ExpectNothingSent([&] { Click(List()->GetItemAt(0)); });
    EXPECT_FALSE(RowUnread(0));
    EXPECT_FALSE(RowUnread(3));
    EXPECT_TRUE(RowUnread(1));
    ASSERT_TRUE(WaitFor([&] { return !ReadFileBytes(log).empty(); }));
    Pump(300);
    unsetenv("SHOPDESK_OPENER");
    EXPECT_EQ("https://merchant.example/msg/m100001\n", ReadFileBytes(log));
}

TEST_F(MsgCenterTest, FailuresShowTheirPanesAndLateAnswersAreDropped) {
    // A refused list answer that fails at once still keeps the ring up for 200 ms.
    s_peer->Get("/demo/fault?mode=500&path=/tessaril/api/message/get_list&count=1");
    OpenCenter("mc-faults");
    EXPECT_TRUE(Shown(C(L"load_failed")));
    EXPECT_FALSE(C(L"hlayout_page")->IsVisible());
    s_peer->Get("/demo/fault?mode=204&path=/tessaril/api/message/get_list&count=1");
    auto t0 = std::chrono::steady_clock::now();
    Click(C(L"load_failed_refresh"));
    EXPECT_TRUE(C(L"ring_wait_container")->IsVisible());
    ASSERT_TRUE(Settled());
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(195));
    EXPECT_TRUE(Shown(C(L"load_failed")));
    Click(C(L"load_failed_refresh"));
    ASSERT_TRUE(Settled());
    EXPECT_EQ(10, Rows());
    EXPECT_TRUE(C(L"hlayout_page")->IsVisible());

    // Answers that are not a page: nothing shown beyond the list, and no crash.
    for (const char* mode : {"badjson", "refused", "wrongtypes", "cut"}) {
        SCOPED_TRACE(mode);
        s_peer->Get(std::string("/demo/fault?mode=") + mode + "&path=/tessaril/api/message/get_list&count=1");
        Click(C(L"op_business"));
        ASSERT_TRUE(Settled());
        EXPECT_EQ(0, Rows());
        Click(C(L"op_order"));
        ASSERT_TRUE(Settled());
        EXPECT_EQ(10, Rows());
    }
    // A server that sends 10,000 entries or 1 MB titles: one page, clipped texts.
    s_peer->Get("/demo/fault?mode=overfull&path=/tessaril/api/message/get_list&count=1");
    Click(C(L"op_business"));
    ASSERT_TRUE(Settled());
    EXPECT_EQ(10, Rows());
    s_peer->Get("/demo/fault?mode=hugetitle&path=/tessaril/api/message/get_list&count=1");
    Click(C(L"op_order"));
    ASSERT_TRUE(Settled());
    ASSERT_EQ(10, Rows());
    EXPECT_LE(RowText(0, L"label_type_name").size(), 1000u);

    // Two tabs clicked quickly: the slow answer of the first arrives last and is dropped.
    s_peer->Get("/demo/fault?mode=slow&delay_ms=1200&path=/tessaril/api/message/get_list&count=1");
    Click(C(L"op_sys_notice"));
    Click(C(L"op_interaction"));
    ASSERT_TRUE(WaitFor([&] { return center->RunningRequests() == 0; }, 8000));
    Pump(200);
    EXPECT_EQ("sales_comment", center->GetCurrentCategory());
    ASSERT_EQ(10, Rows());
    EXPECT_EQ(L"新点评", RowText(0, L"label_type_name"));
    EXPECT_TRUE(C(L"list_msginfo")->IsVisible());

    // Closing the workbench with a request in flight waits for it, within the limit.
    s_peer->Get("/demo/fault?mode=slow&delay_ms=1500&path=/tessaril/api/message/get_list&count=1");
    Click(C(L"op_order"));
    ASSERT_EQ(1u, center->RunningRequests());
    auto closing = std::chrono::steady_clock::now();
    Close();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::milliseconds(5500));
}

TEST_F(MsgCenterTest, GuidancePopUpsPointAtTheirButtonsAndLeadOn) {
    SignInAs("mc-guidance");
    ASSERT_TRUE(WaitFor([&] { return Shown(Main(L"msgcenterbtn")); }, 10000));
    // The pointer at the message center waits for the first-use guidance to be closed, and
    // is made only then.
    CGuidanceUI* firstUse = frame->GetGuidanceWnd();
    ASSERT_TRUE(firstUse && platform::IsWindowVisible(firstUse->GetHWND()));
    Pump(500);
    EXPECT_EQ(frame->GetMsgGuidanceWnd(), nullptr);
    Click(Find(firstUse, L"hidebtn"));
    CMsgGuidanceUI* guide = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        guide = frame->GetMsgGuidanceWnd();
        return guide && platform::IsWindowVisible(guide->GetHWND()) != 0;
    }));
    // Centred under the button's container, 5 pixels below it.
    RECT anchor = Main(L"msgcenterbtn")->GetParent()->GetPos(), w{}, g{};
    platform::GetWindowRect(frame->GetHWND(), &w);
    platform::GetWindowRect(guide->GetHWND(), &g);
    EXPECT_EQ((2 * w.left + anchor.left + anchor.right) / 2 - (g.right - g.left) / 2, g.left);
    EXPECT_EQ(w.top + anchor.bottom + 5, g.top);

    // "去看看" opens the message center, whose own pop-up points at the subscription button.
    Click(Find(guide, L"btn_view"));
    center = frame->GetMsgCenterWnd();
    ASSERT_TRUE(WaitFor([&] { return platform::IsWindowVisible(center->GetHWND()) != 0; }));
    EXPECT_FALSE(platform::IsWindowVisible(guide->GetHWND()));
    CSubGuidanceUI* sub = center->GetGuidanceWnd();
    ASSERT_TRUE(WaitFor([&] { return platform::IsWindowVisible(sub->GetHWND()) != 0; }));
    RECT a2 = C(L"subscribesetbtn")->GetParent()->GetPos(), cw{}, sg{};
    platform::GetWindowRect(center->GetHWND(), &cw);
    platform::GetWindowRect(sub->GetHWND(), &sg);
    EXPECT_EQ((a2.left + a2.right + 2 * cw.left) / 2 - (sg.right - sg.left) / 2, sg.left);
    EXPECT_EQ(cw.top + a2.bottom + 5, sg.top);

    // Following it hides the center and opens the subscription settings.
    Click(Find(sub, L"btn_view"));
    ASSERT_TRUE(WaitFor([&] {
        CFrameSubscribeSetUI* set = frame->GetSubscribeSetWnd();
        return set && platform::IsWindowVisible(set->GetHWND()) != 0;
    }));
    EXPECT_FALSE(platform::IsWindowVisible(center->GetHWND()));
    EXPECT_FALSE(platform::IsWindowVisible(sub->GetHWND()));
}

TEST_F(MsgCenterTest, TheButtonFollowsTheAccountAndTheLoginEventTellsIt) {
    s_peer->Get("/demo/merchant?uid=mc-noperm&permitted=0");
    SignInAs("mc-noperm");
    Pump(1500);
    EXPECT_FALSE(frame->HasMsgPermission());
    EXPECT_FALSE(Shown(Main(L"msgcenterbtn")));
    EXPECT_FALSE(Shown(Main(L"unreadmarkbtn")));
    Close();

    SignInAs("mc-perm");
    ASSERT_TRUE(WaitFor([&] { return Shown(Main(L"msgcenterbtn")) && Shown(Main(L"unreadmarkbtn")); }, 10000));
    // A later account kind other than 1 hides the button; the unread mark stays.
    frame->OnPageCall(L"WindowsInterface", {L"IsOta", L"0"});
    ASSERT_TRUE(WaitFor([&] { return !Shown(Main(L"msgcenterbtn")); }));
    EXPECT_TRUE(Shown(Main(L"unreadmarkbtn")));
    // Switching the account hides both.
    frame->OnPageCall(L"ChangeUser", {});
    EXPECT_FALSE(Shown(Main(L"unreadmarkbtn")));

    // The login events the server received say what the permission answers said.
    std::map<std::string, std::vector<std::string>> perUid;
    ASSERT_TRUE(WaitFor([&] {
        Json::Value events = s_peer->Events();
        perUid.clear();
        for (const Json::Value& e : events["events"])
            if (e["basic"]["event_code"].asString() == "login")
                perUid[e["attr"]["uid"].asString()].push_back(e["attr"]["has_per"].asString());
        return perUid["mc-noperm"].size() >= 1 && perUid["mc-perm"].size() >= 2;
    }, 15000));
    ASSERT_FALSE(perUid["mc-noperm"].empty());
    for (const std::string& v : perUid["mc-noperm"])
        EXPECT_EQ("0", v);
    ASSERT_GE(perUid["mc-perm"].size(), 2u);
    for (const std::string& v : perUid["mc-perm"])
        EXPECT_EQ("1", v);
}
