// The settings road through the real main window: the gear button and the tray entry open
// the settings window, each option changes exactly its key in "Config.json", and the version
// offer at start holds the rest of the start-up until it is answered.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <unistd.h>

#include <json/json.h>

#include "common/custommsg.h"
#include "common/sysutils.h"
#include "demopeer.h"
#include "duilib/uimanager.h"
#include "duilib/uitray.h"
#include "mainframe/cmainframeui.h"
#include "platform/profile.h"
#include "platform/registryprotocol.h"
#include "settings/cframesettingui.h"
#include "settingstest.h"
#include "support/launch.h"
#include "support/qtwait.h"
#include "support/realclick.h"
#include "support/testenv.h"
#include "support/trayhost.h"

namespace fs = std::filesystem;

namespace {

DemoPeer* g_peer = nullptr;

std::map<std::string, int> ConfigKeys(const std::string& path) {
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string text = ReadFileBytes(path), errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::map<std::string, int> keys;
    if (reader->parse(text.data(), text.data() + text.size(), &root, &errors) && root["Config"].isObject())
        for (const std::string& name : root["Config"].getMemberNames())
            keys[name] = root["Config"][name].asInt();
    return keys;
}

class SettingsRoadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        g_peer = new DemoPeer();
        ASSERT_TRUE(g_peer->StartInFreshFolder());
        for (const char* var : {"SHOPDESK_CONSOLE_HOST", "SHOPDESK_MERCHANT_HOST", "SHOPDESK_MOBILE_HOST"})
            setenv(var, g_peer->BaseUrl().c_str(), 1);
        ASSERT_TRUE(DuiLib::CCefBrowserUI::InitCef(nullptr, L"", L""));
    }
    static void TearDownTestSuite() {
        DuiLib::CCefBrowserUI::Quit();
        delete g_peer;
    }
    void SetUp() override {
        g_peer->Get("/demo/version?has_new=0");
        cache = home.path() + "/cache/";
        fs::create_directories(cache);
        CConfigManage::GetInstance()->Init(AnsiToWide(cache));
    }
    void TearDown() override {
        if (!frame)
            return; // the test ended its window itself
        DuiLib::CWindowWnd* wnd = frame;
        DestroyTestWindow(wnd);
        frame = nullptr;
    }
    void Open() {
        STRUCT_Config settings{};
        CConfigManage::GetInstance()->ReadConfig(settings);
        frame = new CMainFrameUI();
        frame->InitParams(AnsiToWide(cache), settings, L"");
        ASSERT_TRUE(frame->Create(nullptr, L"QDX_IM", WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE));
        frame->CenterWindow();
        frame->ShowWindow(true, true);
    }
    bool SettingsShown() const {
        CFrameSettingUI* wnd = frame->GetSettingWnd();
        return wnd && platform::IsWindowVisible(wnd->GetHWND());
    }
    DuiLib::CControlUI* SettingsControl(const wchar_t* name) const {
        return FindControlIn(frame->GetSettingWnd()->GetHWND(), name);
    }
    std::string ConfigFile() const { return cache + "Config/Config.json"; }

    ScopedTestHome home;
    OpenRecorder opener{home.path()};
    std::string cache;
    CMainFrameUI* frame = nullptr;
};

} // namespace

