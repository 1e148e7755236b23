// The road of customer traffic through a real main window: page calls in, then tips, pop-ups,
// hover rows, tray blinking and sounds out, under the user's settings. The servers are the demo
// server; sounds are observed through the player's error lines (the test has no "audio"
// folder beside it, so every played kind logs its full path).
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "common/custommsg.h"
#include "common/sysutils.h"
#include "demopeer.h"
#include "duilib/uicefbrowser.h"
#include "duilib/uitray.h"
#include "mainframe/cmainframeui.h"
#include "notify/cframehoverui.h"
#include "notify/cframepopui.h"
#include "notify/cframetipui.h"
#include "settings/configmanage.h"
#include "support/qtwait.h"
#include "support/testenv.h"

using namespace DuiLib;
namespace fs = std::filesystem;

namespace {

// Standard error goes to a file for the whole suite, so that log lines can be counted.
class StderrToFile {
public:
    explicit StderrToFile(std::string path) : m_path(std::move(path)) {
        fflush(stderr);
        m_saved = dup(2);
        FILE* f = fopen(m_path.c_str(), "w");
        dup2(fileno(f), 2);
        fclose(f);
    }
    ~StderrToFile() {
        fflush(stderr);
        dup2(m_saved, 2);
        close(m_saved);
    }
    size_t Count(const std::string& needle) const {
        fflush(stderr);
        std::string text = ReadFileBytes(m_path);
        size_t n = 0;
        for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
            ++n;
        return n;
    }

private:
    std::string m_path;
    int m_saved;
};

enum Setting { kConversationTip = 2, kOrderTip, kNewcomerTip, kConversationSound, kOrderSound, kNewcomerSound };

class RoutingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_home = new ScopedTestHome();
        s_peer = new DemoPeer();
        ASSERT_TRUE(s_peer->Start(s_home->path() + "/peer"));
        setenv("SHOPDESK_CONSOLE_HOST", s_peer->BaseUrl().c_str(), 1);
        setenv("SHOPDESK_MERCHANT_HOST", s_peer->BaseUrl().c_str(), 1);
        setenv("SHOPDESK_MOBILE_HOST", s_peer->BaseUrl().c_str(), 1);
        s_err = new StderrToFile(s_home->path() + "/stderr.txt");
        s_cacheDir = AnsiToWide(s_home->path() + "/cache/");
        fs::create_directories(s_home->path() + "/cache");
        STRUCT_Config all{0, 0, 1, 1, 1, 1, 1, 1};
        CConfigManage::GetInstance()->Init(s_cacheDir);
        CConfigManage::GetInstance()->SaveConfig(all);
        ASSERT_TRUE(CCefBrowserUI::InitCef(nullptr, L"", L""));
        s_frame = new CMainFrameUI();
        s_frame->InitParams(s_cacheDir, all, L"");
        ASSERT_TRUE(s_frame->Create(nullptr, kMainWndTitle, WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE));
        // The hover list, like the tip and the pop-up, waits for the first call that needs it.
        EXPECT_EQ(s_frame->GetHoverWnd(), nullptr);
        EXPECT_EQ(s_frame->GetTipWnd(), nullptr);
        EXPECT_EQ(s_frame->GetPopWnd(), nullptr);
    }
    static void TearDownTestSuite() {
        delete s_frame;
        s_frame = nullptr;
        delete s_err;
        delete s_peer;
        delete s_home;
    }
    void SetUp() override {
        ASSERT_NE(s_frame, nullptr);
        frame = s_frame;
        for (int i = kConversationTip; i <= kNewcomerSound; ++i)
            Set(static_cast<Setting>(i), 1);
        Call(L"WindowsConfig", {L"m1", L"Ann", Avatar(L"manager")});
        ASSERT_TRUE(frame->IsOnline());
        Deactivate();
    }
    void TearDown() override {
        frame->ResetAccountState();
        if (frame->GetPopWnd())
            frame->GetPopWnd()->HideMessage();
        Pump(50);
    }

    static std::wstring Avatar(const std::wstring& name) {
        return AnsiToWide(s_peer->BaseUrl()) + L"/avatar/" + name + L".png";
    }
    // One page call, run to its end (an avatar it shows is fetched off the window thread).
    void Call(const std::wstring& name, const std::vector<std::wstring>& args) {
        EXPECT_FALSE(frame->OnPageCall(name, args));
        EXPECT_TRUE(WaitFor([&] { return !frame->HasPendingPageCalls(); }));
    }
    // One "HandleMessage" call, handled once the window thread has taken the posted record.
    void Message(const std::wstring& id, const std::wstring& kind, const std::wstring& isCurrent,
                 const std::wstring& text = L"hello") {
        Call(L"HandleMessage", {id, L"Cust " + id, kind, text, Avatar(L"cust_" + id), isCurrent, L"msg-1"});
        Pump(150);
    }
    void Set(Setting index, int value) {
        const int32_t* fields[] = {nullptr, nullptr, &frame->GetSettings().ConversationTip,
                                   &frame->GetSettings().OrderTip, &frame->GetSettings().NewcomerTip,
                                   &frame->GetSettings().ConversationSound, &frame->GetSettings().OrderSound,
                                   &frame->GetSettings().NewcomerSound};
        if (*fields[index] == value)
            return;
        platform::PostMessage(frame->GetHWND(), WM_CONFIG_CHANGE, index, value);
        ASSERT_TRUE(WaitFor([&] { return *fields[index] == value; })) << "setting " << index;
    }
    void Deactivate() {
        frame->ShowWindow(false, false);
        WaitFor([&] { return platform::GetActiveWindow() != frame->GetHWND(); }, 1000);
    }
    bool TipShown() const {
        CFrameTipUI* tip = frame->GetTipWnd();
        return tip && platform::IsWindowVisible(tip->GetHWND());
    }
    bool PopShown() const {
        CFramePopUI* pop = frame->GetPopWnd();
        return pop && platform::IsWindowVisible(pop->GetHWND());
    }
    static bool Twinkling() { return CDuiTrayIcon::GetInstance()->IsTwinkling(); }
    static size_t Played(const char* kind) {
        return s_err->Count(std::string("audio/") + kind + ".wav失败");
    }
    // Waits for `n` more plays of `kind` than `before`, then a little longer for any extra.
    static bool PlayedMore(const char* kind, size_t before, size_t n = 1) {
        bool ok = WaitFor([&] { return Played(kind) >= before + n; }, 3000);
        Pump(150);
        return ok && Played(kind) == before + n;
    }
    std::wstring TipText(const wchar_t* name) const {
        CControlUI* c = frame->GetTipWnd()->GetPaintManager().FindControl(name);
        return c ? std::wstring(c->GetText()) : L"<missing>";
    }

    static ScopedTestHome* s_home;
    static DemoPeer* s_peer;
    static StderrToFile* s_err;
    static std::wstring s_cacheDir;
    static CMainFrameUI* s_frame;
    CMainFrameUI* frame = nullptr;
};

