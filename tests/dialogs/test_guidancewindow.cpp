// The guidance window with the real pointer and keyboard (xdotool, under xvfb-run): the view
// button plays the "guidance.mov" beside the executable into the video area, Space pauses it,
// the end brings the acknowledge button, and bad files leave the window closable.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <QWidget>

#include "common/custommsg.h"
#include "common/sysutils.h"
#include "dialogs/cguidanceui.h"
#include "duilib/uiwnd.h"
#include "support/qtwait.h"
#include "support/realclick.h"
#include "support/testenv.h"
#include "videotest.h"

namespace fs = std::filesystem;

namespace {

constexpr double kSamePicture = 4.0;

class GuidanceWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_x.IsOpen());
        m_video = WideToAnsi(GetDirOfPath(GetModulePath())) + "guidance.mov";
        fs::remove(m_video);
        ASSERT_TRUE(m_main.Create(nullptr, L"main", WS_POPUP, 0));
    }
    void TearDown() override {
        delete m_wnd;
        fs::remove(m_video);
    }
    // The window as the main window makes it at a first start.
    void Open() {
        m_wnd = new CGuidanceUI();
        ASSERT_TRUE(m_wnd->Create(nullptr, L"QDX_IM_MAIN", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST));
        m_wnd->SetMainHwnd(m_main.GetHWND());
        m_wnd->CenterWindow();
        m_wnd->ShowWindow(true, true);
    }
    DuiLib::CControlUI* Control(const wchar_t* name) { return FindControlIn(m_wnd->GetHWND(), name); }
    uintptr_t VideoWindow() { return platform::GetNativeWindowId(m_wnd->GetVideoControl()->GetHWND()); }
    bool Shown(const wchar_t* name) { return Control(name)->IsVisible(); }
    // Presses a key with the pointer resting on the video area.
    bool KeyOverVideo(const char* key) {
        QWidget* host = m_wnd->GetHostWidget();
        QPoint p = host->mapToGlobal(QPoint(40 + 290, 40 + 200));
        std::string cmd = "xdotool mousemove " + std::to_string(p.x()) + " " + std::to_string(p.y()) + " key " + key;
        return std::system(cmd.c_str()) == 0;
    }
    bool PlayerEnded() {
        return WaitFor([&] { return !m_wnd->GetPlayer().IsStarted(); }, 5000);
    }

    ScopedTestHome m_home;
    CX11 m_x;
    CRecorderWnd m_main;
    CGuidanceUI* m_wnd = nullptr;
    std::string m_video;
};

TEST_F(GuidanceWindowTest, ViewPlaysTheFileSpacePausesAndTheEndBringsTheAcknowledgeButton) {
    ASSERT_TRUE(MakeClip(m_video, "--seconds 4"));
    std::vector<SPicture> pictures = DecodeAllPictures(m_video);
    ASSERT_EQ(pictures.size(), 240u);
    Open();
    EXPECT_EQ(WideToAnsi(m_wnd->GetVideoPath()), m_video);
    EXPECT_TRUE(Shown(L"guidance_img"));
    EXPECT_FALSE(Shown(L"guidance_video"));
    EXPECT_FALSE(Shown(L"btn_known"));

    ASSERT_TRUE(ClickControl(Control(L"btn_view")));
    ASSERT_TRUE(WaitFor([&] { return m_main.Count(WM_GUIDANCE_DONE) == 1; }));
    EXPECT_FALSE(Control(L"btn_view")->IsEnabled());
    EXPECT_EQ(Control(L"vlayout_all")->GetBkColor(), 0xFFF8F8F8u);
    EXPECT_FALSE(Shown(L"guidance_img"));
    EXPECT_TRUE(Shown(L"guidance_video"));

    // The video area is the native child at 40, 40, 581 x 404, showing the file's pictures.
    uintptr_t video = VideoWindow();
    ASSERT_NE(video, 0u);
    double d = 0;
    ASSERT_TRUE(WaitFor([&] { return NearestPicture(pictures, m_x.Capture(video), &d) >= 0 && d < kSamePicture; }, 3000));
    SPicture shown = m_x.Capture(video);
    EXPECT_EQ(shown.width, 581);
    EXPECT_EQ(shown.height, 404);
    int first = NearestPicture(pictures, shown, &d);
    EXPECT_LT(d, kSamePicture);
    EXPECT_TRUE(WaitFor([&] { return NearestPicture(pictures, m_x.Capture(video), &d) > first + 5; }, 2000));
    EXPECT_LT(d, kSamePicture);

    ExpectPauseAndResume(m_x, video, pictures, [&] { EXPECT_TRUE(KeyOverVideo("space")); });

    ASSERT_TRUE(WaitFor([&] { return Shown(L"btn_known"); }, 8000));
    EXPECT_FALSE(Shown(L"btn_view"));
    SPicture last = m_x.Capture(video);
    EXPECT_TRUE(IsLastPicture(pictures, last, kSamePicture));
    Pump(200);
    EXPECT_EQ(m_x.Capture(video), last) << "the last picture stays";

    ASSERT_TRUE(ClickControl(Control(L"btn_known")));
    ASSERT_TRUE(WaitFor([&] { return m_main.Count(WM_GUIDANCE_CLOSED) == 1; }));
    EXPECT_FALSE(platform::IsWindowVisible(m_wnd->GetHWND()));
    EXPECT_EQ(m_main.Count(WM_GUIDANCE_DONE), 1u);
}

