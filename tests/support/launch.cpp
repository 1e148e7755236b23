#include "support/launch.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "demopeer.h"

namespace fs = std::filesystem;

void PointLaunchesAt(const DemoPeer& peer, const std::string& home) {
    for (const char* var : {"SHOPDESK_CONSOLE_HOST", "SHOPDESK_MERCHANT_HOST", "SHOPDESK_MOBILE_HOST"})
        setenv(var, peer.BaseUrl().c_str(), 1);
    std::string runtime = home + "/run";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
}

pid_t LaunchWorkbench(const std::string& arg) { return LaunchWorkbenchAt(SHOPDESK_EXE, arg); }

pid_t LaunchWorkbenchAt(const std::string& exe, const std::string& arg) {
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (arg.empty())
            execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        else
            execl(exe.c_str(), exe.c_str(), arg.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

int WaitExit(pid_t pid, int timeoutMs) {
    for (int waited = 0;; waited += 50) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (r < 0)
            return -2;
        if (waited >= timeoutMs)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void StopWorkbench(pid_t pid) {
    if (pid <= 0 || WaitExit(pid, 0) != -1) // ended, or reaped before
        return;
    kill(pid, SIGTERM);
    if (WaitExit(pid, 10000) == -1) {
        kill(pid, SIGKILL);
        WaitExit(pid, 5000);
    }
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

bool PeerWasAsked(const DemoPeer& peer, const std::string& target) {
    for (const Json::Value& r : peer.Requests())
        if (r["target"].asString() == target)
            return true;
    return false;
}
