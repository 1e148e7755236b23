// The hover list over the tray icon as a real window: its record store, the rows built from the
// row skin, its size and place, the 2-second check of the cursor and the messages it posts.
#include <gtest/gtest.h>

#include <QCursor>
#include <QTest>

#include <QThread>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <thread>

#include "common/custommsg.h"
#include "duilib/uicontrols.h"
#include "notify/cframehoverui.h"
#include "support/qtwait.h"

using namespace DuiLib;

namespace {

class HoverTest : public ::testing::Test {
protected:
    void SetUp() override {
        main = new CRecorderWnd(WM_OPEN_CONVERSATION);
        ASSERT_TRUE(main->Create(nullptr, L"recorder", WS_POPUP, 0));
        hover = new CFrameHoverUI();
        ASSERT_TRUE(hover->Create(nullptr, kMainWndClass, WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST));
        hover->SetMainHwnd(*main);
        hover->ShowWindow(false, false);
        list = static_cast<CListUI*>(hover->GetPaintManager().FindControl(L"list_message"));
        ASSERT_NE(list, nullptr);
        // Far from the (unknown, all-zero) icon rectangle and from the window.
        QCursor::setPos(400, 10);
    }
    void TearDown() override {
        delete hover;
        delete main;
    }

    bool Visible() const { return platform::IsWindowVisible(hover->GetHWND()) != 0; }
    // The rows, size and place follow the records in the loop's next turn.
    static void NextTurn() { platform::PumpMessages(1); }
    std::wstring RowId(int i) const {
        CControlUI* row = list->GetItemAt(i);
        auto* id = row ? reinterpret_cast<std::wstring*>(row->GetTag()) : nullptr;
        return id ? *id : L"<none>";
    }
    std::wstring RowText(int i, const wchar_t* name) const {
        CControlUI* row = list->GetItemAt(i);
        CControlUI* c = row ? hover->GetPaintManager().FindSubControlByName(row, name) : nullptr;
        return c ? std::wstring(c->GetText()) : L"<missing>";
    }
    RECT Client() const {
        RECT rc{};
        platform::GetClientRect(hover->GetHWND(), &rc);
        return rc;
    }
    RECT WorkArea() const {
        MONITORINFO mi{};
        mi.cbSize = sizeof(mi);
        platform::GetMonitorInfo(platform::MonitorFromWindow(hover->GetHWND(), MONITOR_DEFAULTTONEAREST), &mi);
        return mi.rcWork;
    }
    // A user's click on row `i`.
    void ClickRow(int i) {
        CControlUI* row = list->GetItemAt(i);
        ASSERT_NE(row, nullptr);
        QTest::mouseClick(row->GetWidget(), Qt::LeftButton, Qt::NoModifier, row->GetWidget()->rect().center());
    }
    // The rows the merchant sees, top to bottom.
    std::vector<CControlUI*> Rows() const {
        std::vector<CControlUI*> rows;
        for (int i = 0; i < list->GetCount(); ++i)
            if (list->GetItemAt(i)->IsVisible())
                rows.push_back(list->GetItemAt(i));
        return rows;
    }
    size_t Shown() const { return Rows().size(); }
    void Add(int n) {
        for (int i = 1; i <= n; ++i)
            hover->AddMessage(L"c" + std::to_wstring(i), L"customer " + std::to_wstring(i), L"", L"hello");
    }

    CRecorderWnd* main = nullptr;
    CFrameHoverUI* hover = nullptr;
    CListUI* list = nullptr;
};

} // namespace

