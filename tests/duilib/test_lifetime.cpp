// Controls removed from inside their own notifications: the combo refilled while its drop-down
// is open and removed from its own "itemselect", an option group rebuilt from its own
// "selectchanged", a list emptied from a row's "itemselect". Each used freed memory before the
// lifetime rule; run them under AddressSanitizer too.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>

#include "duitest.h"

using namespace DuiLib;

namespace {

const wchar_t* kSkin = LR"(<Window size="300,320"><VerticalLayout name="box">
    <HorizontalLayout name="opts" height="30">
      <Option name="a" group="g" selected="true"/><Option name="b" group="g"/><Option name="c" group="g"/>
    </HorizontalLayout>
    <Combo name="combo" height="26"/>
    <List name="list" height="200"/>
  </VerticalLayout></Window>)";

const wchar_t* kRow = LR"(<ListContainerElement height="30"><HorizontalLayout>
    <Label name="row_text" text="row"/></HorizontalLayout></ListContainerElement>)";

constexpr UINT kRefill = WM_USER + 77;

void Click(QWidget* w, QPoint at) { QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at); }
void Click(CControlUI* c) {
    ASSERT_NE(c, nullptr);
    Click(c->GetWidget(), c->GetWidget()->rect().center());
}

void Fill(CComboUI* combo, const std::wstring& prefix, int n) {
    for (int i = 0; i < n; ++i) {
        auto* item = new CListLabelElementUI;
        item->SetText((prefix + std::to_wstring(i)).c_str());
        combo->Add(item);
    }
}

struct Shown {
    Shown() : w(kSkin) {
        w.Create(nullptr, L"t", WS_POPUP, 0);
        w.ShowWindow(true, true);
        exposed = QTest::qWaitForWindowExposed(w.GetHostWidget());
    }
    CTestWnd w;
    bool exposed = false;
};

} // namespace

TEST(Lifetime, ComboRefilledWhileOpenThenRemovedFromItsOwnItemSelect) {
    Shown s;
    ASSERT_TRUE(s.exposed);
    auto* combo = s.w.Find<CComboUI>(L"combo");
    auto* box = s.w.Find<CContainerUI>(L"box");
    Fill(combo, L"old", 3);
    Click(combo);
    QWidget* drop = combo->GetDropDown();
    ASSERT_NE(drop, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(drop));
    int oldHeight = drop->height();

    // A request finishing while the drop-down is open refills the combo.
    s.w.onMessage = [&](UINT m, WPARAM, LPARAM, BOOL& handled) -> LRESULT {
        handled = m == kRefill;
        if (handled) {
            combo->RemoveAll();
            Fill(combo, L"new", 5);
        }
        return 0;
    };
    s.w.PostMessage(kRefill);
    ASSERT_TRUE(WaitFor([&] { return s.w.CountMsg(kRefill) == 1; }));
    ASSERT_EQ(combo->GetDropDown(), drop) << "the drop-down stays open and follows the new rows";
    EXPECT_GT(drop->height(), oldHeight);

    // The window drops the combo from its own "itemselect"; the toolkit still works on it after.
    std::wstring chosen;
    s.w.onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == DUI_MSGTYPE_ITEMSELECT && msg.pSender == combo) {
            chosen = combo->GetText();
            box->Remove(combo);
        }
    };
    Click(drop, QPoint(drop->width() / 2, 1 + 3 * 24 + 12));
    EXPECT_EQ(chosen, L"new3");
    EXPECT_EQ(s.w.lastWParam, 3u);
    EXPECT_EQ(s.w.Find(L"combo"), nullptr);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    Pump(50);
}

TEST(Lifetime, OptionGroupRebuiltFromItsOwnSelectChanged) {
    Shown s;
    ASSERT_TRUE(s.exposed);
    auto* opts = s.w.Find<CContainerUI>(L"opts");
    bool rebuilt = false;
    s.w.onNotify = [&](TNotifyUI& msg) {
        if (msg.sType != DUI_MSGTYPE_SELECTCHANGED || rebuilt)
            return;
        rebuilt = true;
        opts->RemoveAll();
        for (int i = 0; i < 3; ++i) {
            auto* o = new COptionUI;
            o->SetName((L"n" + std::to_wstring(i)).c_str());
            o->SetGroup(L"g");
            opts->Add(o);
        }
        s.w.Find<COptionUI>(L"n1")->Selected(true, false);
    };
    Click(s.w.Find(L"b"));
    ASSERT_TRUE(rebuilt);
    EXPECT_EQ(s.w.Find(L"a"), nullptr);
    auto* n1 = s.w.Find<COptionUI>(L"n1");
    auto* n2 = s.w.Find<COptionUI>(L"n2");
    ASSERT_NE(n1, nullptr);
    EXPECT_TRUE(n1->IsSelected()) << "the old group's clean-up must not reach the new options";
    // The group holds only the new options and still switches.
    const auto* group = s.w.GetPaintManager().GetOptionGroup(L"g");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->size(), 3u);
    Pump(20);
    Click(n2);
    EXPECT_TRUE(n2->IsSelected());
    EXPECT_FALSE(n1->IsSelected());
}

TEST(Lifetime, ListEmptiedFromARowsItemSelect) {
    Shown s;
    ASSERT_TRUE(s.exposed);
    auto* list = s.w.Find<CListUI>(L"list");
    auto addRows = [&](int n) {
        for (int i = 0; i < n; ++i) {
            CDialogBuilder b;
            list->Add(b.Create(kRow, nullptr, &s.w, &s.w.GetPaintManager()));
        }
    };
    addRows(3);
    ASSERT_TRUE(WaitFor([&] { return list->GetItemAt(2)->GetWidget()->height() == 30; }));
    int selections = 0;
    s.w.onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == DUI_MSGTYPE_ITEMSELECT && msg.pSender == list) {
            ++selections;
            list->RemoveAll();
        }
    };
    Click(s.w.GetPaintManager().FindSubControlByName(list->GetItemAt(1), L"row_text"));
    EXPECT_EQ(selections, 1);
    EXPECT_EQ(list->GetCount(), 0);
    EXPECT_EQ(list->GetCurSel(), -1);
    // The emptied list takes new rows and selects them as before.
    s.w.onNotify = nullptr;
    addRows(2);
    ASSERT_TRUE(WaitFor([&] { return list->GetItemAt(1)->GetWidget()->height() == 30; }));
    Click(list->GetItemAt(1));
    EXPECT_EQ(list->GetCurSel(), 1);
}
