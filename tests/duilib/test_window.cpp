// Windows at work: clicks and selection, modal runs and their close codes, messages and
// timers, menus and the tray icon.
#include <gtest/gtest.h>

#include <map>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <thread>

#include "duitest.h"

using namespace DuiLib;

namespace {

const wchar_t* kControls = LR"(<Window size="400,420"><VerticalLayout>
    <HorizontalLayout height="30">
      <Button name="btn" text="go"/><Button name="off" text="off" enabled="false"/><Button name="closebtn" width="30"/>
    </HorizontalLayout>
    <HorizontalLayout height="30">
      <Option name="a" group="g" selected="true"/><Option name="b" group="g"/><CheckBox name="chk"/>
    </HorizontalLayout>
    <Edit name="edit" height="26"/>
    <Combo name="combo" height="26"/>
    <List name="list" height="200"/>
  </VerticalLayout></Window>)";

const wchar_t* kRow = LR"(<ListContainerElement height="40"><HorizontalLayout>
    <Label name="row_text" text="row"/><Button name="row_btn" width="40" text="x"/></HorizontalLayout></ListContainerElement>)";

void Click(CControlUI* c) {
    ASSERT_NE(c, nullptr);
    QTest::mouseClick(c->GetWidget(), Qt::LeftButton, Qt::NoModifier, c->GetWidget()->rect().center());
}

} // namespace

