// The video player drawing into a plain X11 window of the test's own (run under xvfb-run).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "dialogs/cvideoplayer.h"
#include "support/qtwait.h"
#include "support/testenv.h"
#include "videotest.h"

namespace {

constexpr UINT kMsgEnd = WM_USER + 77;
constexpr int kW = 581, kH = 404;
// The shown picture is the decoder's, converted by SDL instead of by us: small rounding only.
constexpr double kSamePicture = 4.0;

class VideoPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_x.IsOpen()) << "needs an X server (xvfb-run)";
        m_dir = m_home.path() + "/clips/";
        std::filesystem::create_directories(m_dir);
        ASSERT_TRUE(m_notify.Create(nullptr, L"recorder", WS_POPUP, 0));
        m_window = m_x.CreateWindow(kW, kH);
    }
    void TearDown() override {
        m_x.DestroyWindow(m_window);
    }
    std::string Clip(const std::string& name, const std::string& args) {
        std::string path = m_dir + name;
        EXPECT_TRUE(MakeClip(path, args));
        return path;
    }
    // The result the player posted when it ended, or -2 when none came within `ms`.
    long WaitForEnd(int ms) {
        if (!WaitFor([&] { return m_notify.Count(kMsgEnd) > 0; }, ms))
            return -2;
        return static_cast<long>(m_notify.received.back().w);
    }
    bool Start(CVideoPlayer& player, const std::string& path, uintptr_t window) {
        m_notify.received.clear();
        return player.Start(std::wstring(path.begin(), path.end()), window, m_notify.GetHWND(), kMsgEnd);
    }

    ScopedTestHome m_home;
    std::string m_dir;
    CX11 m_x;
    uintptr_t m_window = 0;
    CRecorderWnd m_notify;
};

TEST_F(VideoPlayerTest, ShowsTheFilesPicturesInOrderPausesAndKeepsTheLastOneAtTheEnd) {
    std::string clip = Clip("four.mov", "--seconds 4");
    std::vector<SPicture> pictures = DecodeAllPictures(clip);
    ASSERT_EQ(pictures.size(), 240u);

    CVideoPlayer player;
    testing::internal::CaptureStdout();
    bool started = Start(player, clip, m_window);
    bool shown = WaitForPicture(m_x, m_window, 3000);
    // The file's description comes before the first picture.
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("---------------- File Information ---------------\n"), std::string::npos);
    EXPECT_NE(out.find("-------------------------------------------------\n"), std::string::npos);
    ASSERT_TRUE(started);
    ASSERT_TRUE(shown);

    double d = 0;
    int first = NearestPicture(pictures, m_x.Capture(m_window), &d);
    EXPECT_LT(d, kSamePicture);
    // Later pictures of the file follow (the pacing itself is the benchmark's business).
    EXPECT_TRUE(WaitFor([&] { return NearestPicture(pictures, m_x.Capture(m_window), &d) > first + 5; }, 2000));
    EXPECT_LT(d, kSamePicture);

    ExpectPauseAndResume(m_x, m_window, pictures, [&] { player.TogglePause(); });

    EXPECT_EQ(WaitForEnd(8000), long(CVideoPlayer::kPlayedToEnd));
    SPicture last = m_x.Capture(m_window);
    EXPECT_TRUE(IsLastPicture(pictures, last, kSamePicture));
    Pump(200);
    EXPECT_EQ(m_x.Capture(m_window), last);
    // Every picture was shown once, none lost at the end of the input.
    EXPECT_EQ(player.GetStats().nFrames, 240);
    player.Stop();

    // A second playback on the same player starts clean: nothing of the first is left behind.
    ASSERT_TRUE(Start(player, clip, m_window));
    EXPECT_TRUE(WaitFor([&] { return NearestPicture(pictures, m_x.Capture(m_window), nullptr) < 100; }, 2000))
        << "the second playback starts from the beginning";
}

TEST_F(VideoPlayerTest, EndsAtOnceWhenStoppedOrDestroyedMidVideo) {
    std::string shipped = SHOPDESK_RES_DIR "/guidance.mov";
    {
        CVideoPlayer player;
        ASSERT_TRUE(Start(player, shipped, m_window));
        ASSERT_TRUE(WaitForPicture(m_x, m_window, 3000));
        EXPECT_FALSE(player.Start(L"other.mov", m_window, nullptr, 0)) << "one playback at a time";
        auto t0 = std::chrono::steady_clock::now();
        player.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
        EXPECT_FALSE(player.IsStarted());
        EXPECT_EQ(WaitForEnd(1000), long(CVideoPlayer::kPlayStopped));
    }
    {
        // Paused, and then the owner goes: the destructor must still end the threads.
        CVideoPlayer player;
        ASSERT_TRUE(Start(player, shipped, m_window));
        ASSERT_TRUE(WaitForPicture(m_x, m_window, 3000));
        player.TogglePause();
    }
    EXPECT_EQ(WaitForEnd(1000), long(CVideoPlayer::kPlayStopped));
}

TEST_F(VideoPlayerTest, BadFilesPrintTheirMessageDrawNothingAndEnd) {
    std::string good = Clip("good.mov", "--seconds 1");
    std::string empty = m_dir + "empty.mov";
    std::ofstream(empty).close();
    std::string half = m_dir + "half.mov";
    CopyFileHead(good, half, std::filesystem::file_size(good) / 2);
    std::string text = m_dir + "text.mov";
    std::ofstream(text) << "this is not a video\n";
    std::string audioOnly = Clip("audio.mov", "--seconds 1 --no-video");

    struct Case {
        std::string path;
        const char* message;
    } cases[] = {
        {m_dir + "missing.mov", "Couldn't open input stream.\n"},
        {empty, "Couldn't open input stream.\n"},
        {half, "Couldn't open input stream.\n"},
        {text, "Couldn't open input stream.\n"},
        {audioOnly, "Didn't find a video stream.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CVideoPlayer player;
        testing::internal::CaptureStdout();
        bool started = Start(player, c.path, m_window);
        long end = WaitForEnd(3000);
        std::string out = testing::internal::GetCapturedStdout();
        ASSERT_TRUE(started);
        EXPECT_EQ(end, long(CVideoPlayer::kPlayFailed));
        EXPECT_EQ(out, c.message);
        EXPECT_FALSE(WaitForPicture(m_x, m_window, 50));
    }
}

TEST_F(VideoPlayerTest, WithoutANativeWindowItFailsLikeAMissingFile) {
    std::string good = Clip("good.mov", "--seconds 1");
    CVideoPlayer player;
    testing::internal::CaptureStdout();
    bool started = Start(player, good, 0);
    long end = WaitForEnd(3000);
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(started);
    EXPECT_EQ(end, long(CVideoPlayer::kPlayFailed));
    EXPECT_NE(out.find("SDL: could not create window - exiting:no native window\n"), std::string::npos) << out;
}

} // namespace
