// The tip and the order pop-up in the screen's corner, their clicks and five seconds; the round
// avatar control drawn into pixels; the tray icon finder without a tray host.
#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "common/custommsg.h"
#include "common/sysutils.h"
#include "duilib/uitray.h"
#include "notify/cframepopui.h"
#include "notify/cframetipui.h"
#include "notify/cheadui.h"
#include "notify/ctrayiconpos.h"
#include "support/qtwait.h"
#include "support/testenv.h"

using namespace DuiLib;
namespace fs = std::filesystem;

namespace {

template <class Wnd>
Wnd* MakeNotifyWnd(HWND mainWnd) {
    auto* w = new Wnd();
    if (!w->Create(nullptr, kMainWndClass, WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST)) {
        delete w;
        return nullptr;
    }
    w->SetMainHwnd(mainWnd);
    w->ShowWindow(false, false);
    return w;
}

RECT WindowRect(HWND h) {
    RECT rc{};
    platform::GetWindowRect(h, &rc);
    return rc;
}

RECT WorkAreaOf(HWND h) {
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    platform::GetMonitorInfo(platform::MonitorFromWindow(h, MONITOR_DEFAULTTONEAREST), &mi);
    return mi.rcWork;
}

class NotifyWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        main = new CRecorderWnd(WM_OPEN_CONVERSATION);
        ASSERT_TRUE(main->Create(nullptr, L"recorder", WS_POPUP, 0));
        tip = MakeNotifyWnd<CFrameTipUI>(*main);
        pop = MakeNotifyWnd<CFramePopUI>(*main);
        ASSERT_TRUE(tip && pop);
    }
    void TearDown() override {
        delete tip;
        delete pop;
        delete main;
    }
    static bool Visible(CWindowWnd* w) { return platform::IsWindowVisible(w->GetHWND()) != 0; }
    template <class Wnd> static CControlUI* Ctl(Wnd* w, const wchar_t* name) {
        return w->GetPaintManager().FindControl(name);
    }
    static void Click(CWindowWnd* w, const wchar_t* name) {
        auto* b = static_cast<CButtonUI*>(static_cast<WindowImplBase*>(w)->GetPaintManager().FindControl(name));
        ASSERT_NE(b, nullptr) << name;
        b->Activate();
    }
    // Replaces the desktop's opener by a script that appends its argument to a file.
    std::string InstallOpener() {
        std::string log = home.path() + "/opened.txt";
        std::string script = home.path() + "/opener.sh";
        WriteFileBytes(script, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + log + "'\n");
        fs::permissions(script, fs::perms::owner_all);
        setenv("SHOPDESK_OPENER", script.c_str(), 1);
        return log;
    }

    ScopedTestHome home;
    CRecorderWnd* main = nullptr;
    CFrameTipUI* tip = nullptr;
    CFramePopUI* pop = nullptr;
};

} // namespace

TEST_F(NotifyWndTest, CornerPlacementWithTheOtherWindowLifted) {
    tip->ShowMessage(L"c1", L"Ann", L"", L"hello there", L"", false);
    ASSERT_TRUE(Visible(tip));
    EXPECT_TRUE(tip->IsShown());
    EXPECT_EQ(Ctl(tip, L"user_name")->GetText(), L"Ann");
    EXPECT_EQ(Ctl(tip, L"msg_text")->GetText(), L"hello there");
    EXPECT_EQ(Ctl(tip, L"msg_text")->GetToolTip(), L"hello there");
    RECT work = WorkAreaOf(tip->GetHWND());
    RECT t = WindowRect(tip->GetHWND());
    EXPECT_EQ(t.right, work.right - 10);
    EXPECT_EQ(t.bottom, work.bottom - 10);

    pop->ShowMessage(L"Order 17 paid", L"2 items", L"", tip->IsShown());
    EXPECT_EQ(Ctl(pop, L"msg_title")->GetText(), L"Order 17 paid");
    RECT p = WindowRect(pop->GetHWND());
    EXPECT_EQ(p.right, work.right - 10);
    EXPECT_EQ(p.bottom, work.bottom - 10 - 142);

    // The other way round: the pop-up alone, then a tip 115 above it.
    tip->HideMessage();
    pop->HideMessage();
    EXPECT_FALSE(Visible(tip));
    EXPECT_FALSE(pop->IsShown());
    pop->ShowMessage(L"Order 18", L"x", L"", tip->IsShown());
    EXPECT_EQ(WindowRect(pop->GetHWND()).bottom, work.bottom - 10);
    tip->ShowMessage(L"c2", L"Bob", L"", L"hi", L"", pop->IsShown());
    EXPECT_EQ(WindowRect(tip->GetHWND()).bottom, work.bottom - 10 - 115);
    // The lower one hiding does not move the upper one.
    pop->HideMessage();
    Pump(50);
    EXPECT_EQ(WindowRect(tip->GetHWND()).bottom, work.bottom - 10 - 115);
}

