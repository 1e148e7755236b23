// The main window against the demo server: page calls, the quit and account flows, settings
// changes, instance forwarding and closing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <unistd.h>

#include <sqlite3.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "app/shopdesk.h"
#include "common/custommsg.h"
#include "common/sysutils.h"
#include "demopeer.h"
#include "dialogs/modalwnds.h"
#include "duilib/uimanager.h"
#include "duilib/uitray.h"
#include "duilib/uiwindow_p.h"
#include "mainframe/cmainframeui.h"
#include "net/ccefcookie.h"
#include "net/httpwork.h"
#include "notify/cframehoverui.h"
#include "notify/cframepopui.h"
#include "notify/cframetipui.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "support/qtwait.h"
#include "support/testenv.h"

namespace fs = std::filesystem;
using DuiLib::CPaintManagerUI;

namespace {

DemoPeer* g_peer = nullptr;

// A top-level window titled like a main window, counting the reload broadcasts it receives.
class CReloadRecorder : public DuiLib::WindowImplBase {
public:
    DuiLib::LPCTSTR GetWindowClassName() const override { return L"MainWnd"; }
    DuiLib::CDuiString GetSkinFile() override { return L"<Window><VerticalLayout/></Window>"; }
    LRESULT HandleCustomMessage(UINT uMsg, WPARAM, LPARAM, BOOL& bHandled) override {
        reloads += uMsg == WM_RELOAD_CONFIG;
        bHandled = FALSE;
        return 0;
    }
    int reloads = 0;
};

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        g_peer = new DemoPeer();
        ASSERT_TRUE(g_peer->StartInFreshFolder());
        for (const char* var : {"SHOPDESK_CONSOLE_HOST", "SHOPDESK_MERCHANT_HOST", "SHOPDESK_MOBILE_HOST"})
            setenv(var, g_peer->BaseUrl().c_str(), 1);
        ASSERT_TRUE(DuiLib::CCefBrowserUI::InitCef(nullptr, L"", L""));
        CPaintManagerUI::SetResourceType(1);
        CPaintManagerUI::SetResourcePath(AnsiToWide(SHOPDESK_RES_DIR "/Skin/WkeBrowser/").c_str());
        DuiLib::CResourceManager::GetInstance()->LoadResource(L"res.xml");
    }
    static void TearDownTestSuite() {
        DuiLib::CCefBrowserUI::Quit();
        delete g_peer;
    }

    void SetUp() override {
        cache = home.path() + "/cache/";
        fs::create_directories(cache);
        CConfigManage::GetInstance()->Init(AnsiToWide(cache));
        settings = STRUCT_Config{0, 1, 1, 1, 1, 1, 1, 1};
        // The first-use guidance has been seen: no guidance window among the dialogs here.
        platform::WritePrivateProfileString(L"Guidance", L"IsGuidance", L"1", cache + "Config.ini");
    }
    void TearDown() override {
        if (frame) {
            platform::DestroyWindow(frame->GetHWND());
            Pump(50);
            delete frame;
            platform::RunModalLoop(nullptr); // forget the quit that the window's end posts
        }
    }

    void Open(const std::wstring& uid = L"") {
        frame = new CMainFrameUI();
        frame->InitParams(AnsiToWide(cache), settings, uid);
        ASSERT_TRUE(frame->Create(nullptr, L"QDX_IM", WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE));
    }
    // Pumps the window's messages; false when a quit message arrived.
    static bool Pump(int ms = 100) { return platform::PumpMessages(ms); }
    // One page call, run to its end (an avatar it shows is fetched off the window thread).
    bool Call(const std::wstring& name, std::vector<std::wstring> args) {
        bool result = frame->OnPageCall(name, args);
        for (int i = 0; i < 500 && frame->HasPendingPageCalls(); ++i)
            Pump(10);
        return result;
    }
    void SignIn(const std::wstring& name = L"店长小王") {
        Call(L"WindowsConfig", {L"u1001", name, AnsiToWide(g_peer->BaseUrl() + "/avatar/manager.png")});
    }
    std::wstring Avatar(const std::string& who) const { return AnsiToWide(g_peer->BaseUrl() + "/avatar/" + who + ".png"); }

    ScopedTestHome home;
    std::string cache;
    STRUCT_Config settings{};
    CMainFrameUI* frame = nullptr;
};

} // namespace

