// What window code relies on beyond layout: skins applied in document order and logged once,
// row skins kept, window timers and owned posts, DoInit once, painted selection colours, the
// animated image and the combo's drop-down rows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "duitest.h"

using namespace DuiLib;

namespace {

struct ResDir {
    ResDir() {
        CPaintManagerUI::SetResourcePath(QDir(dir.path()).absolutePath().toStdWString().c_str());
        CResourceManager::GetInstance()->ResetResourceMap();
    }
    ~ResDir() { CPaintManagerUI::SetResourcePath(L""); }
    std::string Write(const char* name, const QByteArray& bytes) {
        QString path = dir.filePath(QString::fromUtf8(name));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path.toStdString();
    }
    QTemporaryDir dir;
};

// Collects the toolkit's log lines for one test.
struct LogCapture {
    LogCapture() {
        SetLogSink([this](UILogLevel, const std::wstring& text) { lines.push_back(text); });
    }
    ~LogCapture() { SetLogSink(nullptr); }
    int Count(const std::wstring& part) const {
        int n = 0;
        for (const auto& l : lines)
            n += l.find(part) != std::wstring::npos;
        return n;
    }
    std::vector<std::wstring> lines;
};

bool HasColour(const QImage& img, QColor c) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) == c)
                return true;
    return false;
}

class CCountingControl : public CControlUI {
public:
    void DoInit() override { ++inits; }
    int inits = 0;
};

class CTimerWnd : public CTestWnd {
public:
    CTimerWnd() : CTestWnd(L"<Window size=\"50,50\"><VerticalLayout/></Window>") {}
    LRESULT OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) override {
        ticks.push_back(wParam);
        bHandled = TRUE;
        return 0;
    }
    std::vector<WPARAM> ticks;
};

struct Tracked {
    explicit Tracked(std::atomic<int>& c) : freed(c) {}
    ~Tracked() { ++freed; }
    std::atomic<int>& freed;
};

} // namespace

TEST(SkinReading, AttributesApplyInDocumentOrderTheSameEveryLoad) {
    // A later attribute wins over an earlier one, whatever their kinds.
    const wchar_t* skin = LR"(<Window size="300,200"><VerticalLayout>
        <Control name="a" pos="0,0,50,40" width="80"/>
        <Control name="b" width="70" height="30" pos="0,0,20,10"/>
      </VerticalLayout></Window>)";
    for (int run = 0; run < 20; ++run) {
        CTestWnd w(skin);
        ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
        ASSERT_NE(w.Find(L"b"), nullptr);
        EXPECT_EQ(w.Find(L"a")->GetFixedWidth(), 80) << "run " << run;
        EXPECT_EQ(w.Find(L"a")->GetFixedHeight(), 40) << "run " << run;
        EXPECT_EQ(w.Find(L"b")->GetFixedWidth(), 20) << "run " << run;
        EXPECT_EQ(w.Find(L"b")->GetFixedHeight(), 10) << "run " << run;
    }
}

TEST(SkinReading, WhatIsNotHonouredIsLoggedOncePerSkinFile) {
    ResDir res;
    LogCapture log;
    res.Write("row.xml", R"(<ListContainerElement height="30" sparkle="1"><HorizontalLayout vscrollbar="true">
        <Label name="t" sparkle="2" glow="1"/><Blink/><Label sparkle="3"/></HorizontalLayout></ListContainerElement>)");
    res.Write("other.xml", R"(<Label sparkle="1"/>)");
    CTestWnd w(L"<Window size=\"50,50\"><List name=\"list\"/></Window>");
    ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
    auto* list = w.Find<CListUI>(L"list");
    for (int i = 0; i < 4; ++i) {
        CDialogBuilder b;
        CControlUI* row = b.Create(L"row.xml", nullptr, &w, &w.GetPaintManager());
        ASSERT_NE(row, nullptr) << "a skin with unknown names still builds";
        list->Add(row);
    }
    EXPECT_NE(w.GetPaintManager().FindSubControlByName(list->GetItemAt(3), L"t"), nullptr);
    EXPECT_EQ(log.Count(L"LabelUI sparkle in row.xml"), 1);
    EXPECT_EQ(log.Count(L"ListContainerElementUI sparkle in row.xml"), 1);
    EXPECT_EQ(log.Count(L"LabelUI glow in row.xml"), 1);
    EXPECT_EQ(log.Count(L"vscrollbar in row.xml"), 1) << "accepted-but-ignored names are logged too";
    EXPECT_EQ(log.Count(L"Blink in row.xml"), 1);
    CDialogBuilder b;
    delete b.Create(L"other.xml", nullptr, nullptr, &w.GetPaintManager());
    EXPECT_EQ(log.Count(L"LabelUI sparkle in other.xml"), 1);
}