TEST_F(NotifyWndTest, StackedWindowsLeaveTheLowerOnesTitleBarFree) {
    for (bool tipBelow : {true, false}) {
        tip->HideMessage();
        pop->HideMessage();
        if (tipBelow) {
            tip->ShowMessage(L"c1", L"Ann", L"", L"hello", L"", pop->IsShown());
            pop->ShowMessage(L"Order 17", L"paid", L"", tip->IsShown());
        } else {
            pop->ShowMessage(L"Order 17", L"paid", L"", tip->IsShown());
            tip->ShowMessage(L"c1", L"Ann", L"", L"hello", L"", pop->IsShown());
        }
        RECT lower = WindowRect(tipBelow ? tip->GetHWND() : pop->GetHWND());
        RECT upper = WindowRect(tipBelow ? pop->GetHWND() : tip->GetHWND());
        EXPECT_LT(upper.bottom, lower.top) << (tipBelow ? "pop-up over the tip" : "tip over the pop-up");
        EXPECT_EQ(lower.bottom, WorkAreaOf(tip->GetHWND()).bottom - 10);
    }
}

TEST_F(NotifyWndTest, ASecondTipRestartsTheFiveSeconds) {
    tip->ShowMessage(L"c1", L"Ann", L"", L"one", L"", false);
    Pump(3000);
    ASSERT_TRUE(Visible(tip));
    auto second = std::chrono::steady_clock::now();
    tip->ShowMessage(L"c2", L"Bob", L"", L"two", L"", false);
    EXPECT_EQ(Ctl(tip, L"user_name")->GetText(), L"Bob");
    Pump(2700); // 5.7 s after the first
    EXPECT_TRUE(Visible(tip)) << "the first tip's timer hid the second";
    ASSERT_TRUE(WaitFor([&] { return !Visible(tip); }, 4000));
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - second).count();
    EXPECT_GE(ms, 4900);
    EXPECT_FALSE(tip->IsShown());
}

TEST_F(NotifyWndTest, TipClickOpensTheLinkOrElseTheConversation) {
    std::string opened = InstallOpener();
    tip->ShowMessage(L"c1", L"Ann", L"", L"see the offer", L"https://shop.example/offer?id=7&x=1", false);
    Click(tip, L"msg_text");
    EXPECT_FALSE(Visible(tip));
    ASSERT_TRUE(WaitFor([&] { return ReadFileBytes(opened).size() > 0; }));
    EXPECT_EQ(ReadFileBytes(opened), "https://shop.example/offer?id=7&x=1\n");
    Pump(100);
    EXPECT_EQ(main->Count(WM_OPEN_CONVERSATION), 0u);

    tip->ShowMessage(L"c2", L"Bob", L"", L"hi", L"", false);
    Click(tip, L"msg_text");
    EXPECT_FALSE(Visible(tip));
    ASSERT_TRUE(WaitFor([&] { return main->Count(WM_OPEN_CONVERSATION) == 1; }));
    EXPECT_EQ(main->received.back().text, L"c2");

    // The close button only hides.
    tip->ShowMessage(L"c3", L"Cy", L"", L"hi", L"", false);
    Click(tip, L"hidebtn");
    EXPECT_FALSE(tip->IsShown());
    Pump(200);
    EXPECT_EQ(main->Count(WM_OPEN_CONVERSATION), 1u);
    EXPECT_EQ(ReadFileBytes(opened), "https://shop.example/offer?id=7&x=1\n");
    unsetenv("SHOPDESK_OPENER");
}

