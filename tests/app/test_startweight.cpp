// What a start loads: the video's and the sounds' libraries (FFmpeg, SDL and the sound
// servers' libraries behind it) come with their first use, never with the start itself.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "demopeer.h"
#include "support/launch.h"
#include "support/testenv.h"

TEST(StartWeight, ARunningWorkbenchHasMappedNeitherFfmpegNorSdl) {
    ScopedTestHome home;
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    PointLaunchesAt(peer, home.path());
    WriteFileBytes(home.dataHome() + "/QDX/Cache/Config.ini", "[Guidance]\nIsGuidance=1\n");

    pid_t pid = LaunchWorkbench("tessaril://uid=weight/");
    // Up to the sign-in page with its style sheet: the start is over.
    ASSERT_TRUE(WaitUntil([&] { return PeerWasAsked(peer, "/admin/index.php?uid=weight"); }, 30000));
    ASSERT_TRUE(WaitUntil([&] { return PeerWasAsked(peer, "/admin/console.css"); }, 30000));
    std::string maps = ReadFileBytes("/proc/" + std::to_string(pid) + "/maps");
    StopWorkbench(pid);
    ASSERT_NE(maps.find("libcurl"), std::string::npos) << "not the maps of a started workbench";
    for (const char* lib : {"libavcodec", "libavformat", "libswscale", "libSDL2", "libshopdesk_video"})
        EXPECT_EQ(maps.find(lib), std::string::npos) << lib << " is mapped at start";
}
