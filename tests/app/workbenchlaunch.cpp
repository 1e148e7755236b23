#include "workbenchlaunch.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "demopeer.h"

pid_t Launch(const std::string& program, const std::string& arg) {
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        execl(program.c_str(), program.c_str(), arg.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

int WaitExit(pid_t pid, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 50) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (waited < timeoutMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
}

void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    if (WaitExit(pid, 10000) == -1) {
        kill(pid, SIGKILL);
        WaitExit(pid, 5000);
    }
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

void UseDemoHosts(const DemoPeer& peer) {
    for (const char* var : {"SHOPDESK_CONSOLE_HOST", "SHOPDESK_MERCHANT_HOST", "SHOPDESK_MOBILE_HOST"})
        setenv(var, peer.BaseUrl().c_str(), 1);
}

void UseRuntimeFolder(const std::string& home) {
    namespace fs = std::filesystem;
    std::string runtime = home + "/run";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
}