TEST_F(GuidanceWindowTest, ClosedMidVideoItPlaysOnHiddenAndCanBeDestroyedWhilePlaying) {
    ASSERT_TRUE(MakeClip(m_video, "--seconds 3"));
    Open();
    ASSERT_TRUE(ClickControl(Control(L"btn_view")));
    ASSERT_TRUE(WaitForChange(m_x, VideoWindow(), 3000));
    ASSERT_TRUE(ClickControl(Control(L"hidebtn")));
    ASSERT_TRUE(WaitFor([&] { return m_main.Count(WM_GUIDANCE_CLOSED) == 1; }));
    EXPECT_FALSE(platform::IsWindowVisible(m_wnd->GetHWND()));
    Pump(200);
    EXPECT_TRUE(m_wnd->GetPlayer().IsStarted()) << "closing does not stop the video";
    // The program ends while the video plays: the player goes before the window.
    auto t0 = std::chrono::steady_clock::now();
    delete m_wnd;
    m_wnd = nullptr;
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1000));
}

TEST_F(GuidanceWindowTest, BadFilesLeaveTheButtonsAsTheyAreAndTheWindowCloses) {
    std::string good = m_home.path() + "/good.mov";
    ASSERT_TRUE(MakeClip(good, "--seconds 1"));
    std::string audioOnly = m_home.path() + "/audio.mov";
    ASSERT_TRUE(MakeClip(audioOnly, "--seconds 1 --no-video"));
    const std::function<void()> makers[] = {
        [] {},                                                           // missing
        [&] { std::ofstream(m_video).close(); },                         // empty
        [&] { CopyFileHead(good, m_video, fs::file_size(good) / 2); },   // cut halfway
        [&] { std::ofstream(m_video) << "not a video\n"; },              // not a video
        [&] { fs::copy_file(audioOnly, m_video); },                      // audio only
    };
    int n = 0;
    for (const auto& make : makers) {
        SCOPED_TRACE(n++);
        fs::remove(m_video);
        make();
        m_main.received.clear();
        Open();
        ASSERT_TRUE(ClickControl(Control(L"btn_view")));
        ASSERT_TRUE(WaitFor([&] { return m_main.Count(WM_GUIDANCE_DONE) == 1; }));
        ASSERT_TRUE(PlayerEnded());
        Pump(100);
        EXPECT_TRUE(Shown(L"btn_view"));
        EXPECT_FALSE(Control(L"btn_view")->IsEnabled());
        EXPECT_FALSE(Shown(L"btn_known"));
        EXPECT_FALSE(WaitForChange(m_x, VideoWindow(), 300)) << "nothing is drawn";
        ASSERT_TRUE(ClickControl(Control(L"hidebtn")));
        ASSERT_TRUE(WaitFor([&] { return m_main.Count(WM_GUIDANCE_CLOSED) == 1; }));
        EXPECT_FALSE(platform::IsWindowVisible(m_wnd->GetHWND()));
        delete m_wnd;
        m_wnd = nullptr;
    }
}

} // namespace