TEST(Window, ClicksNotifyByNameAndDisabledButtonsStaySilent) {
    Shown s(kControls);
    Click(s.w.Find(L"btn"));
    EXPECT_TRUE(s.w.Saw(L"click:btn"));
    s.w.notes.clear();
    Click(s.w.Find(L"off"));
    EXPECT_TRUE(s.w.notes.empty());
    // Pressing, then releasing outside is no click.
    QWidget* bw = s.w.Find(L"btn")->GetWidget();
    QTest::mousePress(bw, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    QTest::mouseRelease(bw, Qt::LeftButton, Qt::NoModifier, QPoint(-50, -50));
    EXPECT_TRUE(s.w.notes.empty());
    // The base click handler closes the window for "closebtn".
    HWND h = s.w.GetHWND();
    Click(s.w.Find(L"closebtn"));
    ASSERT_TRUE(WaitFor([&] { return !platform::IsWindow(h); }));
    EXPECT_EQ(s.w.finalCount, 1);
}

TEST(Window, OptionsInAGroupSwitchAndCheckBoxesToggle) {
    Shown s(kControls);
    auto* a = s.w.Find<COptionUI>(L"a");
    auto* b = s.w.Find<COptionUI>(L"b");
    auto* chk = s.w.Find<COptionUI>(L"chk");
    Click(b);
    EXPECT_TRUE(b->IsSelected());
    EXPECT_FALSE(a->IsSelected());
    ASSERT_GE(s.w.notes.size(), 3u);
    EXPECT_EQ(s.w.notes[0], L"click:b") << "the click comes before the selection change";
    EXPECT_EQ(s.w.notes[1], L"selectchanged:b");
    EXPECT_EQ(s.w.notes[2], L"selectchanged:a");
    s.w.notes.clear();
    Click(b);
    EXPECT_TRUE(b->IsSelected()) << "a grouped option stays selected";
    EXPECT_EQ(s.w.notes, std::vector<std::wstring>{L"click:b"});
    s.w.notes.clear();
    Click(chk);
    Click(chk);
    EXPECT_FALSE(chk->IsSelected());
    EXPECT_EQ(std::count(s.w.notes.begin(), s.w.notes.end(), L"selectchanged:chk"), 2);
    s.w.notes.clear();
    chk->Selected(true, false);
    EXPECT_TRUE(chk->IsSelected());
    EXPECT_TRUE(s.w.notes.empty());
}

TEST(Window, ListRowsAndComboItemsSelectWithItemSelect) {
    Shown s(kControls);
    auto* list = s.w.Find<CListUI>(L"list");
    for (int i = 0; i < 3; ++i) {
        CDialogBuilder b;
        CControlUI* row = b.Create(kRow, nullptr, &s.w, &s.w.GetPaintManager());
        ASSERT_NE(row, nullptr);
        list->Add(row);
    }
    ASSERT_TRUE(WaitFor([&] { return list->GetItemAt(2)->GetWidget()->height() == 40; }));
    // A click on a row's label selects the row.
    Click(s.w.GetPaintManager().FindSubControlByName(list->GetItemAt(1), L"row_text"));
    EXPECT_TRUE(s.w.Saw(L"itemselect:list"));
    EXPECT_EQ(s.w.lastWParam, 1u);
    EXPECT_EQ(s.w.lastLParam, -1);
    EXPECT_EQ(list->GetCurSel(), 1);
    s.w.notes.clear();
    Click(list->GetItemAt(1));
    EXPECT_TRUE(s.w.notes.empty()) << "the selected row again changes nothing";
    // A button inside a row clicks as itself.
    Click(s.w.GetPaintManager().FindSubControlByName(list->GetItemAt(2), L"row_btn"));
    EXPECT_EQ(s.w.notes, std::vector<std::wstring>{L"click:row_btn"});
    EXPECT_EQ(list->GetCurSel(), 1);
    // Removing rows keeps the selection on the same row, or clears it.
    list->RemoveAt(0);
    EXPECT_EQ(list->GetCurSel(), 0);
    list->RemoveAll();
    EXPECT_EQ(list->GetCurSel(), -1);
    EXPECT_FALSE(list->SelectItem(0));

    auto* combo = s.w.Find<CComboUI>(L"combo");
    for (int i = 0; i < 3; ++i) {
        auto* item = new CListLabelElementUI;
        item->SetText((L"shop" + std::to_wstring(i)).c_str());
        item->SetTag(static_cast<UINT_PTR>(100 + i));
        combo->Add(item);
    }
    s.w.notes.clear();
    combo->SelectItem(2, false, false);
    EXPECT_TRUE(s.w.notes.empty());
    EXPECT_EQ(combo->GetText(), L"shop2");
    combo->SelectItem(0);
    EXPECT_TRUE(s.w.Saw(L"itemselect:combo"));
    EXPECT_EQ(combo->GetItemAt(combo->GetCurSel())->GetTag(), 100u);
}

TEST(Window, EditSendsReturnAndKeepsItsText) {
    Shown s(kControls);
    auto* edit = s.w.Find<CEditUI>(L"edit");
    edit->SetText(L"12");
    EXPECT_EQ(edit->GetText(), L"12");
    QTest::keyClicks(edit->GetLineEdit(), QStringLiteral("3"));
    QKeyEvent cjk(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("中"));
    QApplication::sendEvent(edit->GetLineEdit(), &cjk);
    EXPECT_EQ(edit->GetText(), L"123中");
    EXPECT_TRUE(s.w.Saw(L"textchanged:edit"));
    QTest::keyClick(edit->GetLineEdit(), Qt::Key_Return);
    EXPECT_TRUE(s.w.Saw(L"return:edit"));
}

namespace {

class CDialog : public CTestWnd {
public:
    CDialog()
        : CTestWnd(LR"(<Window size="200,100"><HorizontalLayout>
            <Button name="ok"/><Button name="cancel"/><Button name="close_btn"/></HorizontalLayout></Window>)") {}
    void OnClick(TNotifyUI& msg) override {
        CDuiString n = msg.pSender->GetName();
        if (n == L"ok")
            Close(IDOK);
        else if (n == L"cancel")
            Close(IDCANCEL);
        else if (n == L"close_btn")
            Close(IDCLOSE);
        CTestWnd::OnClick(msg);
    }
};

} // namespace

TEST(Window, ModalRunsEndWithTheirCloseCodeAndReenableTheOwner) {
    Shown owner(kControls);
    for (auto [button, code] : {std::pair<const wchar_t*, UINT>{L"ok", 1}, {L"cancel", 2}, {L"close_btn", 8}}) {
        auto* dlg = new CDialog;
        dlg->deleteSelf = true;
        ASSERT_NE(dlg->Create(owner.w.GetHWND(), L"", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW), nullptr);
        dlg->CenterWindow();
        CControlUI* btn = dlg->Find(button);
        bool ownerDisabled = false;
        QTimer::singleShot(30, [&] {
            ownerDisabled = !platform::IsWindowEnabled(owner.w.GetHWND());
            Click(btn);
        });
        EXPECT_EQ(dlg->ShowModal(), code) << button;
        EXPECT_TRUE(ownerDisabled);
        EXPECT_TRUE(platform::IsWindowEnabled(owner.w.GetHWND()));
    }
}

TEST(Window, QuitMessageEndsAModalRunWithoutDestroyingTheWindow) {
    CDialog dlg;
    ASSERT_NE(dlg.Create(nullptr, L"", WS_POPUP, 0), nullptr);
    QTimer::singleShot(20, [] { platform::PostQuitMessage(0); });
    EXPECT_EQ(dlg.ShowModal(), 0u);
    EXPECT_TRUE(platform::IsWindow(dlg.GetHWND()));
    EXPECT_EQ(dlg.finalCount, 0);
}

TEST(Window, SystemCloseDestroysUnlessTheWindowTakesIt) {
    CDialog dlg;
    ASSERT_NE(dlg.Create(nullptr, L"", WS_POPUP, 0), nullptr);
    dlg.ShowWindow(true);
    HWND h = dlg.GetHWND();
    QTimer::singleShot(20, [&] { dlg.GetHostWidget()->close(); });
    EXPECT_EQ(dlg.ShowModal(), 0u) << "closed by the system, not by a button";
    EXPECT_FALSE(platform::IsWindow(h));
    EXPECT_EQ(dlg.CountMsg(WM_DESTROY), 1u) << "WM_DESTROY reaches HandleCustomMessage";

    CDialog keeps;
    keeps.hideOnClose = true;
    ASSERT_NE(keeps.Create(nullptr, L"", WS_POPUP, 0), nullptr);
    keeps.ShowWindow(true);
    keeps.GetHostWidget()->close();
    platform::PumpMessages(20);
    EXPECT_TRUE(platform::IsWindow(keeps.GetHWND()));
    EXPECT_FALSE(platform::IsWindowVisible(keeps.GetHWND()));
}

TEST(Window, PostsFromWorkersAndTimersReachTheWindowThread) {
    CDialog w;
    ASSERT_NE(w.Create(nullptr, L"", WS_POPUP, 0), nullptr);
    const UINT kDone = 3042;
    std::thread worker([h = w.GetHWND()] {
        for (int i = 0; i < 20; ++i)
            platform::PostMessage(h, kDone, static_cast<WPARAM>(i), 0);
    });
    worker.join();
    ASSERT_TRUE(WaitFor([&] { return w.CountMsg(kDone) == 20; }));
    for (auto& r : w.messages)
        if (r.msg == kDone) {
            EXPECT_EQ(r.thread, QThread::currentThread());
        }
    ASSERT_EQ(platform::SetTimer(w.GetHWND(), 1, 15), 1u);
    ASSERT_TRUE(WaitFor([&] { return w.CountMsg(WM_TIMER) >= 2; }));
    platform::KillTimer(w.GetHWND(), 1);

    // A window destroyed with a message and a timer pending gets neither.
    auto* gone = new CDialog;
    gone->deleteSelf = true;
    HWND h = gone->Create(nullptr, L"", WS_POPUP, 0);
    platform::SetTimer(h, 1, 5);
    platform::PostMessage(h, kDone, 0, 0);
    platform::DestroyWindow(h);
    EXPECT_FALSE(platform::IsWindow(h));
    EXPECT_FALSE(platform::PostMessage(h, kDone, 0, 0));
    EXPECT_EQ(platform::SetTimer(h, 2, 5), 0u);
    platform::PumpMessages(40);
}

TEST(Window, MenuItemsPostTheirNameToTheOwnerWindow) {
    Shown owner(kControls);
    std::vector<std::wstring> chosen;
    owner.w.onMessage = [&](UINT m, WPARAM wp, LPARAM, BOOL& handled) -> LRESULT {
        if (m == WM_MENUCLICK) {
            auto* name = reinterpret_cast<CDuiString*>(wp);
            chosen.push_back(*name);
            CPaintManagerUI::DeletePtr(name);
            handled = TRUE;
        }
        return 0;
    };
    CMenuWnd menu;
    menu.Init(nullptr, LR"(<Window><Menu width="150">
        <MenuElement name="menu_account"><Label name="account" text="管家:"/></MenuElement>
        <MenuElement name="menu_switch" text="切换"/><MenuElement name="menu_quit" text="退出"/></Menu></Window>)",
              POINT{300, 300}, &owner.w.GetPaintManager(), nullptr, eMenuAlignment_Left | eMenuAlignment_Bottom);
    ASSERT_NE(menu.GetHWND(), nullptr);
    CMenuUI* ui = menu.GetMenuUI();
    ASSERT_NE(ui, nullptr);
    ASSERT_EQ(ui->GetCount(), 3);
    CControlUI* account = menu.GetPaintManager().FindSubControlByName(ui->GetItemAt(0), L"account");
    ASSERT_NE(account, nullptr);
    account->SetText(L"管家:小王");
    RECT rc;
    platform::GetWindowRect(menu.GetHWND(), &rc);
    EXPECT_EQ(rc.left, 300);
    EXPECT_EQ(rc.bottom, 300) << "bottom alignment puts the menu above the point";
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu.GetHostWidget()));
    Click(ui->GetItemAt(2));
    ASSERT_TRUE(WaitFor([&] { return !chosen.empty(); }));
    EXPECT_EQ(chosen, std::vector<std::wstring>{L"menu_quit"});
    EXPECT_TRUE(WaitFor([&] { return menu.GetHWND() == nullptr; })) << "the menu closes after a choice";
}

