// The registration check and tessaril links as a user meets them: a fresh profile under a real
// X server, the repair prompt answered with the pointer, and a link opened by the desktop's
// own tool reaching the running workbench.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/protocolcheck.h"
#include "common/sysutils.h"
#include "demopeer.h"
#include "support/launch.h"
#include "support/testenv.h"

namespace fs = std::filesystem;

namespace {

// Windows of the workbench other than its main window: the repair prompt, when it shows.
std::vector<std::string> PromptsOf(pid_t pid) {
    std::vector<std::string> prompts;
    for (const std::string& w : ShownWindowsOf(pid))
        if (WindowNameOf(w) != "QDX_IM")
            prompts.push_back(w);
    return prompts;
}

bool HasMainWindow(pid_t pid) {
    for (const std::string& w : ShownWindowsOf(pid))
        if (WindowNameOf(w) == "QDX_IM")
            return true;
    return false;
}

} // namespace

TEST(DesktopLinks, FreshProfileIsRepairedOnceAndLinksReachTheRunningWorkbench) {
    ScopedTestHome home;
    ScopedSystemFolders system(home.path() + "/system");
    unsetenv("AppData");
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    PointLaunchesAt(peer, home.path(), true);
    const std::string script = home.dataHome() + "/QDX/Cache/shopdesk.reg";
    // The first-use guidance was seen, so the only window besides the main one is the prompt.
    fs::create_directories(home.dataHome() + "/QDX/Cache");
    std::ofstream(home.dataHome() + "/QDX/Cache/Config.ini") << "[Guidance]\nIsGuidance=1\n";

    // Started without a uid, as from the menu: a launch with one may hand it to any workbench
    // already running on the machine.
    pid_t workbench = LaunchWorkbench("");
    std::vector<std::string> prompts;
    ASSERT_TRUE(WaitUntil([&] { return !(prompts = PromptsOf(workbench)).empty(); }, 30000));
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_FALSE(fs::exists(script)) << "nothing is written before the user agrees";
    // The skin puts "确定" (btn_reload) at 70..182 x 154..186 in the 380 x 200 box.
    int x = 0, y = 0;
    ASSERT_TRUE(WindowOrigin(prompts[0], x, y));
    ASSERT_TRUE(ClickScreenAt(x + 126, y + 170));

    ASSERT_TRUE(WaitUntil([&] { return fs::exists(home.dataHome() + "/applications/shopdesk-url-handler.desktop"); },
                        10000));
    EXPECT_EQ(ReadFileBytes(script), MakeUrlProtocolScript(Utf8ToWide(SHOPDESK_EXE)));
    EXPECT_NE(ReadFileBytes(home.configHome() + "/mimeapps.list")
                  .find("x-scheme-handler/tessaril=shopdesk-url-handler.desktop;"),
              std::string::npos);
    ASSERT_TRUE(WaitUntil([&] { return HasMainWindow(workbench); }, 30000));
    EXPECT_TRUE(PromptsOf(workbench).empty()) << "the prompt is asked once";
    ASSERT_TRUE(WaitUntil([] { return IsProcessRunning(L"Vudeda"); }, 30000));

    pid_t opener = LaunchProgram("/usr/bin/xdg-open", {"tessaril://uid=abc/"});
    EXPECT_EQ(WaitExit(opener, 30000), 0);
    EXPECT_TRUE(WaitUntil([&] { return PeerWasAsked(peer, "/admin/index.php?uid=abc"); }, 30000));
    // GLib's launcher reads the same default.
    pid_t gio = LaunchProgram("/usr/bin/gio", {"open", "tessaril://uid=def/"});
    EXPECT_EQ(WaitExit(gio, 30000), 0);
    EXPECT_TRUE(WaitUntil([&] { return PeerWasAsked(peer, "/admin/index.php?uid=def"); }, 30000));
    EXPECT_EQ(WaitExit(workbench, 0), -1) << "the workbench must still run";
    StopWorkbench(workbench);

    // The next start finds everything in place and asks nothing.
    fs::remove(script);
    pid_t second = LaunchWorkbench("");
    ASSERT_TRUE(WaitUntil([&] { return HasMainWindow(second); }, 30000));
    EXPECT_FALSE(WaitUntil([&] { return !PromptsOf(second).empty(); }, 3000));
    EXPECT_FALSE(fs::exists(script));
    StopWorkbench(second);
}
