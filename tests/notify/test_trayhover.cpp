// The tray icon of a real main window under a real tray host, met with the X server's own
// pointer: resting on the icon opens the hover list of unread conversations and leaving closes
// it, after any idle time and with every new tray host; a left click brings the window; the
// icon blinks while conversations are unread and stands still once they are read.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include "common/custommsg.h"
#include "common/sysutils.h"
#include "demopeer.h"
#include "duilib/uicefbrowser.h"
#include "duilib/uitray.h"
#include "mainframe/cmainframeui.h"
#include "notify/cframehoverui.h"
#include "settings/configmanage.h"
#include "support/qtwait.h"
#include "support/testenv.h"
#include "support/trayhost.h"

using namespace DuiLib;
namespace fs = std::filesystem;

namespace {

bool MovePointer(int x, int y) {
    return std::system(("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y)).c_str()) == 0;
}

bool ClickIcon(const RECT& icon) {
    return std::system(("xdotool mousemove " + std::to_string((icon.left + icon.right) / 2) + " " +
                        std::to_string((icon.top + icon.bottom) / 2) + " click 1")
                           .c_str()) == 0;
}

// The icon as the tray host shows it on the screen.
QImage IconOnScreen(const RECT& icon) {
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, icon.left, icon.top, icon.right - icon.left, icon.bottom - icon.top)
        .toImage();
}

// The distinct pictures the icon showed over `ms`, looked at every 50 ms.
size_t PicturesShownOver(const RECT& icon, int ms) {
    std::set<QByteArray> seen;
    for (int t = 0; t < ms; t += 50) {
        QImage shot = IconOnScreen(icon).convertToFormat(QImage::Format_RGB32);
        seen.insert(QByteArray(reinterpret_cast<const char*>(shot.constBits()), shot.sizeInBytes()));
        Pump(50);
    }
    return seen.size();
}

class TrayHoverTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_home = new ScopedTestHome();
        s_peer = new DemoPeer();
        ASSERT_TRUE(s_peer->Start(s_home->path() + "/peer"));
        for (const char* var : {"SHOPDESK_CONSOLE_HOST", "SHOPDESK_MERCHANT_HOST", "SHOPDESK_MOBILE_HOST"})
            setenv(var, s_peer->BaseUrl().c_str(), 1);
        ASSERT_TRUE(CCefBrowserUI::InitCef(nullptr, L"", L""));
    }
    static void TearDownTestSuite() {
        CCefBrowserUI::Quit();
        delete s_peer;
        delete s_home;
    }
    void SetUp() override {
        cache = s_home->path() + "/cache-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "/";
        fs::create_directories(cache);
        // No tips: one near the tray would stand between the pointer and the icon.
        STRUCT_Config settings{0, 0, 0, 1, 1, 0, 0, 0};
        CConfigManage::GetInstance()->Init(AnsiToWide(cache));
        CConfigManage::GetInstance()->SaveConfig(settings);
        frame = new CMainFrameUI();
        frame->InitParams(AnsiToWide(cache), settings, L"");
        ASSERT_TRUE(frame->Create(nullptr, kMainWndTitle, WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE));
        Call(L"WindowsConfig", {L"m1", L"Ann", Avatar(L"manager")});
        Call(L"UnReadMessage", {L"c1", L"Bob", L"2", L"Is the tour still on?", Avatar(L"bob")});
        ASSERT_EQ(frame->GetHoverWnd()->GetMessageCount(), 1);
        frame->ShowWindow(false, false);
    }
    void TearDown() override {
        DuiLib::CWindowWnd* wnd = frame;
        DestroyTestWindow(wnd);
        frame = nullptr;
    }