TEST(SkinReading, AKeptRowSkinIsReadAgainOnlyWhenTheFileChanges) {
    ResDir res;
    std::string path = res.Write("row.xml", R"(<Label name="v" text="one"/>)");
    auto build = [] {
        CDialogBuilder b;
        std::unique_ptr<CControlUI> c(b.Create(L"row.xml"));
        return c ? std::wstring(c->GetText()) : std::wstring(L"<none>");
    };
    EXPECT_EQ(build(), L"one");
    EXPECT_EQ(build(), L"one");
    res.Write("row.xml", R"(<Label name="v" text="two, longer"/>)");
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(2));
    EXPECT_EQ(build(), L"two, longer");
    res.Write("row.xml", "<Label");
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(4));
    EXPECT_EQ(build(), L"<none>") << "broken XML is not served from the old copy";
}

TEST(WindowTimers, ReachOnTimerFreshIdsAreArmedAndKillReportsTheTruthFromAnyThread) {
    CTimerWnd w;
    ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
    HWND h = w.GetHWND();
    UINT_PTR a = platform::SetTimer(h, 0, 5);
    UINT_PTR b = platform::SetTimer(h, 0, 5);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(platform::SetTimer(h, 42, 5), 42u);
    ASSERT_TRUE(WaitFor([&] {
        auto seen = [&](UINT_PTR id) { return std::count(w.ticks.begin(), w.ticks.end(), id) > 0; };
        return seen(a) && seen(b) && seen(42);
    }));
    EXPECT_EQ(w.CountMsg(WM_TIMER), 0u) << "the override takes it";
    BOOL killedA = FALSE, killedUnknown = TRUE, killedTwice = TRUE;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        killedA = platform::KillTimer(h, a);
        killedUnknown = platform::KillTimer(h, 9999);
        killedTwice = platform::KillTimer(h, a);
        done = true;
    });
    // The worker waits for this thread to run the kills.
    ASSERT_TRUE(WaitFor([&] { return done.load(); }));
    worker.join();
    EXPECT_TRUE(killedA);
    EXPECT_FALSE(killedUnknown);
    EXPECT_FALSE(killedTwice);
    Pump(20);
    size_t before = std::count(w.ticks.begin(), w.ticks.end(), a);
    Pump(40);
    EXPECT_EQ(static_cast<size_t>(std::count(w.ticks.begin(), w.ticks.end(), a)), before);
    platform::KillTimer(h, b);
    platform::KillTimer(h, 42);
}

TEST(OwnedPosts, HeapDataIsFreedWhenItCanNeverBeDelivered) {
    std::atomic<int> freed{0};
    constexpr UINT kMsg = WM_USER + 321;
    // No such window: freed at once.
    EXPECT_FALSE(platform::PostOwnedMessage(reinterpret_cast<HWND>(0x1234), kMsg, new Tracked(freed)));
    EXPECT_EQ(freed, 1);

    // Delivered: the receiver owns it.
    CTestWnd w(L"<Window size=\"50,50\"><VerticalLayout/></Window>");
    ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
    Tracked* got = nullptr;
    w.onMessage = [&](UINT m, WPARAM wp, LPARAM, BOOL& handled) -> LRESULT {
        if (m == kMsg)
            got = reinterpret_cast<Tracked*>(wp);
        handled = FALSE;
        return 0;
    };
    EXPECT_TRUE(platform::PostOwnedMessage(w.GetHWND(), kMsg, new Tracked(freed)));
    ASSERT_TRUE(WaitFor([&] { return got != nullptr; }));
    EXPECT_EQ(freed, 1);
    delete got;
    EXPECT_EQ(freed, 2);

    // Posted from a worker, then the window goes before its turn: freed with the queue.
    HWND h = w.GetHWND();
    std::thread([&] { platform::PostOwnedMessage(h, kMsg, new Tracked(freed)); }).join();
    platform::DestroyWindow(h);
    Pump(20);
    EXPECT_EQ(freed, 3);
}

TEST(ControlInit, DoInitRunsOncePerControlWhereverItMoves) {
    CTestWnd w(L"<Window size=\"100,100\"><VerticalLayout name=\"a\"><VerticalLayout name=\"b\"/></VerticalLayout></Window>");
    ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
    auto* a = w.Find<CContainerUI>(L"a");
    auto* b = w.Find<CContainerUI>(L"b");
    auto* c = new CCountingControl;
    b->Add(c);
    EXPECT_EQ(c->inits, 1);
    b->SetAutoDestroy(false);
    b->Remove(c);
    a->Add(c);
    EXPECT_EQ(c->inits, 1);
    // Adding a subtree with the control in it inits the new ones only.
    auto* holder = new CVerticalLayoutUI;
    auto* d = new CCountingControl;
    holder->Add(d);
    a->Add(holder);
    EXPECT_EQ(d->inits, 1);
    EXPECT_EQ(c->inits, 1);
}

