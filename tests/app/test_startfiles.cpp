// A real start with every JSON file of the workbench, and the version answer, nested far
// deeper than any parser stack allows: the workbench must start as it does with broken files.
#include <gtest/gtest.h>

#include <string>

#include "demopeer.h"
#include "support/launch.h"
#include "support/testenv.h"

namespace {

std::string Nested(const std::string& key, size_t depth) {
    return "{\"" + key + "\":" + std::string(depth, '[') + "1" + std::string(depth, ']') + "}";
}

} // namespace

TEST(StartFiles, DeeplyNestedFilesAndVersionAnswerDoNotStopTheStart) {
    ScopedTestHome home;
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    PointLaunchesAt(peer, home.path());
    const std::string cache = home.dataHome() + "/QDX/Cache/";
    WriteFileBytes(cache + "Config/Config.json", Nested("Config", 2000));
    WriteFileBytes(cache + "Avatar/AvatarList.json", Nested("AvatarList", 2000));
    WriteFileBytes(home.configHome() + "/shopdesk/registry.json", Nested("HKEY_CURRENT_USER", 2000));
    peer.Get("/demo/fault?mode=deepjson&path=/system/update/&count=1");

    pid_t pid = LaunchWorkbench("tessaril://uid=deep/");
    EXPECT_TRUE(WaitUntil([&] { return PeerWasAsked(peer, "/system/update/native_app_check_update/v1"); }, 30000));
    EXPECT_TRUE(WaitUntil([&] { return PeerWasAsked(peer, "/admin/index.php?uid=deep"); }, 30000));
    EXPECT_EQ(WaitExit(pid, 2000), -1) << "the workbench ended instead of running";
    StopWorkbench(pid);
}
