// The settings window and the version offer, clicked with the real pointer: the options post
// their changes, the check button reads the server's answer, and the offer opens only a web
// address.
#include <gtest/gtest.h>

#include "common/custommsg.h"
#include "net/httpwork.h"
#include "settings/cframesettingui.h"
#include "settings/cversionmsg.h"
#include "settingstest.h"
#include "support/qtwait.h"
#include "support/realclick.h"
#include "support/testenv.h"

namespace {

class SettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = CHttpWork::GetInstance()->GetDeployHosts();
        SDeployHosts hosts = m_saved;
        hosts.strMobileApiHost = server.BaseUrl();
        CHttpWork::GetInstance()->SetDeployHosts(hosts);
        ASSERT_TRUE(main.Create(nullptr, L"main", WS_POPUP, 0));
        ASSERT_TRUE(settings.Create(nullptr, L"QDX_IM_MAIN", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST));
        settings.SetMainHwnd(main.GetHWND());
        settings.CenterWindow();
        settings.ShowWindow(true, true);
    }
    void TearDown() override { CHttpWork::GetInstance()->SetDeployHosts(m_saved); }

    DuiLib::CControlUI* Control(const wchar_t* name) { return FindControlIn(settings.GetHWND(), name); }
    bool Selected(int index) {
        return static_cast<DuiLib::COptionUI*>(Control(CFrameSettingUI::kOptionNames[index]))->IsSelected();
    }
    // Clicks "btn_checknew" and waits until the check has ended (the button is usable again).
    void CheckNow() {
        int before = server.Requests();
        ASSERT_TRUE(ClickControl(Control(L"btn_checknew")));
        ASSERT_TRUE(WaitFor([&] { return server.Requests() > before && Control(L"btn_checknew")->IsEnabled(); }));
        Pump(150);
    }
    static bool OfferShown() {
        return FindShownWindow([](HWND h) { return FindControlIn(h, L"btn_download") != nullptr; }) != nullptr;
    }

    ScopedTestHome home;
    OpenRecorder opener{home.path()};
    VersionServer server;
    CRecorderWnd main;
    CFrameSettingUI settings;
    SDeployHosts m_saved;
};

const char kNewer[] =
    R"({"code":0,"data":{"has_new_version":1,"newest_version":"2.2.0","url":"https://dl.example.com/shopdesk-2.2.0.deb"}})";

} // namespace

TEST_F(SettingsWindowTest, EachOptionPostsItsOwnIndexOncePerChange) {
    EXPECT_EQ(Control(L"label_version")->GetText(), L"2.1.4");
    const int shown[8] = {1, 0, 1, 0, 1, 0, 0, 1};
    settings.SetConfig(STRUCT_Config{1, 0, 1, 0, 1, 0, 0, 7});
    Pump(100);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(Selected(i), shown[i] != 0) << i;
    EXPECT_EQ(main.Count(WM_CONFIG_CHANGE), 0u) << "showing a record is not a change";

    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(ClickControl(Control(CFrameSettingUI::kOptionNames[i])));
        ASSERT_TRUE(WaitFor([&] { return main.Count(WM_CONFIG_CHANGE) == static_cast<size_t>(i + 1); })) << i;
        const CRecorderWnd::Rec& r = main.received.back();
        EXPECT_EQ(r.w, static_cast<WPARAM>(i));
        EXPECT_EQ(r.l, shown[i] ? 0 : 1) << i;
        EXPECT_EQ(Selected(i), !shown[i]) << i;
    }
    Pump(200);
    EXPECT_EQ(main.Count(WM_CONFIG_CHANGE), 8u);

    // The close button only hides: the window and its state stay for the next showing.
    ASSERT_TRUE(ClickControl(Control(L"hidebtn")));
    ASSERT_TRUE(WaitFor([&] { return !platform::IsWindowVisible(settings.GetHWND()); }));
    EXPECT_TRUE(platform::IsWindow(settings.GetHWND()));
    EXPECT_EQ(Selected(0), false);
}