TEST_F(HoverTest, RepeatedConversationKeepsOneRecordCountedAndOnTop) {
    hover->AddMessage(L"c1", L"Ann", L"", L"first");
    hover->AddMessage(L"c2", L"Bob", L"", L"other");
    hover->AddMessage(L"c1", L"Ann B.", L"", L"second");
    ASSERT_EQ(hover->GetMessageIds(), (std::vector<std::wstring>{L"c1", L"c2"}));
    CMsgInfo r;
    ASSERT_TRUE(hover->GetMessage(L"c1", r));
    EXPECT_EQ(r.m_nCount, 2);
    EXPECT_EQ(r.m_strText, L"second");
    NextTurn();
    ASSERT_EQ(Shown(), 2u);
    EXPECT_EQ(RowId(0), L"c1");
    EXPECT_EQ(RowText(0, L"msg_num"), L"2");
    EXPECT_EQ(RowText(0, L"user_name"), L"Ann B.");
    EXPECT_EQ(RowText(0, L"msg_text"), L"second");
    EXPECT_EQ(RowText(1, L"msg_num"), L"1");
    // Every row is the fixed 254 x 60.
    EXPECT_EQ(list->GetItemAt(0)->GetFixedWidth(), 254);
    EXPECT_EQ(list->GetItemAt(0)->GetFixedHeight(), 60);

    // Empty ids change nothing.
    hover->AddMessage(L"", L"x", L"", L"x");
    hover->SetUnreadMessage(L"", L"x", 3, L"", L"x");
    EXPECT_EQ(hover->GetMessageCount(), 2);
    EXPECT_EQ(Shown(), 2u);
}

TEST_F(HoverTest, KnownUnreadCountIsShownCappedAt99) {
    hover->SetUnreadMessage(L"c1", L"Ann", 150, L"", L"text");
    NextTurn();
    EXPECT_EQ(RowText(0, L"msg_num"), L"99");
    CMsgInfo r;
    ASSERT_TRUE(hover->GetMessage(L"c1", r));
    EXPECT_EQ(r.m_nCount, 150); // only the display is capped
    hover->SetUnreadMessage(L"c1", L"Ann", 0, L"", L"text");
    EXPECT_EQ(hover->GetMessageCount(), 1);
    NextTurn();
    EXPECT_EQ(RowText(0, L"msg_num"), L"0");
    // A known count replaces, a new message adds to it.
    hover->AddMessage(L"c1", L"Ann", L"", L"more");
    ASSERT_TRUE(hover->GetMessage(L"c1", r));
    EXPECT_EQ(r.m_nCount, 1);
}

TEST_F(HoverTest, FourRowsAtMostAndTheFifthComesBackWhenOneGoes) {
    const LONG heights[] = {136, 196, 256, 316, 316};
    for (int i = 1; i <= 5; ++i) {
        hover->AddMessage(L"c" + std::to_wstring(i), L"n", L"", L"t");
        NextTurn();
        RECT rc = Client();
        EXPECT_EQ(rc.right - rc.left, 258) << i;
        EXPECT_EQ(rc.bottom - rc.top, heights[i - 1]) << i;
    }
    ASSERT_EQ(Shown(), 4u);
    EXPECT_EQ(RowId(0), L"c5");
    EXPECT_EQ(RowId(3), L"c2");
    hover->RemoveMessage(L"c3");
    NextTurn();
    ASSERT_EQ(Shown(), 4u);
    EXPECT_EQ(RowId(2), L"c2");
    EXPECT_EQ(RowId(3), L"c1");
    // Down to one record the window is 136 high, as with none.
    hover->RemoveMessage(L"c5");
    hover->RemoveMessage(L"c4");
    hover->RemoveMessage(L"c2");
    NextTurn();
    EXPECT_EQ(Client().bottom, 136);
    EXPECT_EQ(Shown(), 1u);
}

TEST_F(HoverTest, EmptyingTheStoreHidesAndTellsTheMainWindow) {
    Add(2);
    hover->ShowHover();
    ASSERT_TRUE(Visible());
    hover->RemoveMessage(L"c9"); // absent while others remain: nothing to say
    hover->RemoveMessage(L"c1");
    EXPECT_TRUE(Visible());
    hover->RemoveMessage(L"c2");
    EXPECT_FALSE(Visible());
    EXPECT_FALSE(hover->IsShowing());
    ASSERT_TRUE(WaitFor([&] { return main->Count(WM_HOVER_EMPTY) == 1; }));
    // An id that is not there, on an empty store, says it again; an empty id says nothing.
    hover->RemoveMessage(L"c1");
    hover->RemoveMessage(L"");
    ASSERT_TRUE(WaitFor([&] { return main->Count(WM_HOVER_EMPTY) == 2; }));
    Pump(100);
    EXPECT_EQ(main->Count(WM_HOVER_EMPTY), 2u);
    EXPECT_EQ(Shown(), 0u);
}