ScopedTestHome* RoutingTest::s_home = nullptr;
DemoPeer* RoutingTest::s_peer = nullptr;
StderrToFile* RoutingTest::s_err = nullptr;
std::wstring RoutingTest::s_cacheDir;
CMainFrameUI* RoutingTest::s_frame = nullptr;

} // namespace

TEST_F(RoutingTest, SignedInAccountReachesTrayAndHoverHeader) {
    EXPECT_EQ(CDuiTrayIcon::GetInstance()->GetIconID(), 128u);
    EXPECT_EQ(std::wstring(CDuiTrayIcon::GetInstance()->GetTooltipText()), L"塔铎工作台\r\n管家:Ann");
    CPaintManagerUI& hover = frame->GetHoverWnd()->GetPaintManager();
    EXPECT_EQ(std::wstring(hover.FindControl(L"manager_name")->GetText()), L"Ann");
    std::wstring head = hover.FindControl(L"head_image")->GetBkImage().c_str();
    EXPECT_EQ(head.rfind(s_cacheDir + L"Avatar/", 0), 0u) << WideToAnsi(head);
    EXPECT_TRUE(fs::exists(WideToAnsi(head)));

    // Signed out again: offline icon, nothing is received.
    Call(L"ChangeUser", {});
    EXPECT_FALSE(frame->IsOnline());
    EXPECT_EQ(CDuiTrayIcon::GetInstance()->GetIconID(), 150u);
    Message(L"c1", L"conversation", L"0");
    EXPECT_EQ(frame->GetHoverWnd()->GetMessageCount(), 0);
    EXPECT_FALSE(TipShown());
}

