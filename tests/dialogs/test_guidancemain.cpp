// The guidance from the main window's side, in a real main window against the demo server
// (under xvfb-run): shown centred at a first start, remembered in "Config.ini" once viewed, and
// not shown at the next start.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/shopdesk.h"
#include "common/sysutils.h"
#include "demopeer.h"
#include "dialogs/cguidanceui.h"
#include "duilib/uimanager.h"
#include "mainframe/cmainframeui.h"
#include "platform/profile.h"
#include "settings/configmanage.h"
#include "support/qtwait.h"
#include "support/realclick.h"
#include "support/testenv.h"
#include "videotest.h"

namespace fs = std::filesystem;

namespace {

class GuidanceMainTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_peer = new DemoPeer();
        ASSERT_TRUE(s_peer->StartInFreshFolder());
        for (const char* var : {"SHOPDESK_CONSOLE_HOST", "SHOPDESK_MERCHANT_HOST", "SHOPDESK_MOBILE_HOST"})
            setenv(var, s_peer->BaseUrl().c_str(), 1);
        ASSERT_TRUE(DuiLib::CCefBrowserUI::InitCef(nullptr, L"", L""));
    }
    static void TearDownTestSuite() {
        DuiLib::CCefBrowserUI::Quit();
        delete s_peer;
    }
    void SetUp() override {
        m_cache = m_home.path() + "/cache/";
        fs::create_directories(m_cache);
        CConfigManage::GetInstance()->Init(AnsiToWide(m_cache));
        m_video = WideToAnsi(GetDirOfPath(GetModulePath())) + "guidance.mov";
        ASSERT_TRUE(MakeClip(m_video, "--seconds 1"));
    }
    void TearDown() override {
        Close();
        fs::remove(m_video);
    }
    void Start() {
        m_frame = new CMainFrameUI();
        m_frame->InitParams(AnsiToWide(m_cache), STRUCT_Config{0, 1, 1, 1, 1, 1, 1, 1}, L"");
        ASSERT_TRUE(m_frame->Create(nullptr, L"QDX_IM", WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE));
        Pump(200);
    }
    void Close() {
        if (!m_frame)
            return;
        platform::DestroyWindow(m_frame->GetHWND());
        Pump(50);
        delete m_frame;
        m_frame = nullptr;
    }
    int IsGuidance() {
        return platform::GetPrivateProfileInt(L"Guidance", L"IsGuidance", 0, m_cache + "Config.ini");
    }

    static DemoPeer* s_peer;
    ScopedTestHome m_home;
    std::string m_cache;
    std::string m_video;
    CMainFrameUI* m_frame = nullptr;
};

DemoPeer* GuidanceMainTest::s_peer = nullptr;

TEST_F(GuidanceMainTest, FirstStartShowsItCentredViewingIsRememberedAndTheNextStartShowsNone) {
    Start();
    CGuidanceUI* guidance = m_frame->GetGuidanceWnd();
    ASSERT_NE(guidance, nullptr);
    ASSERT_TRUE(platform::IsWindowVisible(guidance->GetHWND()));
    RECT rc{};
    platform::GetWindowRect(guidance->GetHWND(), &rc);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    platform::GetMonitorInfo(platform::MonitorFromWindow(guidance->GetHWND(), MONITOR_DEFAULTTONEAREST), &mi);
    EXPECT_NEAR((rc.left + rc.right) / 2.0, (mi.rcWork.left + mi.rcWork.right) / 2.0, 1.0);
    EXPECT_NEAR((rc.top + rc.bottom) / 2.0, (mi.rcWork.top + mi.rcWork.bottom) / 2.0, 1.0);
    EXPECT_EQ(IsGuidance(), 0);

    ASSERT_TRUE(ClickControl(FindControlIn(guidance->GetHWND(), L"btn_view")));
    EXPECT_TRUE(WaitFor([&] { return IsGuidance() == 1; })) << "viewing is written to Config.ini";
    DuiLib::CControlUI* known = FindControlIn(guidance->GetHWND(), L"btn_known");
    ASSERT_TRUE(WaitFor([&] { return known->IsVisible(); }, 5000));
    ASSERT_TRUE(ClickControl(known));
    EXPECT_TRUE(WaitFor([&] { return !platform::IsWindowVisible(guidance->GetHWND()); }));
    Close();

    Start();
    Pump(200);
    EXPECT_EQ(m_frame->GetGuidanceWnd(), nullptr) << "a second start shows none";
}

} // namespace