TEST_F(HoverTest, PlacedOnTheWorkAreaBottomCentredOnTheIconButNotPastTheRightEdge) {
    RECT work{0, 0, 1600, 870};
    POINT mid = HoverWindowPosition(RECT{700, 870, 720, 900}, work, 258, 316);
    EXPECT_EQ(mid.x, 710 + 129 - 258);
    EXPECT_EQ(mid.y, 870 - 316);
    POINT edge = HoverWindowPosition(RECT{1580, 870, 1600, 900}, work, 258, 136);
    EXPECT_EQ(edge.x, 1600 - 258);
    EXPECT_EQ(edge.y, 870 - 136);
    // No clamp on the left.
    EXPECT_EQ(HoverWindowPosition(RECT{0, 0, 0, 0}, work, 258, 136).x, -129);

    // The window itself, with no tray host to find the icon: centred on x = 0.
    Add(2);
    NextTurn();
    RECT rc{};
    platform::GetWindowRect(hover->GetHWND(), &rc);
    EXPECT_EQ(rc.left, -129);
    EXPECT_EQ(rc.bottom, WorkArea().bottom);
}

TEST_F(HoverTest, ShowHoverNeedsRecordsAndASecondCallKeepsTheRunningTimer) {
    hover->ShowHover();
    EXPECT_FALSE(Visible());
    EXPECT_FALSE(hover->IsShowing());

    Add(1);
    auto t0 = std::chrono::steady_clock::now();
    hover->ShowHover();
    ASSERT_TRUE(Visible());
    Pump(1300);
    hover->ShowHover(); // already shown: the 2-second check keeps its phase
    ASSERT_TRUE(WaitFor([&] { return !Visible(); }, 4000));
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, 1700); // coarse timers may fire a little early
    EXPECT_LT(ms, 3100) << "the second ShowHover restarted the timer";
    EXPECT_FALSE(hover->IsShowing());
}

TEST_F(HoverTest, CursorOnTheIconsRightAndBottomEdgeKeepsTheWindowOpen) {
    // Without a tray host the icon rectangle is all zero: (0,0) lies on its right and bottom
    // edges, which count as inside; one pixel further does not.
    Add(1);
    QCursor::setPos(0, 0);
    hover->ShowHover();
    RECT self{};
    platform::GetWindowRect(hover->GetHWND(), &self);
    ASSERT_FALSE(platform::PtInRectInclusive(self, POINT{1, 0})); // not kept by the window itself
    Pump(2500);
    EXPECT_TRUE(Visible());
    QCursor::setPos(1, 0);
    EXPECT_TRUE(WaitFor([&] { return !Visible(); }, 3000));
    EXPECT_FALSE(hover->IsShowing());
}

TEST_F(HoverTest, ChosenRowAsksToOpenItsConversation) {
    Add(2); // c2 on top
    hover->ShowHover();
    ASSERT_EQ(Shown(), 2u);
    list->SelectItem(1);
    ASSERT_TRUE(WaitFor([&] { return main->Count(WM_OPEN_CONVERSATION) == 1; }));
    EXPECT_EQ(main->received.back().text, L"c1");
    EXPECT_FALSE(Visible());
    // The row stays until the main window removes it.
    EXPECT_EQ(hover->GetMessageCount(), 2);

    hover->ShowHover();
    auto* viewAll = static_cast<CButtonUI*>(hover->GetPaintManager().FindControl(L"view_all"));
    ASSERT_NE(viewAll, nullptr);
    viewAll->Activate();
    ASSERT_TRUE(WaitFor([&] { return main->Count(WM_SHOW_MAIN_WND) == 1; }));
    EXPECT_FALSE(Visible());
    EXPECT_EQ(main->Count(WM_OPEN_CONVERSATION), 1u);
}