TEST_F(RoutingTest, UnreadConversationLightsTheWholeRoad) {
    size_t before = Played("conversation");
    Call(L"UnReadMessage", {L"c1", L"Bob", L"150", L"are you there?", Avatar(L"bob")});
    EXPECT_TRUE(TipShown());
    EXPECT_EQ(TipText(L"user_name"), L"Bob");
    EXPECT_EQ(TipText(L"msg_text"), L"are you there?");
    std::wstring head = frame->GetTipWnd()->GetPaintManager().FindControl(L"head_image")->GetBkImage().c_str();
    EXPECT_EQ(head.rfind(s_cacheDir + L"Avatar/", 0), 0u) << WideToAnsi(head);

    CMsgInfo r;
    ASSERT_TRUE(frame->GetHoverWnd()->GetMessage(L"c1", r));
    EXPECT_EQ(r.m_nCount, 150);
    EXPECT_EQ(r.m_strAvatar, head);
    EXPECT_TRUE(Twinkling());
    EXPECT_TRUE(PlayedMore("conversation", before));

    // A count that is not a number does not end anything.
    Call(L"UnReadMessage", {L"c1", L"Bob", L"lots", L"again", Avatar(L"bob")});
    ASSERT_TRUE(frame->GetHoverWnd()->GetMessage(L"c1", r));
    EXPECT_EQ(r.m_strText, L"again");
    // Too few arguments: dropped.
    Call(L"UnReadMessage", {L"c2", L"Cy", L"1", L"x"});
    EXPECT_EQ(frame->GetHoverWnd()->GetMessageCount(), 1);

    // The tray's mouse-over opens the hover list with the row.
    platform::PostMessage(frame->GetHWND(), WM_TRAY_ICON, 0, WM_MOUSEMOVE);
    ASSERT_TRUE(WaitFor([&] { return frame->GetHoverWnd()->IsShowing(); }));
}

TEST_F(RoutingTest, ConversationMessagesByCurrentUserFlag) {
    size_t before = Played("conversation");
    Message(L"c1", L"conversation", L"0");
    EXPECT_EQ(frame->GetHoverWnd()->GetMessageCount(), 1);
    EXPECT_TRUE(Twinkling());
    EXPECT_TRUE(TipShown());
    EXPECT_TRUE(PlayedMore("conversation", before));
    Message(L"c1", L"conversation", L"0", L"second");
    CMsgInfo r;
    ASSERT_TRUE(frame->GetHoverWnd()->GetMessage(L"c1", r));
    EXPECT_EQ(r.m_nCount, 2);

    // The open conversation while the window is in the background: a tip, but no row.
    frame->ResetAccountState();
    Call(L"WindowsConfig", {L"m1", L"Ann", Avatar(L"manager")});
    before = Played("conversation");
    Message(L"c2", L"conversation", L"1");
    EXPECT_TRUE(TipShown());
    EXPECT_EQ(frame->GetHoverWnd()->GetMessageCount(), 0);
    EXPECT_FALSE(Twinkling());
    EXPECT_TRUE(PlayedMore("conversation", before));
}

TEST_F(RoutingTest, OpenConversationWhileActiveOnlyPlaysTheSound) {
    frame->ShowWindow(true, true);
    platform::SetForegroundWindow(frame->GetHWND());
    if (!WaitFor([&] { return platform::GetActiveWindow() == frame->GetHWND(); }, 2000))
        GTEST_SKIP() << "this display does not activate windows";
    size_t before = Played("conversation");
    Message(L"c3", L"conversation", L"1");
    EXPECT_FALSE(TipShown());
    EXPECT_EQ(frame->GetHoverWnd()->GetMessageCount(), 0);
    EXPECT_FALSE(Twinkling());
    EXPECT_TRUE(PlayedMore("conversation", before));
    // The sound setting off: silence.
    Set(kConversationSound, 0);
    before = Played("conversation");
    Message(L"c3", L"conversation", L"1");
    Pump(300);
    EXPECT_EQ(Played("conversation"), before);
    Deactivate();
}

TEST_F(RoutingTest, NewcomerTipsWithoutRowOrBlinking) {
    size_t before = Played("newcomer");
    Message(L"n1", L"newcomer", L"0", L"joined the shop");
    EXPECT_TRUE(TipShown());
    EXPECT_EQ(TipText(L"msg_text"), L"joined the shop");
    EXPECT_EQ(frame->GetHoverWnd()->GetMessageCount(), 0);
    EXPECT_FALSE(Twinkling());
    EXPECT_TRUE(PlayedMore("newcomer", before));

    // Unknown kinds show and play nothing.
    frame->GetTipWnd()->HideMessage();
    size_t conv = Played("conversation"), order = Played("order");
    before = Played("newcomer");
    Message(L"n2", L"refund", L"0");
    Pump(300);
    EXPECT_FALSE(TipShown());
    EXPECT_FALSE(PopShown());
    EXPECT_EQ(Played("newcomer") + Played("conversation") + Played("order"), before + conv + order);
}