TEST_F(MainWindowTest, SignInReportLightsTheTrayAndIdentifiesRequests) {
    Open();
    EXPECT_FALSE(frame->IsOnline());
    EXPECT_EQ(frame->GetTrayTip(), L"塔铎工作台");
    SignIn();
    EXPECT_TRUE(frame->IsOnline());
    EXPECT_EQ(frame->GetTrayTip(), L"塔铎工作台\r\n管家:店长小王");
    EXPECT_EQ(DuiLib::CDuiTrayIcon::GetInstance()->GetTooltipText(), frame->GetTrayTip());
    EXPECT_EQ(frame->GetUidA(), "u1001");
    EXPECT_EQ(CHttpWork::GetInstance()->GetUid(), "u1001");

    Call(L"WindowsInterface", {L"IsOta", L"1", L"4294967295"});
    EXPECT_EQ(static_cast<unsigned>(frame->GetOtaId()), 4294967295u);
    Call(L"WindowsInterface", {L"IsOta", L"0"}); // only the flag: the merchant id stays
    EXPECT_EQ(static_cast<unsigned>(frame->GetOtaId()), 4294967295u);
    Call(L"WindowsInterface", {L"IsOta", L"1", L"not a number"});
    EXPECT_EQ(frame->GetOtaId(), 0);

    Call(L"ChangeUser", {});
    EXPECT_FALSE(frame->IsOnline());
    EXPECT_EQ(frame->GetTrayTip(), L"塔铎工作台");
    EXPECT_EQ(frame->GetUidA(), "");
    EXPECT_EQ(frame->GetOtaId(), 0);
}

TEST_F(MainWindowTest, HandleMessageWaitsForTheAccountAndNeedsSixArguments) {
    Open();
    Call(L"HandleMessage", {L"c1", L"李雷", L"conversation", L"在吗", Avatar("c1"), L"0"});
    Pump();
    EXPECT_EQ(frame->GetHoverWnd(), nullptr); // no row, and no list made for one
    EXPECT_EQ(frame->GetTipWnd(), nullptr);

    SignIn();
    ASSERT_NE(frame->GetHoverWnd(), nullptr);
    Call(L"HandleMessage", {L"c1", L"李雷", L"conversation", L"在吗", Avatar("c1")}); // five: dropped
    Pump();
    EXPECT_EQ(frame->GetHoverWnd()->GetMessageCount(), 0);

    Call(L"HandleMessage", {L"c1", L"李雷", L"conversation", L"在吗", Avatar("c1"), L"0"});
    Call(L"HandleMessage", {L"c1", L"李雷", L"conversation", L"还在吗", Avatar("c1"), L"0", L"m-2"});
    Pump(300);
    CMsgInfo info;
    ASSERT_TRUE(frame->GetHoverWnd()->GetMessage(L"c1", info));
    EXPECT_EQ(info.m_nCount, 2);
    EXPECT_EQ(info.m_strText, L"还在吗");
    EXPECT_FALSE(info.m_strAvatar.empty());
    EXPECT_TRUE(DuiLib::CDuiTrayIcon::GetInstance()->IsTwinkling());
    ASSERT_TRUE(frame->GetTipWnd());
    EXPECT_TRUE(frame->GetTipWnd()->IsShown());

    // Opening the conversation from the list removes its row; the last one stops the blinking.
    platform::PostMessage(frame->GetHWND(), WM_OPEN_CONVERSATION, reinterpret_cast<WPARAM>(new std::wstring(L"c1")), 0);
    Pump(200);
    EXPECT_EQ(frame->GetHoverWnd()->GetMessageCount(), 0);
    EXPECT_FALSE(DuiLib::CDuiTrayIcon::GetInstance()->IsTwinkling());
}