TEST_F(HoverTest, ClearedStoreShowsNothing) {
    Add(3);
    hover->ClearMessages();
    hover->HideHover();
    EXPECT_EQ(hover->GetMessageCount(), 0);
    hover->ShowHover();
    EXPECT_FALSE(Visible());
    Add(1);
    hover->ShowHover();
    EXPECT_TRUE(Visible());
    EXPECT_EQ(Shown(), 1u);
}

TEST_F(HoverTest, StoreOutlivesItsWindowBeingDestroyed) {
    // Something outside the program may destroy the native window; the records are still fed
    // afterwards and the object is still deleted by its owner.
    Add(2);
    hover->ShowHover();
    HWND h = hover->GetHWND();
    platform::DestroyWindow(h);
    ASSERT_TRUE(WaitFor([&] { return !platform::IsWindow(h); }));
    list = nullptr;
    hover->AddMessage(L"c3", L"n", L"", L"t");
    hover->SetUnreadMessage(L"c1", L"n", 5, L"", L"t");
    hover->RemoveMessage(L"c2");
    hover->ShowHover();
    EXPECT_EQ(hover->GetMessageIds(), (std::vector<std::wstring>{L"c1", L"c3"}));
    hover->ClearMessages();
    hover->RemoveMessage(L"c1");
    ASSERT_TRUE(WaitFor([&] { return main->Count(WM_HOVER_EMPTY) == 1; }));
}

TEST_F(HoverTest, FedFromAnotherThreadTheWindowWorkRunsOnTheWindowsThread) {
    std::thread feeder([&] {
        for (int i = 1; i <= 6; ++i)
            hover->SetUnreadMessage(L"t" + std::to_wstring(i), L"customer", i, L"", L"from a worker");
        hover->SetManagerInfo(L"m1", L"Ann", L"", L"tray tip");
        hover->RemoveMessage(L"t6");
    });
    feeder.join();
    EXPECT_EQ(hover->GetMessageCount(), 5); // the records change at once
    ASSERT_TRUE(WaitFor([&] { return Shown() == 4 && RowId(0) == L"t5"; }));
    for (int i = 0; i < list->GetCount(); ++i)
        EXPECT_EQ(list->GetItemAt(i)->GetWidget()->thread(), QThread::currentThread()) << "row " << i;
    EXPECT_EQ(std::wstring(hover->GetPaintManager().FindControl(L"manager_name")->GetText()), L"Ann");
    EXPECT_EQ(main->Count(WM_HOVER_EMPTY), 0u);

    std::thread drainer([&] {
        for (int i = 1; i <= 5; ++i)
            hover->RemoveMessage(L"t" + std::to_wstring(i));
    });
    drainer.join();
    ASSERT_TRUE(WaitFor([&] { return main->Count(WM_HOVER_EMPTY) > 0; }));
    EXPECT_EQ(Shown(), 0u);
    EXPECT_FALSE(Visible());
}

TEST_F(HoverTest, UpdatesRefillTheRowsInPlaceAndAGoneConversationsPlaceOpensTheNext) {
    Add(3); // c3, c2, c1
    hover->ShowHover();
    std::vector<CControlUI*> before = Rows();
    ASSERT_EQ(before.size(), 3u);

    hover->SetUnreadMessage(L"c3", L"Cleo", 7, L"", L"new text");
    NextTurn();
    EXPECT_EQ(Rows(), before);
    EXPECT_EQ(RowText(0, L"msg_num"), L"7");
    EXPECT_EQ(RowText(0, L"msg_text"), L"new text");
    EXPECT_EQ(RowText(0, L"user_name"), L"Cleo");

    // The bottom one moves up: the rows stay where they are and show the new order.
    hover->AddMessage(L"c1", L"customer 1", L"", L"moved up");
    NextTurn();
    EXPECT_EQ(Rows(), before);
    EXPECT_EQ(RowId(0), L"c1");
    EXPECT_EQ(RowText(0, L"msg_num"), L"2");
    EXPECT_EQ(RowText(0, L"msg_text"), L"moved up");
    EXPECT_EQ(RowId(1), L"c3");
    EXPECT_EQ(RowText(1, L"msg_num"), L"7");
    EXPECT_EQ(RowText(2, L"user_name"), L"customer 2");

    hover->RemoveMessage(L"c3");
    NextTurn();
    EXPECT_EQ(Rows(), (std::vector<CControlUI*>{before[0], before[1]}));
    EXPECT_FALSE(before[2]->GetWidget()->isVisible());
    EXPECT_EQ(Client().bottom, 196);
    // Where c3 was, the click now opens c2.
    ClickRow(1);
    ASSERT_TRUE(WaitFor([&] { return main->Count(WM_OPEN_CONVERSATION) == 1; }));
    EXPECT_EQ(main->received.back().text, L"c2");
}