TEST_F(SettingsRoadTest, GearButtonOpensTheWindowAndEachOptionChangesOnlyItsKey) {
    Open();
    Pump(300);
    EXPECT_EQ(frame->GetSettingWnd(), nullptr) << "the settings window was made before its first use";
    ASSERT_TRUE(ClickControl(FindControlIn(frame->GetHWND(), L"settingbtn")));
    ASSERT_TRUE(WaitFor([&] { return SettingsShown(); }));

    // A new file: AutoStart off (no autostart entry yet), everything else on.
    std::map<std::string, int> before = ConfigKeys(ConfigFile());
    ASSERT_EQ(before.size(), 8u);
    const char* keys[8] = {"AutoStart",   "AutoLogin",         "ConversationTip", "OrderTip",
                           "NewcomerTip", "ConversationSound", "OrderSound",      "NewcomerSound"};
    const std::string autostartEntry = home.configHome() + "/autostart/shopdesk.desktop";
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(ClickControl(SettingsControl(CFrameSettingUI::kOptionNames[i])));
        ASSERT_TRUE(WaitFor([&] { return ConfigKeys(ConfigFile()) != before; })) << keys[i];
        std::map<std::string, int> after = ConfigKeys(ConfigFile());
        std::map<std::string, int> expected = before;
        expected[keys[i]] = before[keys[i]] ? 0 : 1;
        EXPECT_EQ(after, expected) << keys[i];
        if (i == 0) {
            EXPECT_TRUE(fs::exists(autostartEntry));
        }
        before = after;
    }
    EXPECT_EQ(frame->GetSettings().AutoStart, 1);
    EXPECT_EQ(frame->GetSettings().NewcomerSound, 0);

    // Switched back through the window, the autostart entry goes with the setting.
    ASSERT_TRUE(ClickControl(SettingsControl(L"op_autostart")));
    ASSERT_TRUE(WaitFor([&] { return ConfigKeys(ConfigFile())["AutoStart"] == 0; }));
    EXPECT_FALSE(fs::exists(autostartEntry));

    // Hidden, not closed: the visit is reported as a page view.
    ASSERT_TRUE(ClickControl(SettingsControl(L"hidebtn")));
    ASSERT_TRUE(WaitFor([&] { return !SettingsShown(); }));
    EXPECT_TRUE(platform::IsWindow(frame->GetSettingWnd()->GetHWND()));
    ASSERT_TRUE(WaitFor(
        [&] {
            Json::Value seen = g_peer->Events();
            for (const Json::Value& e : seen["events"])
                if (e["basic"]["event_code"].asString() == "page" && e["attr"]["name"].asString() == "page_settings")
                    return true;
            return false;
        },
        15000));
}

TEST_F(SettingsRoadTest, AFailedAutostartSwitchChangesNothingAndTheWindowShowsIt) {
    // An autostart folder that cannot be created makes the switch fail.
    WriteFileBytes(home.configHome() + "/autostart", "a file in the way");
    Open();
    ASSERT_TRUE(ClickControl(FindControlIn(frame->GetHWND(), L"settingbtn")));
    ASSERT_TRUE(WaitFor([&] { return SettingsShown(); }));
    const std::string before = ReadFileBytes(ConfigFile());
    auto* autostart = static_cast<DuiLib::COptionUI*>(SettingsControl(L"op_autostart"));
    ASSERT_FALSE(autostart->IsSelected());
    ASSERT_TRUE(ClickControl(autostart));
    // A second click, on another option, arrives after the first one; once its change is
    // saved, the failed one has been handled.
    ASSERT_TRUE(ClickControl(SettingsControl(L"op_autologin")));
    ASSERT_TRUE(WaitFor([&] { return ReadFileBytes(ConfigFile()) != before; }));
    EXPECT_FALSE(autostart->IsSelected()) << "the window claims autostart is on";
    EXPECT_EQ(frame->GetSettings().AutoStart, 0);
    std::map<std::string, int> saved = ConfigKeys(ConfigFile());
    EXPECT_EQ(saved["AutoLogin"], 0);
    EXPECT_EQ(saved["AutoStart"], 0);
}