TEST(Window, TrayIconWithoutATrayHostKeepsItsState) {
    CDialog w;
    ASSERT_NE(w.Create(nullptr, L"", WS_POPUP, 0), nullptr);
    CDuiTrayIcon& tray = CDuiTrayIcon::Instance();
    ASSERT_TRUE(tray.CreateTrayIcon(w.GetHWND(), 150, L"塔铎工作台"));
    EXPECT_EQ(tray.GetTooltipText(), L"塔铎工作台");
    EXPECT_FALSE(tray.IsTwinkling());
    tray.StartTwinkling();
    EXPECT_TRUE(tray.IsTwinkling());
    tray.SetIcon(128);
    tray.SetTooltipText(L"塔铎工作台\r\n管家:张三");
    EXPECT_TRUE(tray.ReCreateTrayIcon());
    EXPECT_TRUE(tray.IsTwinkling());
    EXPECT_EQ(tray.GetIconID(), 128u);
    EXPECT_EQ(tray.GetTooltipText(), L"塔铎工作台\r\n管家:张三");
    if (!CDuiTrayIcon::IsTrayAvailable()) {
        RECT rc{1, 2, 3, 4};
        EXPECT_FALSE(tray.GetIconRect(rc));
        EXPECT_EQ(rc.left, 1);
    }
    platform::PumpMessages(50);
    tray.StopTwinkling();
    EXPECT_FALSE(tray.IsTwinkling());
    tray.DeleteTrayIcon();
    EXPECT_FALSE(tray.IsCreated());
}