TEST_F(HoverTest, AConversationEnteringTheFourIsShownOnTopAndTheFifthComesBack) {
    Add(4); // c4 .. c1
    hover->ShowHover();
    std::vector<CControlUI*> before = Rows();
    hover->AddMessage(L"c5", L"Eve", L"", L"newest");
    NextTurn();
    EXPECT_EQ(Rows(), before);
    EXPECT_EQ(RowText(0, L"user_name"), L"Eve");
    EXPECT_EQ(RowText(0, L"msg_num"), L"1");
    EXPECT_EQ(RowId(3), L"c2");
    ClickRow(0);
    ASSERT_TRUE(WaitFor([&] { return main->Count(WM_OPEN_CONVERSATION) == 1; }));
    EXPECT_EQ(main->received.back().text, L"c5");
    // c1 comes back into view when one of the four goes.
    hover->RemoveMessage(L"c5");
    NextTurn();
    EXPECT_EQ(RowId(3), L"c1");
    EXPECT_EQ(RowText(3, L"user_name"), L"customer 1");
}

TEST_F(HoverTest, TheSameRowCanBeChosenAgainWhenTheListOpensAgain) {
    Add(2);
    hover->ShowHover();
    ClickRow(1);
    ASSERT_TRUE(WaitFor([&] { return main->Count(WM_OPEN_CONVERSATION) == 1; }));
    EXPECT_FALSE(Visible());
    hover->ShowHover();
    ClickRow(1);
    ASSERT_TRUE(WaitFor([&] { return main->Count(WM_OPEN_CONVERSATION) == 2; }));
    EXPECT_EQ(main->received.back().text, L"c1");
}

TEST_F(HoverTest, RowsOfAnEmptiedListServeTheNextConversationsWithTheirOwnTexts) {
    Add(3);
    hover->ShowHover();
    std::vector<CControlUI*> before = Rows();
    for (int i = 1; i <= 3; ++i)
        hover->RemoveMessage(L"c" + std::to_wstring(i));
    NextTurn();
    ASSERT_EQ(Shown(), 0u);

    hover->AddMessage(L"n1", L"Nina", L"", L"first");
    hover->SetUnreadMessage(L"n2", L"Omar", 7, L"", L"second");
    hover->ShowHover();
    EXPECT_EQ(Rows(), (std::vector<CControlUI*>{before[0], before[1]})) << "rows were built again";
    EXPECT_EQ(RowId(0), L"n2");
    EXPECT_EQ(RowText(0, L"user_name"), L"Omar");
    EXPECT_EQ(RowText(0, L"msg_num"), L"7");
    EXPECT_EQ(RowText(0, L"msg_text"), L"second");
    EXPECT_EQ(RowId(1), L"n1");
    EXPECT_EQ(RowText(1, L"user_name"), L"Nina");
    EXPECT_EQ(RowText(1, L"msg_num"), L"1");
    // A hidden row holds no conversation.
    EXPECT_EQ(before[2]->GetTag(), 0u);
    ClickRow(1);
    ASSERT_TRUE(WaitFor([&] { return main->Count(WM_OPEN_CONVERSATION) == 1; }));
    EXPECT_EQ(main->received.back().text, L"n1");
}
