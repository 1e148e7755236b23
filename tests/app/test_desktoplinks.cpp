// A tessaril link opened by the desktop's own tool reaches the workbench, in a fresh profile
// under a real X server.
#include <gtest/gtest.h>

#include "common/sysutils.h"
#include "demopeer.h"
#include "platform/registryprotocol.h"
#include "support/launch.h"
#include "support/testenv.h"

TEST(DesktopLinks, XdgOpenHandsTheUidToTheRunningWorkbench) {
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "runs under xvfb-run";
    ScopedTestHome home;
    ScopedSystemFolders system(home.path() + "/system");
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    PointLaunchesAt(peer, home.path());
    ASSERT_TRUE(platform::RegisterProtocolHandler(SHOPDESK_EXE));

    pid_t workbench = LaunchWorkbench("tessaril://uid=first/");
    ASSERT_TRUE(WaitUntil([&] { return PeerWasAsked(peer, "/admin/index.php?uid=first"); }, 30000));
    ASSERT_TRUE(WaitUntil([] { return IsProcessRunning(L"Vudeda"); }, 30000));

    pid_t opener = LaunchWorkbenchAt("/usr/bin/xdg-open", "tessaril://uid=abc/");
    EXPECT_EQ(WaitExit(opener, 30000), 0);
    EXPECT_TRUE(WaitUntil([&] { return PeerWasAsked(peer, "/admin/index.php?uid=abc"); }, 30000));
    EXPECT_EQ(WaitExit(workbench, 0), -1) << "the workbench must still run";
    StopWorkbench(workbench);
}