TEST(Window, PlacementFollowsOwnerScreenAndExplicitMoves) {
    Shown owner(kControls);
    platform::SetWindowPos(owner.w.GetHWND(), nullptr, 100, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT o;
    ASSERT_TRUE(platform::GetWindowRect(owner.w.GetHWND(), &o));
    EXPECT_EQ(o.left, 100);
    EXPECT_EQ(o.top, 50);
    EXPECT_EQ(o.right - o.left, 400);

    CDialog dlg;
    ASSERT_NE(dlg.Create(owner.w.GetHWND(), L"", WS_POPUP, WS_EX_TOOLWINDOW), nullptr);
    dlg.CenterWindow();
    RECT d;
    platform::GetWindowRect(dlg.GetHWND(), &d);
    EXPECT_NEAR((d.left + d.right) / 2, (o.left + o.right) / 2, 1) << "centred over its visible owner";
    EXPECT_NEAR((d.top + d.bottom) / 2, (o.top + o.bottom) / 2, 1);

    dlg.ResizeClient(258, 136);
    RECT c;
    platform::GetClientRect(dlg.GetHWND(), &c);
    EXPECT_EQ(c.right, 258);
    EXPECT_EQ(c.bottom, 136);

    MONITORINFO mi{sizeof(mi), {}, {}, 0};
    HMONITOR mon = platform::MonitorFromWindow(dlg.GetHWND(), MONITOR_DEFAULTTONEAREST);
    ASSERT_NE(mon, nullptr);
    ASSERT_TRUE(platform::GetMonitorInfo(mon, &mi));
    EXPECT_GT(mi.rcWork.right - mi.rcWork.left, 0);
    EXPECT_GE(mi.rcWork.left, mi.rcMonitor.left);
    EXPECT_LE(mi.rcWork.bottom, mi.rcMonitor.bottom);
    EXPECT_FALSE(platform::GetMonitorInfo(nullptr, &mi));
    EXPECT_GE(platform::GetDeviceCaps(dlg.GetHWND(), LOGPIXELSX), 72);
    EXPECT_EQ(platform::GetDeviceCaps(dlg.GetHWND(), 12345), 0);

    // Without a visible owner: on the work area.
    CDialog alone;
    ASSERT_NE(alone.Create(nullptr, L"", WS_POPUP, 0), nullptr);
    alone.CenterWindow();
    RECT a;
    platform::GetWindowRect(alone.GetHWND(), &a);
    EXPECT_NEAR((a.left + a.right) / 2, (mi.rcWork.left + mi.rcWork.right) / 2, 1);
    FLASHWINFO fi{sizeof(fi), alone.GetHWND(), FLASHW_TRAY | FLASHW_TIMERNOFG, 5, 0};
    platform::FlashWindowEx(&fi);
    FLASHWINFO gone{sizeof(gone), reinterpret_cast<HWND>(0x77), FLASHW_TRAY, 5, 0};
    EXPECT_FALSE(platform::FlashWindowEx(&gone));
}

TEST(Window, ShowAndHideAreReportedAndNativeChildWindowsLiveInside) {
    CDialog w;
    ASSERT_NE(w.Create(nullptr, L"", WS_POPUP, 0), nullptr);
    w.ShowWindow(true, false);
    w.ShowWindow(false);
    ASSERT_EQ(w.CountMsg(WM_SHOWWINDOW), 2u);
    EXPECT_EQ(w.messages[w.messages.size() - 1].w, static_cast<WPARAM>(FALSE));

    HWND child = platform::CreateChildWindow(w.GetHWND(), 40, 40, 120, 90, true);
    ASSERT_NE(child, nullptr);
    EXPECT_TRUE(platform::IsWindow(child));
    EXPECT_EQ(platform::GetNativeWindowId(child), 0u) << "offscreen windows have no id to draw into";
    bool listed = false;
    platform::EnumWindows([&](HWND h) {
        listed |= h == child;
        return true;
    });
    EXPECT_FALSE(listed) << "child windows are not top-level";
    EXPECT_TRUE(platform::SetWindowPos(child, nullptr, 10, 12, 50, 60, SWP_NOZORDER | SWP_NOACTIVATE));
    RECT rc;
    platform::GetClientRect(child, &rc);
    EXPECT_EQ(rc.right, 50);
    EXPECT_TRUE(platform::DestroyWindow(child));
    EXPECT_FALSE(platform::IsWindow(child));
    EXPECT_EQ(platform::CreateChildWindow(reinterpret_cast<HWND>(0x99), 0, 0, 1, 1, true), nullptr);
}

TEST(Window, TabLayoutShowsOneChildAndAsyncNotificationsSkipDeletedSenders) {
    Shown s(LR"(<Window size="200,200"><TabLayout name="tabs" selectedid="1">
        <Label name="p0"/><Label name="p1"/><Label name="p2"/></TabLayout></Window>)");
    auto* tabs = s.w.Find<CTabLayoutUI>(L"tabs");
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->GetCurSel(), 1);
    EXPECT_TRUE(s.w.Find(L"p0")->GetWidget()->isHidden());
    EXPECT_FALSE(s.w.Find(L"p1")->GetWidget()->isHidden());
    EXPECT_TRUE(tabs->SelectItem(2));
    EXPECT_TRUE(s.w.Find(L"p1")->GetWidget()->isHidden());
    EXPECT_FALSE(s.w.Find(L"p2")->GetWidget()->isHidden());
    EXPECT_FALSE(tabs->SelectItem(3));

    CControlUI* p0 = s.w.Find(L"p0");
    s.w.GetPaintManager().SendNotify(p0, L"custom", 0, 0, true);
    s.w.GetPaintManager().SendNotify(s.w.Find(L"p2"), L"custom", 0, 0, true);
    tabs->Remove(p0);
    s.w.notes.clear();
    platform::PumpMessages(30);
    std::vector<std::wstring> custom;
    for (const std::wstring& n : s.w.notes)
        if (n.rfind(L"custom:", 0) == 0)
            custom.push_back(n);
    EXPECT_EQ(custom, std::vector<std::wstring>{L"custom:p2"});
}