TEST(Painting, SelectedOptionsUseTheirSelectedTextColour) {
    CTestWnd w(LR"(<Window size="200,60"><HorizontalLayout>
        <Option name="o" width="120" height="40" text="██████" textcolor="#FFFF0000" selectedtextcolor="#FF00FF00"/>
      </HorizontalLayout></Window>)");
    ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
    w.ShowWindow(true, false);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.GetHostWidget()));
    auto* o = w.Find<COptionUI>(L"o");
    QImage plain = o->GetWidget()->grab().toImage();
    EXPECT_TRUE(HasColour(plain, QColor(255, 0, 0)));
    EXPECT_FALSE(HasColour(plain, QColor(0, 255, 0)));
    o->Selected(true, false);
    QImage selected = o->GetWidget()->grab().toImage();
    EXPECT_TRUE(HasColour(selected, QColor(0, 255, 0)));
    EXPECT_FALSE(HasColour(selected, QColor(255, 0, 0)));
}

TEST(Painting, AnimatedImagePlaysOnlyWhileItCanBeSeen) {
    CPaintManagerUI::SetResourcePath(SHOPDESK_RES_DIR L"/gallery/");
    CTestWnd w(LR"(<Window size="100,100"><VerticalLayout name="box">
        <GifAnim name="ring" bkimage="imgs/ring.gif" width="48" height="48"/>
        <GifAnim name="broken" bkimage="imgs/none.gif"/></VerticalLayout></Window>)");
    ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
    w.ShowWindow(true, false);
    auto* ring = w.Find<CGifAnimUI>(L"ring");
    ASSERT_NE(ring, nullptr);
    EXPECT_GT(ring->GetFrameCount(), 1);
    EXPECT_TRUE(ring->IsPlaying());
    int first = ring->GetCurrentFrame();
    ASSERT_TRUE(WaitFor([&] { return ring->GetCurrentFrame() != first; }, 2000));
    QImage frame = ring->GetWidget()->grab().toImage();
    EXPECT_TRUE(HasColour(frame, QColor(0x1E, 0x88, 0xE5)));
    w.Find(L"box")->SetVisible(false);
    EXPECT_FALSE(ring->IsPlaying()) << "a hidden parent pauses it";
    w.Find(L"box")->SetVisible(true);
    EXPECT_TRUE(ring->IsPlaying());
    EXPECT_EQ(w.Find<CGifAnimUI>(L"broken")->GetFrameCount(), 0);
    CPaintManagerUI::SetResourcePath(L"");
}

TEST(Painting, ComboDropDownRowsKeepTheirHeightFontAndColours) {
    CTestWnd w(LR"(<Window size="200,200"><VerticalLayout>
        <Combo name="combo" height="26" itemselectedbkcolor="#FF0000FF"/></VerticalLayout></Window>)");
    ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
    w.ShowWindow(true, true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.GetHostWidget()));
    auto* combo = w.Find<CComboUI>(L"combo");
    const int heights[] = {40, 30};
    for (int i = 0; i < 2; ++i) {
        auto* item = new CListLabelElementUI;
        item->SetText(L"████████");
        item->SetFixedHeight(heights[i]);
        item->SetTextColor(i == 0 ? 0xFFFF0000 : 0xFF00AA00);
        combo->Add(item);
    }
    combo->SelectItem(1, false, false);
    QTest::mouseClick(combo->GetWidget(), Qt::LeftButton, Qt::NoModifier, combo->GetWidget()->rect().center());
    QWidget* drop = combo->GetDropDown();
    ASSERT_NE(drop, nullptr);
    EXPECT_EQ(drop->height(), 2 + 40 + 30);
    QImage img = drop->grab().toImage();
    EXPECT_TRUE(HasColour(img.copy(0, 1, img.width(), 40), QColor(255, 0, 0)));
    EXPECT_EQ(img.copy(0, 41, img.width(), 30).pixelColor(2, 2), QColor(0, 0, 255)) << "the selected row's colour";
    EXPECT_TRUE(HasColour(img.copy(0, 41, img.width(), 30), QColor(0, 0xAA, 0)));
    QTest::keyClick(drop, Qt::Key_Escape);
    EXPECT_TRUE(WaitFor([&] { return combo->GetDropDown() == nullptr; }));
}