TEST_F(SettingsRoadTest, TrayMenuEntryShowsTheWindowWithTheLiveRecord) {
    TrayHost tray;
    Open();
    // The icon docks, and then settles at its place in the tray.
    RECT icon{};
    ASSERT_TRUE(WaitFor([&] { return DuiLib::CDuiTrayIcon::GetInstance()->GetIconRect(icon); }, 15000))
        << "the tray host never showed the icon";
    Pump(1000);
    ASSERT_TRUE(DuiLib::CDuiTrayIcon::GetInstance()->GetIconRect(icon));

    platform::SendMessage(frame->GetHWND(), WM_CONFIG_CHANGE, 3, 0); // OrderTip off, as the window would
    frame->ShowWindow(false, false);
    ASSERT_TRUE(ClickAt((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2, 3));
    HWND menu = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        menu = FindShownWindow([](HWND h) { return FindControlIn(h, L"menu_setting") != nullptr; });
        return menu != nullptr;
    })) << "no tray menu";
    ASSERT_TRUE(ClickControl(FindControlIn(menu, L"menu_setting")));
    ASSERT_TRUE(WaitFor([&] { return SettingsShown(); }));
    EXPECT_TRUE(platform::IsWindowVisible(frame->GetHWND())); // brought to the front too
    EXPECT_FALSE(static_cast<DuiLib::COptionUI*>(SettingsControl(L"op_ordertip"))->IsSelected());
    EXPECT_TRUE(static_cast<DuiLib::COptionUI*>(SettingsControl(L"op_ordersound"))->IsSelected());
}

TEST_F(SettingsRoadTest, VersionOfferAtStartHoldsTheRestOfTheStartUp) {
    g_peer->Get("/demo/version?has_new=1&version=2.2.0");
    bool databaseDuringOffer = true;
    std::wstring offerText;
    ClickWhenShown download(L"btn_download", L"btn_download", [&](HWND h) {
        databaseDuringOffer = fs::exists(cache + "shopdesk.db");
        offerText = FindControlIn(h, L"label_newversion")->GetText();
    });
    Open();
    ASSERT_TRUE(WaitFor([&] { return download.Clicked(); }, 10000));
    EXPECT_EQ(offerText, L"发现新版本 2.2.0，请问是否进行下载？");
    EXPECT_FALSE(databaseDuringOffer) << "the event store opened before the offer was answered";
    EXPECT_TRUE(WaitFor([&] { return fs::exists(cache + "shopdesk.db"); }));

    // The link the server gave was opened, and the server really serves it.
    ASSERT_TRUE(WaitFor([&] { return !opener.Opened().empty(); }));
    const std::string link = g_peer->BaseUrl() + "/download/shopdesk-2.2.0.deb";
    EXPECT_EQ(opener.Opened(), link + "\n");
    int status = 0;
    std::string bytes = g_peer->Get("/download/shopdesk-2.2.0.deb", &status);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(bytes.size(), 64u * 1024u);
    g_peer->Get("/download/shopdesk-9.9.9.deb", &status);
    EXPECT_EQ(status, 404);

    // The settings window offers the same from its check button; cancelling opens nothing.
    ASSERT_TRUE(ClickControl(FindControlIn(frame->GetHWND(), L"settingbtn")));
    ASSERT_TRUE(WaitFor([&] { return SettingsShown(); }));
    ClickWhenShown cancel(L"btn_download", L"btn_cancel");
    ASSERT_TRUE(ClickControl(SettingsControl(L"btn_checknew")));
    ASSERT_TRUE(WaitFor([&] { return cancel.Clicked(); }, 10000));
    ASSERT_TRUE(WaitFor([&] {
        return !FindShownWindow([](HWND h) { return FindControlIn(h, L"btn_download") != nullptr; });
    }));
    Pump(300);
    EXPECT_EQ(opener.Opened(), link + "\n");
}

TEST_F(SettingsRoadTest, TheConsoleLoadsWhileTheVersionCheckWaitsAndAnEarlyCloseKeepsTheEvents) {
    g_peer->Get("/demo/fault?mode=slow&delay_ms=3000&path=/system/update/native_app_check_update/v1&count=1");
    g_peer->Get("/demo/events/clear");
    Open();
    EXPECT_TRUE(WaitFor([&] { return PeerWasAsked(*g_peer, "/admin"); }, 2500))
        << "the console waited for the version answer";
    EXPECT_FALSE(fs::exists(cache + "shopdesk.db")) << "the event store started before the version answer";

    // Closed before the answer: the store opens as the window goes, and the start's own
    // event still reaches the server.
    DuiLib::CWindowWnd* wnd = frame;
    DestroyTestWindow(wnd);
    frame = nullptr;
    EXPECT_TRUE(fs::exists(cache + "shopdesk.db"));
    EXPECT_TRUE(WaitFor(
        [&] {
            Json::Value seen = g_peer->Events();
            for (const Json::Value& e : seen["events"])
                if (e["basic"]["event_code"].asString() == "device")
                    return true;
            return false;
        },
        10000));
}

