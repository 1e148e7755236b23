#pragma once
// What the message-center tests share: a real main window against the demo server, signed in
// through its own browser, and user input through the toolkit's real widgets (mouse clicks,
// typing, picking a drop-down entry).
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "common/sysutils.h"
#include "demopeer.h"
#include "duilib/uicefbrowser.h"
#include "duilib/uimanager.h"
#include "mainframe/cmainframeui.h"
#include "settings/configmanage.h"
#include "support/qtwait.h"
#include "support/testenv.h"

namespace msgtest {

inline DuiLib::CControlUI* Find(DuiLib::CWindowWnd* w, const wchar_t* name) {
    return static_cast<DuiLib::WindowImplBase*>(w)->GetPaintManager().FindControl(name);
}

inline DuiLib::CControlUI* FindIn(DuiLib::CWindowWnd* w, DuiLib::CControlUI* parent, const wchar_t* name) {
    return static_cast<DuiLib::WindowImplBase*>(w)->GetPaintManager().FindSubControlByName(parent, name);
}

inline bool Shown(DuiLib::CControlUI* c) { return c && c->IsVisible() && c->GetWidget() && c->GetWidget()->isVisible(); }

// A left click in the middle of the control's widget, as the mouse gives it.
inline void Click(DuiLib::CControlUI* c) {
    ASSERT_NE(c, nullptr);
    ASSERT_TRUE(c->GetWidget());
    QTest::mouseClick(c->GetWidget(), Qt::LeftButton, Qt::NoModifier, c->GetWidget()->rect().center());
}

// Opens the drop-down with a click and clicks its entry `index` once the drop-down is up.
inline void Pick(DuiLib::CControlUI* combo, int index) {
    ASSERT_NE(combo, nullptr);
    auto* box = static_cast<DuiLib::CComboUI*>(combo->GetInterface(L"Combo"));
    ASSERT_NE(box, nullptr);
    Click(combo);
    QWidget* drop = box->GetDropDown();
    ASSERT_NE(drop, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(drop));
    // Rows lie one under the other from the top border, each as tall as its item (24 by default).
    int y = 1;
    for (int k = 0; k < index; ++k) {
        DuiLib::CControlUI* item = box->GetItemAt(k);
        y += item && item->GetFixedHeight() > 0 ? item->GetFixedHeight() : 24;
    }
    DuiLib::CControlUI* row = box->GetItemAt(index);
    int height = row && row->GetFixedHeight() > 0 ? row->GetFixedHeight() : 24;
    QTest::mouseClick(drop, Qt::LeftButton, Qt::NoModifier, QPoint(drop->width() / 2, y + height / 2));
    Pump(50);
}

// Replaces the page edit's text by typing, then presses Return.
inline void TypeAndReturn(DuiLib::CControlUI* edit, const QString& text) {
    ASSERT_NE(edit, nullptr);
    auto* e = static_cast<DuiLib::CEditUI*>(edit->GetInterface(L"Edit"));
    ASSERT_NE(e, nullptr);
    QTest::mouseClick(e->GetLineEdit(), Qt::LeftButton);
    e->GetLineEdit()->selectAll();
    QTest::keyClick(e->GetLineEdit(), Qt::Key_Backspace);
    QTest::keyClicks(e->GetLineEdit(), text);
    QTest::keyClick(e->GetLineEdit(), Qt::Key_Return);
}

// Merchant API requests the demo server saw, as "METHOD target".
inline std::vector<std::string> ApiRequests(const DemoPeer& peer) {
    std::vector<std::string> out;
    for (const Json::Value& r : peer.Requests()) {
        std::string target = r["target"].asString();
        if (target.rfind("/tessaril/api/", 0) == 0)
            out.push_back(r["method"].asString() + " " + target + (r["body"].asString().empty() ? "" : " " + r["body"].asString()));
    }
    return out;
}

// The main window of one merchant, signed in through its browser; the suite starts the demo
// server and the browser runtime once.
class MainWindowSession : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_peer = new DemoPeer();
        ASSERT_TRUE(s_peer->StartInFreshFolder());
        for (const char* var : {"SHOPDESK_CONSOLE_HOST", "SHOPDESK_MERCHANT_HOST", "SHOPDESK_MOBILE_HOST"})
            setenv(var, s_peer->BaseUrl().c_str(), 1);
        CHttpWork::GetInstance()->ReloadDeployConfig();
        ASSERT_TRUE(DuiLib::CCefBrowserUI::InitCef(nullptr, L"", L""));
    }
    static void TearDownTestSuite() {
        DuiLib::CCefBrowserUI::Quit();
        delete s_peer;
        s_peer = nullptr;
    }
    void TearDown() override { Close(); }

    // Opens the main window and signs `uid` in through the console, until the page has reported
    // the account kind (the permission answer may still be on its way).
    void SignInAs(const std::string& uid) {
        std::string cache = home.path() + "/cache/";
        std::filesystem::create_directories(cache);
        CConfigManage::GetInstance()->Init(AnsiToWide(cache));
        frame = new CMainFrameUI();
        frame->InitParams(AnsiToWide(cache), STRUCT_Config{0, 1, 1, 1, 1, 1, 1, 1}, L"");
        ASSERT_TRUE(frame->Create(nullptr, L"QDX_IM", WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE));
        frame->CenterWindow();
        frame->ShowWindow(true, true);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame->GetHostWidget()));
        frame->GetBrowser()->LoadURL(AnsiToWide(s_peer->BaseUrl() + "/admin/login?account=" + uid + "&uid=" + uid));
        ASSERT_TRUE(WaitFor([&] { return frame->GetOtaId() != 0; }, 20000)) << "the console never reported the account";
    }
    void Close() {
        if (!frame)
            return;
        platform::DestroyWindow(frame->GetHWND());
        Pump(50);
        delete frame;
        frame = nullptr;
        platform::RunModalLoop(nullptr);
    }
    DuiLib::CControlUI* Main(const wchar_t* name) { return Find(frame, name); }

    static DemoPeer* s_peer;
    ScopedTestHome home;
    CMainFrameUI* frame = nullptr;
};

inline DemoPeer* MainWindowSession::s_peer = nullptr;

} // namespace msgtest
