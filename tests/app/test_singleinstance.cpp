// Real launches of the workbench: a second launch with a uid hands it to the running
// workbench and ends; a launch that finds no workbench to take its uid, or has no uid, starts
// one of its own.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "common/custommsg.h"
#include "common/sysutils.h"
#include "demopeer.h"
#include "platform/winuser.h"
#include "support/busclient.h"
#include "support/launch.h"
#include "support/testenv.h"

namespace fs = std::filesystem;

namespace {

class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.Start(home.path() + "/demo"));
        PointLaunchesAt(peer, home.path());
    }
    ScopedTestHome home;
    DemoPeer peer;
};

} // namespace

TEST_F(SingleInstance, ASecondLaunchHandsItsUidToTheRunningWorkbench) {
    pid_t first = LaunchWorkbench("tessaril://uid=first/");
    ASSERT_TRUE(WaitUntil([&] { return PeerWasAsked(peer, "/admin/index.php?uid=first"); }, 30000));
    // Its browser helper runs under the program's own name.
    ASSERT_TRUE(WaitUntil([] { return IsProcessRunning(L"Vudeda"); }, 30000));

    pid_t second = LaunchWorkbench("tessaril://uid=second/");
    EXPECT_EQ(WaitExit(second, 20000), 0);
    EXPECT_TRUE(WaitUntil([&] { return PeerWasAsked(peer, "/admin/index.php?uid=second"); }, 20000));
    EXPECT_EQ(WaitExit(first, 0), -1) << "the first workbench must still run";

    // A launch without a uid (the session's autostart) starts a workbench of its own, on the
    // console's start page.
    pid_t third = LaunchWorkbench("");
    EXPECT_TRUE(WaitUntil([&] { return PeerWasAsked(peer, "/admin"); }, 30000));
    EXPECT_EQ(WaitExit(third, 0), -1);
    StopWorkbench(third);
    StopWorkbench(first);
}

TEST_F(SingleInstance, ForeignPointersNeitherCrashTheWorkbenchNorStopItsForwarding) {
    pid_t first = LaunchWorkbench("tessaril://uid=first/");
    ASSERT_TRUE(WaitUntil([&] { return PeerWasAsked(peer, "/admin/index.php?uid=first"); }, 30000));
    HWND main = nullptr;
    platform::EnumWindows([&](HWND h) {
        DWORD pid = 0;
        platform::GetWindowThreadProcessId(h, &pid);
        if (pid == static_cast<DWORD>(first) && platform::GetWindowText(h) == kMainWndTitle)
            main = h;
        return main == nullptr;
    });
    ASSERT_NE(main, nullptr);

    // The messages whose wParam the main window reads and deletes as its own heap record, and
    // copied data as a plain message, each posted and sent with an address of nothing.
    for (uint32_t msg : {WM_RECEIVE_MSG, WM_OPEN_CONVERSATION, WM_MENU_CLICK, WM_COPYDATA}) {
        for (uint8_t op : {uint8_t(2), uint8_t(3)}) {
            SRawAnswer a = SendRawMessage(static_cast<uint32_t>(first), op, reinterpret_cast<uintptr_t>(main), msg,
                                          0x41414141, 0x41414141);
            EXPECT_TRUE(a.answered) << msg;
            EXPECT_EQ(a.value, 0) << msg;
        }
    }
    ASSERT_EQ(WaitExit(first, 1000), -1) << "the workbench ended on a foreign message";

    ASSERT_TRUE(WaitUntil([] { return IsProcessRunning(L"Vudeda"); }, 30000));
    pid_t second = LaunchWorkbench("tessaril://uid=second/");
    EXPECT_EQ(WaitExit(second, 20000), 0);
    EXPECT_TRUE(WaitUntil([&] { return PeerWasAsked(peer, "/admin/index.php?uid=second"); }, 20000));
    StopWorkbench(first);
}

TEST_F(SingleInstance, AStrayHelperProcessDoesNotSwallowTheLaunch) {
    // A process under the helper's name without any workbench, as a crash can leave behind.
    const std::string stray = home.path() + "/stray/Vudeda";
    fs::create_directories(home.path() + "/stray");
    fs::copy_file("/bin/sleep", stray);
    pid_t helper = fork();
    if (helper == 0) {
        execl(stray.c_str(), stray.c_str(), "120", static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_TRUE(WaitUntil([] { return IsProcessRunning(L"Vudeda"); }, 5000));

    pid_t launch = LaunchWorkbench("tessaril://uid=stray/");
    EXPECT_TRUE(WaitUntil([&] { return PeerWasAsked(peer, "/admin/index.php?uid=stray"); }, 30000));
    EXPECT_EQ(WaitExit(launch, 0), -1) << "the launch ended without any workbench taking its uid";
    StopWorkbench(launch);
    kill(helper, SIGKILL);
    WaitExit(helper, 5000);
}