namespace {

int ReceivedAtServer() {
    int n = 0;
    Json::Value all = g_peer->Events();
    for (const Json::Value& e : all["events"])
        n += e["basic"]["event_code"].asString() == "sales_tessaril_receive_msg";
    return n;
}

// The notification windows (tip, pop-up) another process shows: its shown windows of the
// notification class, which neither its main window nor its tray icon is.
int NotificationsShownBy(pid_t pid) {
    int n = 0;
    for (const std::string& w : ShownWindowsOf(pid))
        n += WindowNameOf(w) == WideToAnsi(kMainWndClass);
    return n;
}

} // namespace

TEST_F(SettingsRoadTest, AChangeReachesAnotherRunningWorkbenchWhoseNextTipFollowsIt) {
    TrayHost tray; // both workbenches dock their icons, as on a desktop
    // The other workbench shares this one's profile: its cache folder is the desktop's.
    cache = home.dataHome() + "/QDX/Cache/";
    fs::create_directories(cache);
    platform::WritePrivateProfileString(L"Guidance", L"IsGuidance", L"1", cache + "Config.ini");
    ASSERT_TRUE(platform::RegisterProtocolHandler(SHOPDESK_EXE));
    CConfigManage::GetInstance()->Init(AnsiToWide(cache));
    STRUCT_Config quiet{0, 1, 0, 0, 0, 0, 0, 0}; // no tip, pop-up or sound of any kind
    CConfigManage::GetInstance()->SaveConfig(quiet);
    Open();
    // This window stays on the sign-in page: every customer below is the other workbench's.
    ASSERT_TRUE(WaitFor([&] { return PeerWasAsked(*g_peer, "/admin"); }, 30000));

    // The other workbench signs in by itself and its console brings a customer every second.
    g_peer->Get("/demo/events/clear");
    g_peer->Get("/demo/stream?seconds=1");
    g_peer->Get("/demo/signin?auto=1");
    struct Other {
        pid_t pid = LaunchWorkbench("");
        ~Other() {
            StopWorkbench(pid);
            g_peer->Get("/demo/stream?seconds=0");
            g_peer->Get("/demo/signin?auto=0");
        }
    } running;
    const pid_t other = running.pid;
    ASSERT_TRUE(WaitFor([&] { return ReceivedAtServer() >= 3; }, 60000)) << "the other console brought no customers";
    EXPECT_EQ(NotificationsShownBy(other), 0);

    // Conversation tips switched on here, through the settings window, once the merchant has
    // brought this workbench back over the other one.
    for (const std::string& w : ShownWindowsOf(getpid()))
        if (WindowNameOf(w) == WideToAnsi(kMainWndTitle))
            std::system(("xdotool windowraise " + w).c_str());
    ASSERT_TRUE(ClickControl(FindControlIn(frame->GetHWND(), L"settingbtn")));
    ASSERT_TRUE(WaitFor([&] { return SettingsShown(); }));
    ASSERT_TRUE(ClickControl(SettingsControl(L"op_conversationtip")));
    ASSERT_TRUE(WaitFor([&] { return ConfigKeys(ConfigFile())["ConversationTip"] == 1; }));
    EXPECT_EQ(frame->GetSettings().ConversationTip, 1);

    // The other workbench reloaded: its next customer shows a tip.
    EXPECT_TRUE(WaitFor([&] { return NotificationsShownBy(other) > 0; }, 30000));

    // Logging out ends it through its normal quit, with its tray icon docked.
    kill(other, SIGTERM);
    EXPECT_EQ(WaitExit(other, 15000), 0);
}
