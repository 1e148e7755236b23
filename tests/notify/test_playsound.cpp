#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>
#include <unistd.h>

#include "common/sysutils.h"
#include "notify/cplaysound.h"
#include "platform/mci.h"
#include "support/testenv.h"

namespace fs = std::filesystem;

namespace {

// Sounds go to SDL's disk driver, so what was played can be measured in a file.
class PlaySoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_out = home.path() + "/audio-out.raw";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", m_out.c_str(), 1);
        m_exeDir = home.path() + "/bin/";
        fs::create_directories(m_exeDir);
    }
    void InstallSounds() {
        fs::copy(fs::path(SHOPDESK_RES_DIR) / "audio", m_exeDir + "audio", fs::copy_options::recursive);
    }
    static void WaitFor(const std::function<bool()>& done) {
        for (int i = 0; i < 500 && !done(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ScopedTestHome home;
    std::string m_out, m_exeDir;
};

// Standard error of the process while it lives, as text.
class StderrCapture {
public:
    explicit StderrCapture(const std::string& path) : m_path(path) {
        fflush(stderr);
        m_saved = dup(2);
        FILE* f = fopen(path.c_str(), "w");
        dup2(fileno(f), 2);
        fclose(f);
    }
    std::string Text() {
        fflush(stderr);
        return ReadFileBytes(m_path);
    }
    ~StderrCapture() {
        fflush(stderr);
        dup2(m_saved, 2);
        close(m_saved);
    }

private:
    std::string m_path;
    int m_saved;
};

} // namespace

TEST_F(PlaySoundTest, PlaysTheKindsSoundThroughTheDevice) {
    InstallSounds();
    CPlaySound player(AnsiToWide(m_exeDir));
    EXPECT_NE(player.Play(L"conversation"), 0);
    WaitFor([&] { return player.PlayedCount() == 1; });
    EXPECT_EQ(player.LastResult(), 0u);
    WaitFor([&] { return fs::exists(m_out) && fs::file_size(m_out) > 0; });
    EXPECT_GT(fs::file_size(m_out), 0u);
}

// An open device keeps playing silence into the disk driver's file; a device given back adds
// nothing more to it. Each opening of the device starts the file anew.
TEST_F(PlaySoundTest, TheDeviceIsGivenBackAfterTheSoundAndTheNextSoundOpensItAgain) {
    InstallSounds();
    CPlaySound player(AnsiToWide(m_exeDir));
    auto settled = [&] {
        for (int i = 0; i < 20; ++i) {
            uintmax_t before = fs::exists(m_out) ? fs::file_size(m_out) : 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            if (before > 0 && fs::file_size(m_out) == before)
                return true;
        }
        return false;
    };
    for (int round = 1; round <= 2; ++round) {
        fs::remove(m_out);
        player.Play(L"conversation");
        WaitFor([&] { return player.PlayedCount() == static_cast<unsigned>(round); });
        EXPECT_EQ(player.LastResult(), 0u) << "round " << round;
        ASSERT_TRUE(settled()) << "the device still plays 10 s after the sound, round " << round;
        // A 0.6 s sound at 22,050 frames of 16 bits a second, all of it.
        EXPECT_GE(fs::file_size(m_out), 26460u) << "round " << round;
        EXPECT_EQ(platform::mciSendString(L"stop conversation"), MCIERR_INVALID_DEVICE_NAME) << "round " << round;
    }
}

TEST_F(PlaySoundTest, ABurstOfRequestsCoalesces) {
    InstallSounds();
    CPlaySound player(AnsiToWide(m_exeDir));
    for (int i = 0; i < 5; ++i)
        player.Play(L"order");
    player.Play(L"newcomer");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // The first request may be picked up before the rest arrive; the others fold into one.
    EXPECT_GE(player.PlayedCount(), 1u);
    EXPECT_LE(player.PlayedCount(), 2u);
    EXPECT_EQ(player.LastResult(), 0u);
}

TEST_F(PlaySoundTest, MissingFilesLogOneLineWithTheFullPathPerPlay) {
    StderrCapture capture(home.path() + "/stderr.txt");
    {
        CPlaySound player(AnsiToWide(m_exeDir));
        player.Play(L"order");
        WaitFor([&] { return player.PlayedCount() == 1; });
        player.Play(L"unknown-kind");
        WaitFor([&] { return player.PlayedCount() == 2; });
        EXPECT_EQ(player.LastResult(), MCIERR_FILE_NOT_FOUND);
    }
    std::string text = capture.Text();
    EXPECT_NE(text.find("播放音频" + m_exeDir + "audio/order.wav失败，错误码：275"), std::string::npos) << text;
    // An unknown kind has no file: the path is the executable's folder itself.
    EXPECT_NE(text.find("播放音频" + m_exeDir + "失败"), std::string::npos) << text;
}

TEST_F(PlaySoundTest, DestroyingWhilePlayingEndsTheWorker) {
    InstallSounds();
    auto player = std::make_unique<CPlaySound>(AnsiToWide(m_exeDir));
    player->Play(L"newcomer");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    player.reset(); // must return (bounded wait) and leave the alias closed
    EXPECT_EQ(platform::mciSendString(L"stop conversation"), MCIERR_INVALID_DEVICE_NAME);
}

TEST_F(PlaySoundTest, FirstPlaysFromSeveralThreadsAtOnceStartOneWorker) {
    InstallSounds();
    for (int round = 0; round < 20; ++round) {
        CPlaySound player(AnsiToWide(m_exeDir));
        std::atomic<int> ready{0};
        std::vector<std::thread> callers;
        for (int i = 0; i < 4; ++i)
            callers.emplace_back([&] {
                ++ready;
                while (ready.load() < 4) {
                }
                player.Play(L"order");
            });
        for (std::thread& t : callers)
            t.join();
        WaitFor([&] { return player.PlayedCount() >= 1; });
        ASSERT_GE(player.PlayedCount(), 1u) << "round " << round;
    }
}

TEST(CommandStrings, RejectWhatTheyDoNotKnow) {
    EXPECT_EQ(platform::mciSendString(L"play nothing-open"), MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(platform::mciSendString(L"rewind x"), MCIERR_UNRECOGNIZED_COMMAND);
    EXPECT_EQ(platform::mciSendString(L"open \"/no/such.wav\" alias a"), MCIERR_FILE_NOT_FOUND);
    EXPECT_EQ(platform::mciSendString(L"open \"/etc/hostname\" noalias"), MCIERR_UNRECOGNIZED_COMMAND);
}