TEST_F(MainWindowTest, UsageEventsReachTheServerSigned) {
    Open();
    SignIn();
    g_peer->Get("/demo/events/clear");
    Call(L"WindowsInterface", {L"EventSendMsg", L"c9", L"您好 it's \"quoted\"", L"m9", L"0"});
    Call(L"WindowsInterface", {L"EventSendMsg", L"c9", L"too few"}); // dropped
    // The event store opens once the version check's answer has reached this thread.
    bool arrived = false;
    for (int i = 0; i < 100 && !arrived; ++i)
        arrived = Pump(20) && g_peer->WaitForEvents(1, 30);
    ASSERT_TRUE(arrived);
    Pump(300);
    Json::Value events = g_peer->Events();
    EXPECT_EQ(events["rejected"].asInt(), 0); // every signature checked out
    int sent = 0;
    for (const Json::Value& e : events["events"]) {
        if (e["basic"]["event_code"].asString() != "sales_tessaril_send_msg")
            continue;
        ++sent;
        EXPECT_EQ(e["attr"]["content"].asString(), "您好 it's \"quoted\"");
        EXPECT_EQ(e["attr"]["c_id"].asString(), "c9");
        EXPECT_EQ(e["basic"]["uid"].asString(), "u1001");
    }
    EXPECT_EQ(sent, 1);
}

TEST_F(MainWindowTest, QuitAsksThePageOnlyWhileSignedIn) {
    Open();
    // A state answer nobody asked for does nothing.
    Call(L"SendState", {L"stop", L""});
    EXPECT_TRUE(Pump());
    Call(L"ReLoginState", {L"fail"});
    EXPECT_TRUE(Pump());

    // Signed out, the tray's quit ends the run at once.
    platform::PostMessage(frame->GetHWND(), WM_MENU_CLICK, reinterpret_cast<WPARAM>(new DuiLib::CDuiString(L"MENU_QUIT")), 0);
    EXPECT_FALSE(Pump());
    platform::RunModalLoop(nullptr);
}

TEST_F(MainWindowTest, SignedInQuitWaitsForThePageState) {
    Open();
    SignIn();
    platform::PostMessage(frame->GetHWND(), WM_MENU_CLICK, reinterpret_cast<WPARAM>(new DuiLib::CDuiString(L"menu_quit")), 0);
    EXPECT_TRUE(Pump());
    EXPECT_EQ(frame->GetQuitState(), 1);
    Call(L"SendState", {L"stop", L""});
    EXPECT_FALSE(Pump());
}

TEST_F(MainWindowTest, SettingsChangesAreSavedAndBroadcast) {
    Open();
    const std::string file = cache + "Config/Config.json";
    platform::SendMessage(frame->GetHWND(), WM_CONFIG_CHANGE, 6, 0); // OrderSound off
    EXPECT_EQ(frame->GetSettings().OrderSound, 0);
    EXPECT_NE(ReadFileBytes(file).find("\"OrderSound\":0"), std::string::npos);

    // Every main window, of this instance or another, is told to reload.
    CReloadRecorder other;
    ASSERT_TRUE(other.Create(nullptr, L"qdx_im", WS_POPUP, 0));
    platform::SendMessage(frame->GetHWND(), WM_CONFIG_CHANGE, 2, 0);
    Pump(200);
    EXPECT_EQ(frame->GetSettings().ConversationTip, 0);
    EXPECT_EQ(other.reloads, 1);
    platform::SendMessage(frame->GetHWND(), WM_CONFIG_CHANGE, 2, 0); // no change: no broadcast
    Pump(100);
    EXPECT_EQ(other.reloads, 1);
    // A reload reads the file again, whoever wrote it.
    STRUCT_Config edited = frame->GetSettings();
    edited.NewcomerTip = 0;
    CConfigManage::GetInstance()->SaveConfig(edited);
    platform::SendMessage(frame->GetHWND(), WM_RELOAD_CONFIG, 0, 0);
    EXPECT_EQ(frame->GetSettings().NewcomerTip, 0);

    // AutoStart goes through the autorun entry first.
    platform::SendMessage(frame->GetHWND(), WM_CONFIG_CHANGE, 0, 1);
    EXPECT_EQ(frame->GetSettings().AutoStart, 1);
    EXPECT_TRUE(IsAutoRun());
    platform::SendMessage(frame->GetHWND(), WM_CONFIG_CHANGE, 9, 1); // unknown index: nothing
    EXPECT_EQ(frame->GetSettings().AutoStart, 1);
}

