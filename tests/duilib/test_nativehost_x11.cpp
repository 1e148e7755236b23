// The native child host on a real X server: SDL draws into it through its X11 id and the pixels
// are read back from the screen, across repaints of the skin, tab switches and destruction.
#include <gtest/gtest.h>

#include <SDL.h>

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "duitest.h"

using namespace DuiLib;

namespace {

const RECT kVideo{40, 30, 160, 110};

// Grey page behind the host; the second tab page is blue.
const wchar_t* kSkin = LR"(<Window size="240,160"><TabLayout name="tabs">
    <VerticalLayout name="page0" bkcolor="#FF808080"><VideoTag name="video"/></VerticalLayout>
    <VerticalLayout name="page1" bkcolor="#FF0000FF"/>
  </TabLayout></Window>)";

class CHostWnd : public CTestWnd {
public:
    CHostWnd() : CTestWnd(kSkin) {}
    CControlUI* CreateControl(LPCTSTR pstrClass) override {
        if (wcscasecmp(pstrClass, L"VideoTag") != 0)
            return nullptr;
        auto* host = new CWndUI;
        host->CreateChild(m_PaintManager.GetPaintWindow(), kVideo);
        return host;
    }
};

// The whole screen as the X server shows it.
QImage GrabScreen() {
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("screen.png"));
    QProcess p;
    p.start(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), file});
    if (!p.waitForFinished(15000) || p.exitCode() != 0)
        return QImage();
    return QImage(file);
}

// Fills the window behind `id` with one colour through SDL's renderer.
bool PaintWithSdl(uintptr_t id, Uint8 r, Uint8 g, Uint8 b) {
    SDL_Window* win = SDL_CreateWindowFrom(reinterpret_cast<void*>(id));
    if (!win)
        return false;
    SDL_Renderer* ren = SDL_CreateRenderer(win, -1, SDL_RENDERER_SOFTWARE);
    bool ok = ren != nullptr;
    if (ren) {
        SDL_SetRenderDrawColor(ren, r, g, b, 255);
        SDL_RenderClear(ren);
        SDL_RenderPresent(ren);
        SDL_DestroyRenderer(ren);
    }
    SDL_DestroyWindow(win);
    return ok;
}

class NativeHostX11 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb")) << "run under xvfb-run";
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    }
    void TearDown() override { SDL_Quit(); }
};

} // namespace

TEST_F(NativeHostX11, SdlPixelsStayAboveTheSkinFollowTheTabAndGoWithTheWindow) {
    auto* w = new CHostWnd;
    ASSERT_NE(w->Create(nullptr, L"host", WS_POPUP, 0, 100, 80, 240, 160), nullptr);
    w->ShowWindow(true, true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w->GetHostWidget()));
    auto* host = w->Find<CWndUI>(L"video");
    ASSERT_NE(host, nullptr);
    HWND child = host->GetHWND();
    uintptr_t id = platform::GetNativeWindowId(child);
    ASSERT_NE(id, 0u);

    ASSERT_TRUE(PaintWithSdl(id, 255, 0, 0)) << SDL_GetError();
    // The skin repaints all around and under the host; SDL's pixels must survive it.
    w->GetPaintManager().GetRoot()->Invalidate();
    w->GetHostWidget()->repaint();
    Pump(300);
    QPoint origin = w->GetHostWidget()->mapToGlobal(QPoint(0, 0));
    QImage screen = GrabScreen();
    ASSERT_FALSE(screen.isNull()) << "ImageMagick's import is needed";
    QPoint inside = origin + QPoint((kVideo.left + kVideo.right) / 2, (kVideo.top + kVideo.bottom) / 2);
    QPoint corner = origin + QPoint(kVideo.left + 2, kVideo.top + 2);
    QPoint beside = origin + QPoint(10, 10);
    EXPECT_EQ(screen.pixelColor(inside), QColor(255, 0, 0));
    EXPECT_EQ(screen.pixelColor(corner), QColor(255, 0, 0)) << "the child sits where it was created";
    EXPECT_EQ(screen.pixelColor(beside), QColor(128, 128, 128)) << "the skin is painted around the child";

    // Another page of the tab: the child goes with its page.
    auto* tabs = w->Find<CTabLayoutUI>(L"tabs");
    ASSERT_TRUE(tabs->SelectItem(1));
    Pump(300);
    EXPECT_FALSE(platform::IsWindowVisible(child));
    screen = GrabScreen();
    EXPECT_EQ(screen.pixelColor(inside), QColor(0, 0, 255));
    ASSERT_TRUE(tabs->SelectItem(0));
    EXPECT_TRUE(platform::IsWindowVisible(child));

    // Hiding the control itself hides the child; a moved host carries its child along.
    host->SetVisible(false);
    EXPECT_FALSE(platform::IsWindowVisible(child));
    host->SetVisible(true);
    host->SetPos(RECT{100, 20, 200, 80});
    RECT rc{};
    platform::GetWindowRect(child, &rc);
    EXPECT_EQ(rc.left - origin.x(), 100);
    EXPECT_EQ(rc.right - rc.left, 100);

    w->Close();
    ASSERT_TRUE(WaitFor([&] { return !platform::IsWindow(w->GetHWND()); }));
    EXPECT_FALSE(platform::IsWindow(child)) << "destroyed with its parent";
    delete w;
}
