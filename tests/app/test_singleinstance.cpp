// Real launches of the workbench: a second launch with a uid hands it to the running
// workbench and ends; a launch that finds no workbench to take its uid, or has no uid, starts
// one of its own.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "common/sysutils.h"
#include "demopeer.h"
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
