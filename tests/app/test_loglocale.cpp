// The diagnostic log of a real start from a program folder and a home folder with Chinese
// names: it starts before the program sets its locale and must still find both folders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "demopeer.h"
#include "support/launch.h"
#include "support/testenv.h"

namespace fs = std::filesystem;

TEST(LogLocale, ChineseHomeAndProgramFoldersKeepTheLogAndItsSettings) {
    ScopedTestHome scoped;
    const std::string home = scoped.path() + "/商户之家";
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(scoped.path() + "/demo"));
    PointLaunchesAt(peer, scoped.path());

    // Only "DbgLog.cfg" switches file logging on; the log must read it beside the program.
    const std::string bin = scoped.path() + "/工作台/";
    fs::create_directories(bin);
    fs::copy_file(SHOPDESK_EXE, bin + "shopdesk");
    WriteFileBytes(bin + "DbgLog.cfg", "[DbgLogCfg]\ng_bSaveLogFile=1\n");

    const std::string logDir = home + "/.local/share/QDX/DbgLog";
    auto logged = [&] {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(logDir, ec))
            if (e.path().extension() == ".log" && ReadFileBytes(e.path()).find("shopdesk启动开始") != std::string::npos)
                return true;
        return false;
    };
    pid_t pid = LaunchWorkbenchAt(bin + "shopdesk", "");
    bool found = WaitUntil(logged, 20000);
    StopWorkbench(pid);
    EXPECT_TRUE(found) << "no log file with the start banner in " << logDir;
    for (const auto& e : fs::recursive_directory_iterator(scoped.path()))
        EXPECT_EQ(e.path().string().find('?'), std::string::npos) << e.path();
}
