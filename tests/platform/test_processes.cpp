// The running-process test looks at every process, however many run: a workbench started
// after a crowd of other programs is still found.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/sysutils.h"
#include "platform/sysinfo.h"
#include "support/testenv.h"

namespace {

pid_t Spawn(const std::string& program) {
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        execl(program.c_str(), program.c_str(), "300", static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

void EndAll(const std::vector<pid_t>& pids) {
    for (pid_t p : pids)
        kill(p, SIGKILL);
    for (pid_t p : pids)
        waitpid(p, nullptr, 0);
}

// A child is the program only once its exec has happened; until then it is a copy of the test.
bool WaitExecuted(pid_t pid, const std::string& program) {
    std::error_code ec;
    for (int i = 0; i < 500; ++i) {
        if (std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec) == program)
            return true;
        usleep(10000);
    }
    return false;
}

size_t ProcessesBelow(pid_t pid) {
    size_t n = 0;
    if (DIR* d = opendir("/proc")) {
        while (dirent* e = readdir(d)) {
            long p = strtol(e->d_name, nullptr, 10);
            n += p > 0 && p < pid;
        }
        closedir(d);
    }
    return n;
}

} // namespace

TEST(ProcessTest, FindsAProgramStartedAfterMoreThanAThousandOthers) {
    ScopedTestHome home;
    const std::string probe = home.path() + "/shopdesk-process-probe";
    std::filesystem::copy_file("/bin/sleep", probe);

    std::vector<pid_t> started;
    for (int i = 0; i < 1100; ++i) {
        pid_t p = Spawn("/bin/sleep");
        ASSERT_GT(p, 0);
        started.push_back(p);
    }
    const std::string sleepImage = std::filesystem::canonical("/bin/sleep").string();
    for (pid_t p : started)
        ASSERT_TRUE(WaitExecuted(p, sleepImage));
    // It must come after more than 1,024 others in pid order, which a wrap of the pid counter
    // can undo; then it is started again.
    pid_t found = -1;
    for (int tries = 0; tries < 5 && found < 0; ++tries) {
        pid_t p = Spawn(probe);
        started.push_back(p);
        if (ProcessesBelow(p) > 1024)
            found = p;
    }
    ASSERT_GT(found, 0) << "could not place the probe behind 1,024 processes";
    ASSERT_TRUE(WaitExecuted(found, probe));

    EXPECT_TRUE(IsProcessRunning(L"/shopdesk-process-probe"));
    size_t sleeps = 0;
    for (const std::string& path : platform::ListProcessImagePaths())
        sleeps += path.find("sleep") != std::string::npos;
    EXPECT_GE(sleeps, 1100u);

    EndAll(started);
    EXPECT_FALSE(IsProcessRunning(L"/shopdesk-process-probe"));
}