TEST_F(NotifyWndTest, PopupClickOpensItsLinkAndWithoutOneOnlyHides) {
    std::string opened = InstallOpener();
    pop->ShowMessage(L"Order", L"paid", L"", false);
    Click(pop, L"msg_text");
    EXPECT_FALSE(Visible(pop));
    EXPECT_FALSE(pop->IsShown());
    Pump(300);
    EXPECT_FALSE(fs::exists(opened));
    EXPECT_TRUE(main->received.empty());

    pop->ShowMessage(L"Order", L"paid", L"https://shop.example/order/17", false);
    Click(pop, L"msg_text");
    ASSERT_TRUE(WaitFor([&] { return ReadFileBytes(opened).size() > 0; }));
    EXPECT_EQ(ReadFileBytes(opened), "https://shop.example/order/17\n");
    Pump(100);
    EXPECT_TRUE(main->received.empty());
    unsetenv("SHOPDESK_OPENER");
}

// ---------------------------------------------------------------------------------------------
// The round avatar control.

namespace {

class CHeadHostWnd : public CSmallWindowUI {
public:
    DuiLib::CDuiString GetSkinFile() override {
        return L"<Window size=\"120,120\"><VerticalLayout bkcolor=\"#FF0000FF\">"
               L"<HeadIcon name=\"head\" width=\"60\" height=\"60\"/><Control/></VerticalLayout></Window>";
    }
};

class HeadTest : public ::testing::Test {
protected:
    void SetUp() override {
        wnd = new CHeadHostWnd();
        ASSERT_TRUE(wnd->Create(nullptr, L"head", WS_POPUP, 0));
        wnd->ShowWindow(true, false);
        head = static_cast<CHeadUI*>(wnd->GetPaintManager().FindControl(L"head")->GetInterface(L"HeadIcon"));
        ASSERT_NE(head, nullptr);
        red = home.path() + "/red.png";
        QImage img(60, 60, QImage::Format_ARGB32);
        img.fill(QColor(255, 0, 0));
        ASSERT_TRUE(img.save(QString::fromStdString(red)));
        ASSERT_TRUE(WaitFor([&] { return head->GetWidget() && head->GetWidget()->width() == 60; }));
    }
    void TearDown() override { delete wnd; }
    QImage Render() {
        Pump(20);
        return head->GetWidget()->grab().toImage();
    }
    static bool IsRgb(QRgb p, int r, int g, int b) {
        return std::abs(qRed(p) - r) < 40 && std::abs(qGreen(p) - g) < 40 && std::abs(qBlue(p) - b) < 40 && qAlpha(p) > 200;
    }

    ScopedTestHome home;
    CHeadHostWnd* wnd = nullptr;
    CHeadUI* head = nullptr;
    std::string red;
};

} // namespace