TEST_F(MainWindowTest, FailedAutorunSwitchLeavesSettingsAlone) {
    // An autostart folder that cannot be created makes the switch fail.
    WriteFileBytes(home.configHome() + "/autostart", "a file in the way");
    Open();
    std::string before = ReadFileBytes(cache + "Config/Config.json");
    platform::SendMessage(frame->GetHWND(), WM_CONFIG_CHANGE, 0, 1);
    EXPECT_EQ(frame->GetSettings().AutoStart, 0);
    EXPECT_EQ(ReadFileBytes(cache + "Config/Config.json"), before);
}

TEST_F(MainWindowTest, ForwardedUidLoadsItsConsolePage) {
    Open();
    frame->ShowWindow(true, false);
    SForwardUid request{L"9527&next=/x y"};
    // Another instance finds us by title and sends the packet.
    platform::EnumWindows(ForwardUidProc, reinterpret_cast<LPARAM>(&request));
    EXPECT_EQ(request.delivered, 1);
    for (int i = 0; i < 100 && frame->GetBrowser()->GetURL().find(L"/admin") == std::wstring::npos; ++i)
        Pump(100);
    // Not signed in, the console sends us to its sign-in page with the uid it received: the
    // whole text arrived as one query value.
    std::wstring loaded = frame->GetBrowser()->GetURL();
    EXPECT_EQ(loaded.rfind(AnsiToWide(g_peer->BaseUrl()) + L"/admin", 0), 0u) << loaded;
    EXPECT_NE(loaded.find(L"uid=9527%26next%3D%2Fx"), std::wstring::npos) << loaded;

    // A packet of the wrong size is ignored.
    std::vector<uint16_t> small(8, 'x');
    COPYDATASTRUCT cds{0, 16, small.data()};
    platform::SendMessage(frame->GetHWND(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
    Pump(100);
    EXPECT_EQ(frame->GetBrowser()->GetURL(), loaded);
}

TEST(ForwardPacket, HoldsAtMost127UnitsAndATerminator) {
    std::vector<uint16_t> p = MakeForwardPacket(std::wstring(300, L'9'));
    ASSERT_EQ(p.size(), 128u);
    EXPECT_EQ(p[126], '9');
    EXPECT_EQ(p[127], 0);
    p = MakeForwardPacket(L"a😀");
    EXPECT_EQ(p[0], 'a');
    EXPECT_EQ(p[1], 0xD83D);
    EXPECT_EQ(p[2], 0xDE00);
    EXPECT_EQ(p[3], 0);
}

TEST_F(MainWindowTest, ClosingHidesOrMinimisesButNeverQuits) {
    Open();
    frame->ShowWindow(true, true);
    Pump();
    platform::SendMessage(frame->GetHWND(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(Pump());
    EXPECT_TRUE(platform::IsWindow(frame->GetHWND()));
    // Offscreen there is no tray host: the window must stay reachable, so it is minimised.
    if (DuiLib::CDuiTrayIcon::IsTrayAvailable())
        EXPECT_FALSE(platform::IsWindowVisible(frame->GetHWND()));
    else
        EXPECT_TRUE(platform::IsIconic(frame->GetHWND()));
    platform::SendMessage(frame->GetHWND(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(Pump());
    EXPECT_TRUE(platform::IsWindow(frame->GetHWND()));
}

TEST(CookieText, EntriesJoinWithOneSpaceAndSkipMissingText) {
    DuiLib::CefRefPtr<CCefCookie> visitor(new CCefCookie());
    bool del = false;
    auto cookie = [](const wchar_t* n, const wchar_t* v) {
        DuiLib::CefCookie c;
        c.has_name = n != nullptr;
        c.has_value = v != nullptr;
        c.name_text = n ? n : L"";
        c.value_text = v ? v : L"";
        return c;
    };
    for (int round = 0; round < 2; ++round) {
        visitor->Clear();
        EXPECT_TRUE(visitor->Visit(cookie(L"a", L"1"), 0, 4, del));
        EXPECT_TRUE(visitor->Visit(cookie(nullptr, L"x"), 1, 4, del));
        EXPECT_TRUE(visitor->Visit(cookie(L"b", L"2"), 2, 4, del));
        EXPECT_TRUE(visitor->Visit(cookie(L"c", L"会话"), 3, 4, del));
        EXPECT_EQ(visitor->Get(), "a=1; b=2; c=会话;");
    }
    EXPECT_FALSE(del);
}

TEST_F(MainWindowTest, SwitchingToAndFromTheProgramReportsLaunches) {
    Open();
    g_peer->Get("/demo/events/clear");
    platform::SendMessage(frame->GetHWND(), WM_ACTIVATEAPP, 0, 0); // to the background
    platform::SendMessage(frame->GetHWND(), WM_ACTIVATEAPP, 1, 0); // and back
    // The window's own start-up events may still be on their way after the clear: the opening
    // "launch_begin" has no background run before it, the one after the switch does.
    std::string launchGuid, beginPrevious, beginGuid;
    auto collect = [&] {
        Json::Value all = g_peer->Events();
        for (const Json::Value& e : all["events"]) {
            std::string code = e["basic"]["event_code"].asString();
            if (code == "launch") {
                launchGuid = e["basic"]["launch_guid"].asString();
                EXPECT_LE(std::stoi(e["attr"]["duration"].asString()), 1); // whole seconds, just opened
            } else if (code == "launch_begin" && !e["attr"]["bg_lunch_guid"].asString().empty()) {
                beginPrevious = e["attr"]["bg_lunch_guid"].asString();
                beginGuid = e["basic"]["launch_guid"].asString();
                EXPECT_LE(std::stoi(e["attr"]["bg_duration"].asString()), 1);
            }
        }
        return !launchGuid.empty() && !beginGuid.empty();
    };
    for (int i = 0; i < 100 && !collect(); ++i)
        Pump(50);
    // The foreground run that ended got a fresh id; the next one reports it as its background.
    ASSERT_EQ(beginPrevious.size(), 32u);
    EXPECT_NE(beginPrevious, launchGuid);
    EXPECT_EQ(beginGuid.size(), 32u);
    EXPECT_NE(beginGuid, beginPrevious);
}

namespace {

// Answers the modal dialogs that open over the main window, one code each in turn, from a
// timer: a dialog's own loop runs inside whatever the test is doing at that moment.
class DialogAnswers {
public:
    DialogAnswers(std::function<HWND()> mainWindow, std::vector<UINT> codes)
        : m_mainWindow(std::move(mainWindow)), m_codes(std::move(codes)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
        m_timer.start(50);
    }
    size_t Answered() const { return m_answered; }
    // Called with the index of each dialog just before it is answered.
    std::function<void(size_t)> onDialog;

private:
    void Tick() {
        HWND mainWnd = m_mainWindow();
        if (!mainWnd || m_answered >= m_codes.size() || platform::IsWindowEnabled(mainWnd))
            return;
        platform::EnumWindows([&](HWND h) {
            if (h != mainWnd && h != m_last && platform::IsLocalWindow(h) && platform::IsWindowVisible(h) &&
                platform::IsWindowEnabled(h)) {
                if (onDialog)
                    onDialog(m_answered);
                platform::PostMessage(h, WM_CLOSE, m_codes[m_answered++], 0);
                m_last = h;
                return false;
            }
            return true;
        });
    }
    std::function<HWND()> m_mainWindow;
    std::vector<UINT> m_codes;
    size_t m_answered = 0;
    HWND m_last = nullptr;
    QTimer m_timer;
};

} // namespace

TEST_F(MainWindowTest, NoNetworkRetriesTheStartPageOrQuits) {
    SDeployHosts saved = CHttpWork::GetInstance()->GetDeployHosts();
    SDeployHosts dead = saved;
    dead.strConsoleHost = "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort());
    CHttpWork::GetInstance()->SetDeployHosts(dead);
    // The console cannot be reached: the no-network window asks. The first answer retries the
    // console's start page, which fails as well; the second quits. (The window may open while
    // the main window is still starting, so the answers are armed first.)
    DialogAnswers answers([this] { return frame ? frame->GetHWND() : nullptr; }, {IDOK, IDCANCEL});
    std::vector<std::wstring> urls;
    std::vector<bool> trayShown;
    answers.onDialog = [&](size_t) {
        urls.push_back(frame->GetBrowser()->GetURL());
        trayShown.push_back(DuiLib::CDuiTrayIcon::GetInstance()->IsCreated());
    };
    Open(L"42");
    bool quit = false;
    for (int i = 0; i < 400 && !quit && answers.Answered() < 2; ++i)
        quit = !Pump(50);
    for (int i = 0; i < 40 && !quit; ++i)
        quit = !Pump(50);
    EXPECT_EQ(answers.Answered(), 2u);
    EXPECT_TRUE(quit);
    ASSERT_EQ(urls.size(), 2u);
    EXPECT_NE(urls[0].find(L"/admin/index.php?uid=42"), std::wstring::npos) << urls[0];
    EXPECT_EQ(urls[1], AnsiToWide(dead.strConsoleHost) + L"/admin"); // the retry loaded the start page
    // A console that never loads makes no first call: the tray icon is there when the merchant is
    // asked, not only once the start-up steps' timer runs out.
    EXPECT_EQ(trayShown, (std::vector<bool>{true, true}));
    CHttpWork::GetInstance()->SetDeployHosts(saved);
}

TEST_F(MainWindowTest, MalformedPageCallsAreIgnored) {
    Open();
    SignIn();
    const std::wstring huge(1 << 20, L'长');
    Call(L"UnReadMessage", {L"c1", huge, L"not a number", huge, L""});
    Call(L"UnReadMessage", {L"c2", L"x", L"99999999999999999999", L"", L""});
    Call(L"UnReadMessage", {L"", L"", L"", L"", L""});
    Call(L"HandleMessage", {L"", L"", L"", L"", L"", L"", L"", L"extra", L"args"});
    Call(L"WindowsInterface", {});
    Call(L"WindowsInterface", {L"IsOta"});
    Call(L"WindowsInterface", {L"OtaMessage", L"t"});
    Call(L"WindowsInterface", {L"NoSuchThing", L"1", L"2"});
    Call(L"NoSuchFunction", {L"1"});
    Call(L"", {});
    EXPECT_TRUE(Pump(300));
    CMsgInfo info;
    ASSERT_TRUE(frame->GetHoverWnd()->GetMessage(L"c1", info));
    EXPECT_EQ(info.m_nCount, 0);
    EXPECT_LE(info.m_strName.size(), 256u); // shown cut
    ASSERT_TRUE(frame->GetHoverWnd()->GetMessage(L"c2", info));
    EXPECT_EQ(info.m_nCount, 0); // out of range counts as 0
    EXPECT_EQ(frame->GetHoverWnd()->GetMessageCount(), 2); // the empty id was ignored
}

TEST_F(MainWindowTest, TrayMenuOpensRepeatedlyAndSwitchesTheAccount) {
    Open();
    SignIn();
    for (int i = 0; i < 3; ++i) {
        platform::PostMessage(frame->GetHWND(), WM_TRAY_ICON, 150, WM_RBUTTONUP);
        EXPECT_TRUE(Pump(100));
    }
    platform::PostMessage(frame->GetHWND(), WM_MENU_CLICK, reinterpret_cast<WPARAM>(new DuiLib::CDuiString(L"menu_switch")), 0);
    EXPECT_TRUE(Pump(200));
    EXPECT_FALSE(frame->IsOnline());
    EXPECT_EQ(frame->GetTrayTip(), L"塔铎工作台");
    // No menu while a quit is pending.
    SignIn();
    platform::PostMessage(frame->GetHWND(), WM_MENU_CLICK, reinterpret_cast<WPARAM>(new DuiLib::CDuiString(L"menu_quit")), 0);
    EXPECT_TRUE(Pump(100));
    platform::PostMessage(frame->GetHWND(), WM_TRAY_ICON, 150, WM_RBUTTONUP);
    EXPECT_TRUE(Pump(100));
    EXPECT_EQ(frame->GetQuitState(), 1);
}

namespace {

// Clicks the named button of the first shown dialog of class Dlg, with a real mouse click on
// the button's widget, from a timer: the dialog's own loop runs inside the test's pumping.
template <class Dlg>
class DialogClicker {
public:
    explicit DialogClicker(const wchar_t* button) : m_button(button) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
        m_timer.start(50);
    }
    bool Clicked() const { return m_clicked; }

private:
    void Tick() {
        if (m_clicked)
            return;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* host = dynamic_cast<DuiLib::DuiHostWidget*>(top);
            auto* dlg = host && host->isVisible() ? dynamic_cast<Dlg*>(host->Owner()) : nullptr;
            DuiLib::CControlUI* button = dlg ? dlg->GetPaintManager().FindControl(m_button) : nullptr;
            QWidget* widget = button ? button->GetWidget() : nullptr;
            if (!widget || !widget->isVisible() || widget->width() == 0)
                continue;
            m_clicked = true;
            QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
            return;
        }
    }
    const wchar_t* m_button;
    bool m_clicked = false;
    QTimer m_timer;
};

} // namespace

TEST_F(MainWindowTest, QuitDialogsStateChangeKeepsTheWindowDisabledUntilThePageConfirms) {
    Open();
    SignIn();
    frame->ShowWindow(true, true);
    DialogClicker<CQuitMsgUI> clicker(L"btn_quit");
    platform::PostMessage(frame->GetHWND(), WM_MENU_CLICK, reinterpret_cast<WPARAM>(new DuiLib::CDuiString(L"menu_quit")), 0);
    EXPECT_TRUE(Pump());
    Call(L"SendState", {L"busy", L""}); // work in progress: the quit dialog asks
    for (int i = 0; i < 100 && !clicker.Clicked(); ++i)
        ASSERT_TRUE(Pump(50));
    ASSERT_TRUE(clicker.Clicked());
    // The dialog has gone; the page was asked to change the state and the merchant waits.
    EXPECT_TRUE(Pump(300));
    EXPECT_EQ(frame->GetQuitState(), 2);
    EXPECT_FALSE(platform::IsWindowEnabled(frame->GetHWND())) << "the dialog's end gave the window back";
    EXPECT_TRUE(platform::IsWindowVisible(frame->GetWaitRing()->GetHWND()));
    Call(L"QuitState", {L"0"}); // not confirmed: still waiting
    EXPECT_TRUE(Pump());
    EXPECT_FALSE(platform::IsWindowEnabled(frame->GetHWND()));
    Call(L"QuitState", {L"1"});
    EXPECT_TRUE(platform::IsWindowEnabled(frame->GetHWND()));
    EXPECT_FALSE(platform::IsWindowVisible(frame->GetWaitRing()->GetHWND()));
    EXPECT_FALSE(Pump());
}

TEST_F(MainWindowTest, TitleBarDoubleClickDoesNotMaximise) {
    Open();
    frame->ShowWindow(true, true);
    QWidget* host = frame->GetHostWidget();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host));
    // In the caption strip, away from the caption's buttons.
    QTest::mouseDClick(host, Qt::LeftButton, Qt::NoModifier, QPoint(host->width() / 3, 10));
    EXPECT_TRUE(Pump(200));
    EXPECT_FALSE(host->isMaximized());
    EXPECT_FALSE(platform::IsZoomed(frame->GetHWND()));
}

TEST_F(MainWindowTest, HugeArgumentsAreShownCutAndSentWhole) {
    Open();
    const std::wstring huge(1 << 20, L'长');
    SignIn(huge);
    EXPECT_LE(frame->GetTrayTip().size(), 300u);
    EXPECT_EQ(DuiLib::CDuiTrayIcon::GetInstance()->GetTooltipText(), frame->GetTrayTip());
    auto shown = [](DuiLib::WindowImplBase* w, const wchar_t* name) {
        DuiLib::CControlUI* c = w->GetPaintManager().FindControl(name);
        return std::max(std::wstring(c->GetText()).size(), std::wstring(c->GetToolTip()).size());
    };
    EXPECT_LE(shown(frame->GetHoverWnd(), L"manager_name"), 256u);

    Call(L"UnReadMessage", {L"c1", huge, L"1", huge, L""});
    EXPECT_LE(shown(frame->GetTipWnd(), L"user_name"), 256u);
    EXPECT_LE(shown(frame->GetTipWnd(), L"msg_text"), 256u);
    CMsgInfo info;
    ASSERT_TRUE(frame->GetHoverWnd()->GetMessage(L"c1", info));
    EXPECT_LE(info.m_strText.size(), 256u);
    EXPECT_EQ(info.m_strText.substr(0, 10), huge.substr(0, 10));
    Call(L"WindowsInterface", {L"OtaMessage", huge, huge, L"", L"order_new"});
    ASSERT_TRUE(frame->GetPopWnd());
    EXPECT_LE(shown(frame->GetPopWnd(), L"msg_title"), 256u);
    EXPECT_LE(shown(frame->GetPopWnd(), L"msg_text"), 256u);

    // The server refuses the upload of a 1 MB text and says why; a refusal with a reason is an
    // answer, so the event is not kept to be sent again at every start.
    g_peer->Get("/demo/requests/clear");
    Call(L"WindowsInterface", {L"EventSendMsg", L"c1", huge, L"m1", L"0"});
    auto bigUploadSeen = [] {
        for (const Json::Value& r : g_peer->Requests())
            if (r["target"].asString() == "/mobilelog/rest/EventLog/" && r["body"].asString().size() > (1u << 20))
                return true;
        return false;
    };
    bool seen = false;
    for (int i = 0; i < 100 && !seen; ++i)
        seen = !Pump(200) || bigUploadSeen();
    ASSERT_TRUE(seen);
    // Stored the moment it was made, its row goes once the server's answer is in.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((cache + "shopdesk.db").c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    auto keptRows = [&] {
        sqlite3_stmt* st = nullptr;
        int n = -1;
        if (sqlite3_prepare_v2(db, "select count(*) from EventUpFailed where event_code = 'sales_tessaril_send_msg'", -1,
                               &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
        return n;
    };
    EXPECT_TRUE(WaitFor([&] { return keptRows() == 0; }, 10000)) << "the refused event was kept for sending again";
    sqlite3_close(db);

    // Signed out, nothing of the name stays with the window.
    Call(L"ChangeUser", {});
    EXPECT_LT(frame->GetUserName().capacity(), 1024u);
}

// The main window on a scaled screen. The screen is fixed when Qt starts, so each scale runs
// this program again as a child on an offscreen screen of that DPI; the child writes what it
// saw into the file named by SHOPDESK_DPI_REPORT.
TEST_F(MainWindowTest, ScaledScreenChild) {
    const char* report = std::getenv("SHOPDESK_DPI_REPORT");
    if (!report)
        GTEST_SKIP() << "runs as the child of ScaledScreensGetOneUnitThroughout";
    g_peer->Get("/demo/events/clear");
    Open();
    Json::Value device;
    for (int i = 0; i < 100 && device.isNull(); ++i) {
        Pump(100);
        Json::Value all = g_peer->Events();
        for (const Json::Value& e : all["events"])
            if (e["basic"]["event_code"].asString() == "device")
                device = e["attr"];
    }
    RECT rc{};
    platform::GetWindowRect(frame->GetHWND(), &rc);
    WriteFileBytes(report, std::to_string(rc.right - rc.left) + " " + std::to_string(rc.bottom - rc.top) + " " +
                               device["width"].asString() + " " + device["height"].asString() + " " +
                               device["zoomlevel"].asString());
}

TEST_F(MainWindowTest, ScaledScreensGetOneUnitThroughout) {
    struct Case {
        int dpi, nativeWidth, nativeHeight;
        const char* expected; // window (device-independent) and device event (display pixels)
    };
    for (const Case& c : {Case{192, 3840, 2160, "1110 624 3840 2160 192"}, Case{120, 1920, 1080, "1120 630 1920 1080 120"}}) {
        std::string config = home.path() + "/screen" + std::to_string(c.dpi) + ".json";
        WriteFileBytes(config, "{\"screens\":[{\"name\":\"scaled\",\"x\":0,\"y\":0,\"width\":" +
                                   std::to_string(c.nativeWidth) + ",\"height\":" + std::to_string(c.nativeHeight) +
                                   ",\"logicalDpi\":" + std::to_string(c.dpi) + ",\"logicalBaseDpi\":96}]}");
        std::string report = home.path() + "/report" + std::to_string(c.dpi) + ".txt";
        std::string cmd = "QT_QPA_PLATFORM='offscreen:configfile=" + config + "' SHOPDESK_DPI_REPORT='" + report +
                          "' /proc/" + std::to_string(getpid()) +
                          "/exe --gtest_filter=MainWindowTest.ScaledScreenChild >'" + home.path() + "/child.log' 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << ReadFileBytes(home.path() + "/child.log");
        EXPECT_EQ(ReadFileBytes(report), c.expected) << c.dpi << " dpi";
    }
}
