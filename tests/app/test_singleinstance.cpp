// Two real launches of the workbench: the second, carrying a uid while the first runs, hands
// the uid over and ends.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "common/sysutils.h"
#include "demopeer.h"
#include "support/testenv.h"

namespace {

pid_t Launch(const std::string& arg) {
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        execl(SHOPDESK_EXE, SHOPDESK_EXE, arg.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Waits for the process to end; its exit code, or -1 when it did not end in time.
int WaitExit(pid_t pid, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

bool Requested(const DemoPeer& peer, const std::string& target) {
    Json::Value seen = peer.Requests();
    for (const Json::Value& r : seen)
        if (r["target"].asString() == target)
            return true;
    return false;
}

} // namespace

TEST(SingleInstance, ASecondLaunchHandsItsUidToTheRunningWorkbench) {
    ScopedTestHome home;
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    PointWorkbenchAt(peer.BaseUrl(), home.path());

    pid_t first = Launch("tessaril://uid=first/");
    ASSERT_TRUE(WaitFor([&] { return Requested(peer, "/admin/index.php?uid=first"); }, 30000));
    // Its browser helper runs under the program's own name.
    ASSERT_TRUE(WaitFor([] { return IsProcessRunning(L"Vudeda"); }, 30000));

    pid_t second = Launch("tessaril://uid=second/");
    EXPECT_EQ(WaitExit(second, 20000), 0);
    EXPECT_TRUE(WaitFor([&] { return Requested(peer, "/admin/index.php?uid=second"); }, 20000));
    EXPECT_EQ(WaitExit(first, 0), -1) << "the first workbench must still run";

    // A launch without a uid always starts a workbench of its own.
    pid_t third = Launch("");
    EXPECT_EQ(WaitExit(third, 3000), -1);
    kill(third, SIGTERM);
    WaitExit(third, 10000);
    kill(first, SIGTERM);
    WaitExit(first, 10000);
}