TEST_F(RoutingTest, OrderSettingsDecidePopupAndSoundSeparately) {
    Set(kOrderTip, 0);
    size_t before = Played("order");
    Message(L"o1", L"order", L"0", L"order 17 paid");
    EXPECT_FALSE(PopShown());
    EXPECT_FALSE(TipShown());
    EXPECT_EQ(frame->GetHoverWnd()->GetMessageCount(), 0);
    EXPECT_TRUE(PlayedMore("order", before));

    // The console's order event: sound only for "order_is_pay", whatever the pop-up setting.
    before = Played("order");
    Call(L"WindowsInterface", {L"OtaMessage", L"Order 18", L"paid", L"https://shop.example/o/18", L"order_is_pay"});
    EXPECT_FALSE(PopShown());
    EXPECT_TRUE(PlayedMore("order", before));

    Set(kOrderTip, 1);
    before = Played("order");
    Call(L"WindowsInterface", {L"OtaMessage", L"Order 19", L"shipped", L"", L"order_shipped"});
    EXPECT_TRUE(PopShown());
    EXPECT_EQ(std::wstring(frame->GetPopWnd()->GetPaintManager().FindControl(L"msg_title")->GetText()), L"Order 19");
    Pump(300);
    EXPECT_EQ(Played("order"), before);

    // A tip arriving while the pop-up shows is stacked above it.
    Call(L"UnReadMessage", {L"c1", L"Bob", L"1", L"hi", Avatar(L"bob")});
    RECT tip{}, pop{};
    platform::GetWindowRect(frame->GetTipWnd()->GetHWND(), &tip);
    platform::GetWindowRect(frame->GetPopWnd()->GetHWND(), &pop);
    EXPECT_EQ(tip.bottom, pop.bottom - 115);
}

TEST_F(RoutingTest, TipDestroyedFromOutsideIsRebuiltOnTheNextNotification) {
    Call(L"UnReadMessage", {L"c1", L"Bob", L"1", L"first", Avatar(L"bob")});
    ASSERT_TRUE(TipShown());
    HWND old = frame->GetTipWnd()->GetHWND();
    platform::DestroyWindow(old);
    ASSERT_TRUE(WaitFor([&] { return !platform::IsWindow(old); }));
    size_t notes = s_err->Count("出现特殊事件：右下角气泡弹窗被360等拦截销毁！");

    Call(L"UnReadMessage", {L"c2", L"Cy", L"1", L"second", Avatar(L"cy")});
    ASSERT_NE(frame->GetTipWnd(), nullptr);
    EXPECT_TRUE(platform::IsWindow(frame->GetTipWnd()->GetHWND()));
    EXPECT_TRUE(TipShown());
    EXPECT_EQ(TipText(L"user_name"), L"Cy");
    EXPECT_EQ(s_err->Count("出现特殊事件：右下角气泡弹窗被360等拦截销毁！"), notes + 1);

    // The rebuilt tip still reports clicks to the main window: the conversation opens.
    auto* text = static_cast<CButtonUI*>(frame->GetTipWnd()->GetPaintManager().FindControl(L"msg_text"));
    text->Activate();
    ASSERT_TRUE(WaitFor([&] { return frame->GetHoverWnd()->GetMessageCount() == 1; }));
    CMsgInfo r;
    EXPECT_TRUE(frame->GetHoverWnd()->GetMessage(L"c1", r));
}

TEST_F(RoutingTest, OpeningConversationsDrainsTheListAndStopsBlinking) {
    Call(L"UnReadMessage", {L"c1", L"Bob", L"2", L"a", Avatar(L"bob")});
    Call(L"UnReadMessage", {L"c2", L"Cy", L"1", L"b", Avatar(L"cy")});
    ASSERT_TRUE(Twinkling());
    CFrameHoverUI* hover = frame->GetHoverWnd();

    // An empty id is ignored.
    platform::PostMessage(frame->GetHWND(), WM_OPEN_CONVERSATION, reinterpret_cast<WPARAM>(new std::wstring()), 0);
    platform::PostMessage(frame->GetHWND(), WM_OPEN_CONVERSATION, 0, 0);
    Pump(100);
    EXPECT_EQ(hover->GetMessageCount(), 2);

    // Choosing the row in the hover list: the row goes, the list stays while one remains.
    platform::PostMessage(frame->GetHWND(), WM_TRAY_ICON, 0, WM_MOUSEMOVE);
    ASSERT_TRUE(WaitFor([&] { return hover->IsShowing(); }));
    auto* list = static_cast<CListUI*>(hover->GetPaintManager().FindControl(L"list_message"));
    list->SelectItem(0); // c2, the newest
    ASSERT_TRUE(WaitFor([&] { return hover->GetMessageCount() == 1; }));
    EXPECT_EQ(hover->GetMessageIds(), std::vector<std::wstring>{L"c1"});
    EXPECT_TRUE(Twinkling());

    Call(L"MessageRead", {L"c1"});
    EXPECT_EQ(hover->GetMessageCount(), 0);
    ASSERT_TRUE(WaitFor([&] { return !Twinkling(); }));
    EXPECT_FALSE(hover->IsShowing());
}