    static std::wstring Avatar(const std::wstring& name) {
        return AnsiToWide(s_peer->BaseUrl()) + L"/avatar/" + name + L".png";
    }
    void Call(const std::wstring& name, const std::vector<std::wstring>& args) {
        EXPECT_FALSE(frame->OnPageCall(name, args));
        EXPECT_TRUE(WaitFor([&] { return !frame->HasPendingPageCalls(); }));
    }
    // The icon once docked and settled at its place in the tray.
    static bool DockedIcon(RECT& icon) {
        if (!WaitFor([&] { return CDuiTrayIcon::GetInstance()->GetIconRect(icon); }, 15000))
            return false;
        Pump(1000);
        return CDuiTrayIcon::GetInstance()->GetIconRect(icon);
    }
    bool HoverShown() const { return frame->GetHoverWnd()->IsShowing(); }
    // Onto the icon from far away, and the list comes; off both, and it goes.
    void EnterAndLeave(const RECT& icon, const char* when) {
        ASSERT_TRUE(MovePointer((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2));
        EXPECT_TRUE(WaitFor([&] { return HoverShown(); }, 1500)) << "no hover list " << when;
        ASSERT_TRUE(MovePointer(100, 100));
        EXPECT_TRUE(WaitFor([&] { return !HoverShown(); }, 5000)) << "the hover list stayed " << when;
    }

    static ScopedTestHome* s_home;
    static DemoPeer* s_peer;
    std::string cache;
    CMainFrameUI* frame = nullptr;
};

ScopedTestHome* TrayHoverTest::s_home = nullptr;
DemoPeer* TrayHoverTest::s_peer = nullptr;

} // namespace

TEST_F(TrayHoverTest, ThePointerOnTheIconOpensTheListAfterALongIdleAndEveryTimeAgain) {
    TrayHost host;
    ASSERT_TRUE(MovePointer(100, 100));
    RECT icon{};
    ASSERT_TRUE(DockedIcon(icon)) << "the tray host never showed the icon";
    // Nothing happens while the pointer is elsewhere, however long.
    Pump(4000);
    EXPECT_FALSE(HoverShown());
    EnterAndLeave(icon, "on the first entry after the idle");
    EnterAndLeave(icon, "on the second entry");

    // Resting there: the list stays as long as the pointer does.
    ASSERT_TRUE(MovePointer((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2));
    ASSERT_TRUE(WaitFor([&] { return HoverShown(); }, 1500));
    Pump(3000);
    EXPECT_TRUE(HoverShown()) << "the list went while the pointer rested on the icon";
    ASSERT_TRUE(MovePointer(100, 100));
    EXPECT_TRUE(WaitFor([&] { return !HoverShown(); }, 5000));
}

TEST_F(TrayHoverTest, ANewTrayHostStillTellsThePointerAndTheClicks) {
    RECT icon{};
    {
        TrayHost first;
        ASSERT_TRUE(DockedIcon(icon)) << "the first tray host never showed the icon";
        EnterAndLeave(icon, "under the first tray host");
    }
    ASSERT_TRUE(WaitFor([&] { return !CDuiTrayIcon::GetInstance()->GetIconRect(icon); }, 5000))
        << "the icon outlived its tray host";
    TrayHost second;
    ASSERT_TRUE(DockedIcon(icon)) << "the icon never came back to the new tray host";
    EnterAndLeave(icon, "under the new tray host");

    // The left button brings the hidden window to the front.
    ASSERT_FALSE(platform::IsWindowVisible(frame->GetHWND()));
    ASSERT_TRUE(ClickIcon(icon));
    EXPECT_TRUE(WaitFor([&] { return platform::IsWindowVisible(frame->GetHWND()); }))
        << "the click never reached the window";
}

TEST_F(TrayHoverTest, TheIconBlinksWhileUnreadAndStandsStillOnceRead) {
    TrayHost host;
    ASSERT_TRUE(MovePointer(100, 100));
    RECT icon{};
    ASSERT_TRUE(DockedIcon(icon));
    ASSERT_TRUE(CDuiTrayIcon::GetInstance()->IsTwinkling());
    // Picture and blank in turn, every 400 ms.
    EXPECT_GE(PicturesShownOver(icon, 1600), 2u);

    Call(L"MessageRead", {L"c1"});
    ASSERT_TRUE(WaitFor([&] { return !CDuiTrayIcon::GetInstance()->IsTwinkling(); }));
    Pump(500);
    EXPECT_EQ(PicturesShownOver(icon, 1200), 1u) << "the icon still changes after the last conversation was read";
    // What stands is the picture, not the blank frame the blink may have stopped on: a blank
    // shows the tray's plain background alone.
    QImage still = IconOnScreen(icon).convertToFormat(QImage::Format_RGB32);
    std::set<QRgb> colours;
    for (int y = 0; y < still.height(); ++y)
        for (int x = 0; x < still.width(); ++x)
            colours.insert(still.pixel(x, y));
    EXPECT_GT(colours.size(), 1u);
}