TEST(Window, ThePointerRepaintsOnlyTheControlItMakesHot) {
    Shown s(LR"(<Window size="200,120"><VerticalLayout name="root" bkcolor="#FF336699">
        <HorizontalLayout name="bar" height="40" bkcolor="#FF224466"><Button name="b" width="60" text="b"/></HorizontalLayout>
        <Label name="rest" text="x"/></VerticalLayout></Window>)");
    ASSERT_TRUE(s.exposed);
    QWidget* host = s.w.GetHostWidget();
    // What each widget repainted, in the window's coordinates.
    struct Painted : QObject {
        QWidget* host = nullptr;
        std::map<QObject*, QRegion> region;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (e->type() == QEvent::Paint) {
                auto* w = static_cast<QWidget*>(o);
                region[o] += static_cast<QPaintEvent*>(e)->region().translated(w->mapTo(host, QPoint(0, 0)));
            }
            return false;
        }
    } painted;
    painted.host = host;
    QWidget* root = s.w.Find(L"root")->GetWidget();
    QWidget* bar = s.w.Find(L"bar")->GetWidget();
    QWidget* button = s.w.Find(L"b")->GetWidget();
    for (QWidget* w : {root, bar, button})
        w->installEventFilter(&painted);
    Pump(50);
    painted.region.clear();

    QTest::mouseMove(host, button->mapTo(host, button->rect().center()));
    ASSERT_TRUE(WaitFor([&] { return !painted.region[button].isEmpty(); })) << "the hot button repaints";
    QTest::mouseMove(host, s.w.Find(L"rest")->GetWidget()->mapTo(host, QPoint(5, 5)));
    Pump(50);
    // Beneath the button its containers show through; nowhere else need they repaint.
    QRect buttonArea(button->mapTo(host, QPoint(0, 0)), button->size());
    EXPECT_TRUE((painted.region[root] - buttonArea).isEmpty())
        << "the window's root repainted " << painted.region[root].boundingRect().width() << "x"
        << painted.region[root].boundingRect().height() << " as the pointer entered and left it";
    EXPECT_TRUE((painted.region[bar] - buttonArea).isEmpty());
}

TEST(Window, TheFirstPaintSendsWindowInitOnce) {
    CTestWnd w(LR"(<Window size="160,120"><VerticalLayout name="root" bkcolor="#FF336699">
        <Label name="l" text="x"/></VerticalLayout></Window>)");
    ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
    Pump(60);
    EXPECT_FALSE(w.Saw(L"windowinit:root")) << "a window never shown is never painted";
    w.ShowWindow(true, true);
    EXPECT_FALSE(w.Saw(L"windowinit:root")) << "sent from the loop, after the paint";
    ASSERT_TRUE(WaitFor([&] { return w.Saw(L"windowinit:root"); }));
    w.Find(L"l")->GetWidget()->update();
    w.GetHostWidget()->repaint();
    w.ShowWindow(false);
    w.ShowWindow(true, true);
    Pump(60);
    size_t count = 0;
    for (const std::wstring& n : w.notes)
        count += n.rfind(L"windowinit:", 0) == 0;
    EXPECT_EQ(count, 1u);
    w.Close();
    Pump(20);
}