TEST_F(SettingsWindowTest, OnlyAParsedAnswerWithoutANewerVersionShowsTheTip) {
    struct Case {
        std::string body;
        bool tip;
    };
    const std::vector<Case> cases = {
        {"", false},
        {"not json at all", false},
        {std::string(2000, '[') + std::string(2000, ']'), false},
        {R"({"data":{"has_new_version":1)", false}, // cut short
        {"[1,2,3]", false},
        {R"({"code":0,"data":"none"})", false},
        {R"({"code":0,"data":{"has_new_version":0}})", true},
        {R"({"code":0,"data":{"has_new_version":2,"url":"http://x/"}})", true},
        {R"({"code":0,"data":{"has_new_version":"1","url":"http://x/"}})", true},
        {R"({"code":0,"data":{"has_new_version":null}})", true},
        {R"({"code":0,"data":{"has_new_version":true}})", true},
        {R"({"code":0,"data":{}})", true},
    };
    for (const Case& c : cases) {
        server.Answer(c.body);
        CheckNow();
        EXPECT_FALSE(OfferShown()) << c.body.substr(0, 60);
        EXPECT_EQ(Control(L"label_tip")->IsVisible(), c.tip) << c.body.substr(0, 60);
    }
    // Hiding the window hides the tip with it.
    ASSERT_TRUE(ClickControl(Control(L"hidebtn")));
    ASSERT_TRUE(WaitFor([&] { return !platform::IsWindowVisible(settings.GetHWND()); }));
    EXPECT_FALSE(Control(L"label_tip")->IsVisible());
}

TEST_F(SettingsWindowTest, ANewerVersionIsOfferedAndCancellingOpensNothing) {
    server.Answer(kNewer);
    std::wstring offerText;
    HWND offerOwner = nullptr;
    ClickWhenShown cancel(L"btn_download", L"btn_cancel", [&](HWND h) {
        offerText = FindControlIn(h, L"label_newversion")->GetText();
        offerOwner = WindowOf(h)->GetOwner();
    });
    CheckNow();
    EXPECT_TRUE(cancel.Clicked());
    EXPECT_EQ(offerText, L"发现新版本 2.2.0，请问是否进行下载？");
    EXPECT_EQ(offerOwner, settings.GetHWND());
    EXPECT_FALSE(OfferShown());
    EXPECT_FALSE(Control(L"label_tip")->IsVisible());
    Pump(300);
    EXPECT_EQ(opener.Opened(), "");

    ClickWhenShown download(L"btn_download", L"btn_download");
    CheckNow();
    EXPECT_TRUE(download.Clicked());
    EXPECT_TRUE(WaitFor([&] { return !opener.Opened().empty(); }));
    EXPECT_EQ(opener.Opened(), "https://dl.example.com/shopdesk-2.2.0.deb\n");
}

TEST(VersionOffer, DownloadOpensOnlyAWebAddressAndEndsWithOne) {
    ScopedTestHome home;
    OpenRecorder opener(home.path());
    {
        ClickWhenShown cancel(L"btn_download", L"btn_cancel");
        EXPECT_EQ(ShowNewVersion(nullptr, L"http://127.0.0.1/download/a.deb", L"2.2.0"), IDCANCEL);
    }
    const std::wstring refused[] = {L"",
                                    L"file:///etc/passwd",
                                    L"/usr/bin/xterm",
                                    L"--help",
                                    L"javascript:alert(1)",
                                    L"http://",
                                    L"https:///nohost",
                                    L"http://example.com/a b",
                                    L"http://example.com/\n--x"};
    for (const std::wstring& link : refused) {
        ClickWhenShown download(L"btn_download", L"btn_download");
        EXPECT_EQ(ShowNewVersion(nullptr, link, L"2.2.0"), IDOK);
    }
    {
        ClickWhenShown ok(L"btn_download", L"btn_download");
        EXPECT_EQ(ShowNewVersion(nullptr, L"http://127.0.0.1:9/download/shopdesk-2.2.0.deb", L"2.2.0"), IDOK);
    }
    EXPECT_TRUE(WaitFor([&] { return !opener.Opened().empty(); }));
    Pump(300);
    EXPECT_EQ(opener.Opened(), "http://127.0.0.1:9/download/shopdesk-2.2.0.deb\n");
}