TEST_F(RoutingTest, NewAvatarsFromASlowHostDelayTheCallsNotTheWindowThread) {
    // A customer whose avatar takes 2 s, read at once; then one without an avatar.
    std::wstring slow = Avatar(L"slow_dan") + L"?fault=slow&delay_ms=2000";
    size_t before = Played("conversation");
    frame->OnPageCall(L"UnReadMessage", {L"c7", L"Dan", L"2", L"hello?", slow});
    frame->OnPageCall(L"MessageRead", {L"c7"});
    frame->OnPageCall(L"UnReadMessage", {L"c8", L"Eve", L"1", L"hi", L""});
    EXPECT_TRUE(frame->HasPendingPageCalls());
    EXPECT_FALSE(TipShown());
    EXPECT_EQ(frame->GetHoverWnd()->GetMessageCount(), 0) << "a call ran before the one it followed";

    // Meanwhile the window thread goes on handling its messages.
    CRecorderWnd probe;
    ASSERT_TRUE(probe.Create(nullptr, L"probe", WS_POPUP, 0));
    for (int i = 0; i < 5; ++i)
        platform::PostMessage(probe.GetHWND(), WM_USER + 1, i, 0);
    ASSERT_TRUE(WaitFor([&] { return probe.Count(WM_USER + 1) == 5; }, 1000));
    EXPECT_TRUE(frame->HasPendingPageCalls());

    // The calls end in the page's order: Dan's tip with his avatar, his row read, then Eve.
    ASSERT_TRUE(WaitFor([&] { return !frame->HasPendingPageCalls(); }, 8000));
    EXPECT_TRUE(WaitFor([&] { return Played("conversation") > before; }, 3000));
    EXPECT_EQ(frame->GetHoverWnd()->GetMessageIds(), std::vector<std::wstring>{L"c8"});
    EXPECT_EQ(TipText(L"user_name"), L"Eve");
    CMsgInfo dan;
    EXPECT_FALSE(frame->GetHoverWnd()->GetMessage(L"c7", dan));

    // An avatar host past the time-out: the call still ends, without the picture.
    frame->OnPageCall(L"UnReadMessage", {L"c9", L"Fay", L"1", L"anyone?", Avatar(L"slow_fay") + L"?fault=slow&delay_ms=6000"});
    ASSERT_TRUE(WaitFor([&] { return !frame->HasPendingPageCalls(); }, 8000));
    CMsgInfo fay;
    ASSERT_TRUE(frame->GetHoverWnd()->GetMessage(L"c9", fay));
    EXPECT_EQ(fay.m_strAvatar, L"");
    EXPECT_EQ(TipText(L"user_name"), L"Fay");
}

TEST_F(RoutingTest, MessagesBehindASlowSignInAreNotDropped) {
    frame->ResetAccountState();
    Call(L"ChangeUser", {});
    ASSERT_FALSE(frame->IsOnline());
    // The sign-in report waits for the manager's avatar; the message after it must see the
    // account it reported.
    frame->OnPageCall(L"WindowsConfig", {L"m2", L"Bea", Avatar(L"slow_bea") + L"?fault=slow&delay_ms=1000"});
    frame->OnPageCall(L"HandleMessage", {L"c1", L"Cust", L"conversation", L"hi", Avatar(L"cust_c1"), L"0", L"m-1"});
    EXPECT_FALSE(frame->IsOnline());
    ASSERT_TRUE(WaitFor([&] { return !frame->HasPendingPageCalls(); }, 6000));
    EXPECT_TRUE(frame->IsOnline());
    EXPECT_EQ(frame->GetTrayTip(), L"塔铎工作台\r\n管家:Bea");
    ASSERT_TRUE(WaitFor([&] { return frame->GetHoverWnd()->GetMessageCount() == 1; }));
}
