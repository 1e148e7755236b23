// A tessaril link opened by the desktop's own tool reaches the workbench, in a fresh profile
// under a real X server.
#include <gtest/gtest.h>

#include "common/sysutils.h"
#include "demopeer.h"
#include "platform/registryprotocol.h"
#include "support/testenv.h"
#include "workbenchlaunch.h"

TEST(DesktopLinks, XdgOpenHandsTheUidToTheRunningWorkbench) {
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "runs under xvfb-run";
    ScopedTestHome home;
    ScopedSystemFolders system(home.path() + "/system");
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    UseDemoHosts(peer);
    UseRuntimeFolder(home.path());
    ASSERT_TRUE(platform::RegisterProtocolHandler(SHOPDESK_EXE));

    pid_t workbench = Launch(SHOPDESK_EXE, "tessaril://uid=first/");
    ASSERT_TRUE(WaitFor([&] { return Requested(peer, "/admin/index.php?uid=first"); }, 30000));
    ASSERT_TRUE(WaitFor([] { return IsProcessRunning(L"Vudeda"); }, 30000));

    pid_t opener = Launch("/usr/bin/xdg-open", "tessaril://uid=abc/");
    EXPECT_EQ(WaitExit(opener, 30000), 0);
    EXPECT_TRUE(WaitFor([&] { return Requested(peer, "/admin/index.php?uid=abc"); }, 30000));
    EXPECT_EQ(WaitExit(workbench, 0), -1) << "the workbench must still run";
    Stop(workbench);
}
