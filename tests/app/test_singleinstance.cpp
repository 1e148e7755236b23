// Real launches of the workbench: a second launch with a uid hands it to the running
// workbench and ends.
#include <gtest/gtest.h>

#include "common/sysutils.h"
#include "demopeer.h"
#include "support/launch.h"
#include "support/testenv.h"

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

    // A launch without a uid always starts a workbench of its own.
    pid_t third = LaunchWorkbench("");
    EXPECT_EQ(WaitExit(third, 3000), -1);
    StopWorkbench(third);
    StopWorkbench(first);
}
