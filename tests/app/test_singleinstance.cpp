// Two real launches of the workbench: the second, carrying a uid while the first runs, hands
// the uid over and ends.
#include <gtest/gtest.h>

#include "common/sysutils.h"
#include "demopeer.h"
#include "support/testenv.h"
#include "workbenchlaunch.h"

TEST(SingleInstance, ASecondLaunchHandsItsUidToTheRunningWorkbench) {
    ScopedTestHome home;
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    UseDemoHosts(peer);
    UseRuntimeFolder(home.path());

    pid_t first = Launch(SHOPDESK_EXE, "tessaril://uid=first/");
    ASSERT_TRUE(WaitFor([&] { return Requested(peer, "/admin/index.php?uid=first"); }, 30000));
    // Its browser helper runs under the program's own name.
    ASSERT_TRUE(WaitFor([] { return IsProcessRunning(L"Vudeda"); }, 30000));

    pid_t second = Launch(SHOPDESK_EXE, "tessaril://uid=second/");
    EXPECT_EQ(WaitExit(second, 20000), 0);
    EXPECT_TRUE(WaitFor([&] { return Requested(peer, "/admin/index.php?uid=second"); }, 20000));
    EXPECT_EQ(WaitExit(first, 0), -1) << "the first workbench must still run";

    // A launch without a uid always starts a workbench of its own.
    pid_t third = Launch(SHOPDESK_EXE, "");
    EXPECT_EQ(WaitExit(third, 3000), -1);
    Stop(third);
    Stop(first);
}