TEST_F(HeadTest, SkinAttributes) {
    EXPECT_EQ(head->GetFixedPenColor(), 0xFFFFFFFFu);
    EXPECT_EQ(head->GetPenWidth(), 2);
    head->SetAttribute(L"pencolor", L"  #FF112233");
    EXPECT_EQ(head->GetFixedPenColor(), 0xFF112233u);
    head->SetAttribute(L"pencolor", L"#112233"); // as written: no alpha
    EXPECT_EQ(head->GetFixedPenColor(), 0x00112233u);
    head->SetAttribute(L"autopencolor", L"true");
    EXPECT_TRUE(head->IsAutoPenColor());
    head->SetAttribute(L"autopencolor", L"TRUE");
    EXPECT_FALSE(head->IsAutoPenColor());
    head->SetAttribute(L"penwidth", L"7");
    EXPECT_EQ(head->GetPenWidth(), 7);
    EXPECT_EQ(head->GetClass(), L"HeadIconUI");
    EXPECT_EQ(head->GetInterface(L"headicon"), nullptr);
    EXPECT_NE(head->GetInterface(L"Label"), nullptr);
}

TEST_F(HeadTest, DrawsARoundImageWithItsRing) {
    head->SetAttribute(L"pencolor", L"#FF00FF00");
    head->SetAttribute(L"penwidth", L"8");
    head->SetHeadImage(AnsiToWide(red).c_str());
    QImage img = Render();
    ASSERT_EQ(img.width(), 60);
    EXPECT_TRUE(IsRgb(img.pixel(30, 30), 255, 0, 0));
    EXPECT_TRUE(IsRgb(img.pixel(30, 1), 0, 255, 0)) << std::hex << img.pixel(30, 1);
    EXPECT_FALSE(IsRgb(img.pixel(1, 1), 255, 0, 0)); // outside the circle

    // Six digits: alpha 0, the ring is invisible and the image shows through.
    head->SetAttribute(L"pencolor", L"#00FF00");
    img = Render();
    EXPECT_TRUE(IsRgb(img.pixel(30, 1), 255, 0, 0)) << std::hex << img.pixel(30, 1);

    // Automatic: the colour of the background just outside the circle.
    head->SetAttribute(L"autopencolor", L"true");
    img = Render();
    EXPECT_TRUE(IsRgb(img.pixel(30, 1), 0, 0, 255)) << std::hex << img.pixel(30, 1);
}

TEST_F(HeadTest, MissingOrEmptyImageDrawsNothing) {
    head->SetAttribute(L"pencolor", L"#FF00FF00");
    head->SetHeadImage(L"");
    EXPECT_EQ(std::wstring(head->GetBkImage()), std::wstring(CPaintManagerUI::GetInstancePath()));
    QImage img = Render();
    EXPECT_FALSE(IsRgb(img.pixel(30, 30), 255, 0, 0));
    EXPECT_FALSE(IsRgb(img.pixel(30, 1), 0, 255, 0)); // no ring either

    head->SetHeadImage(AnsiToWide(home.path() + "/missing.png").c_str());
    img = Render();
    EXPECT_FALSE(IsRgb(img.pixel(30, 1), 0, 255, 0));

    // A file that is not an image.
    WriteFileBytes(home.path() + "/text.png", "not a picture");
    head->SetHeadImage(AnsiToWide(home.path() + "/text.png").c_str());
    img = Render();
    EXPECT_FALSE(IsRgb(img.pixel(30, 1), 0, 255, 0));
}

TEST(TrayIconPos, WithoutATrayHostNothingIsFoundAndTheRectStays) {
    CRecorderWnd owner;
    ASSERT_TRUE(owner.Create(nullptr, L"owner", WS_POPUP, 0));
    CDuiTrayIcon::GetInstance()->CreateTrayIcon(owner, 150, L"塔铎工作台\r\n管家:Ann");
    CTrayIconPos pos;
    RECT rc{1, 2, 3, 4};
    EXPECT_FALSE(pos.GetTrayIconRect(L"塔铎工作台", rc));
    EXPECT_FALSE(pos.GetTrayIconRect(L"", rc));
    EXPECT_FALSE(pos.GetTrayIconRect(L"other program", rc));
    EXPECT_EQ(rc.left, 1);
    EXPECT_EQ(rc.top, 2);
    EXPECT_EQ(rc.right, 3);
    EXPECT_EQ(rc.bottom, 4);
    CDuiTrayIcon::GetInstance()->DeleteTrayIcon();
}
