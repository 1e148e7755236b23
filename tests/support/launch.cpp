#include "support/launch.h"

#include <chrono>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "demopeer.h"
#include "platform/registryprotocol.h"

namespace fs = std::filesystem;

void PointLaunchesAt(const DemoPeer& peer, const std::string& home, bool freshProfile) {
    for (const char* var : {"SHOPDESK_CONSOLE_HOST", "SHOPDESK_MERCHANT_HOST", "SHOPDESK_MOBILE_HOST"})
        setenv(var, peer.BaseUrl().c_str(), 1);
    std::string runtime = home + "/run";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    if (!freshProfile)
        platform::RegisterProtocolHandler(SHOPDESK_EXE);
}

pid_t LaunchWorkbench(const std::string& arg) { return LaunchWorkbenchAt(SHOPDESK_EXE, arg); }

pid_t LaunchWorkbenchAt(const std::string& exe, const std::string& arg) {
    return LaunchProgram(exe, arg.empty() ? std::vector<std::string>{} : std::vector<std::string>{arg});
}

pid_t LaunchProgram(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        execv(program.c_str(), argv.data());
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

namespace {

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        while (fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    return out;
}

} // namespace

std::vector<std::string> ShownWindowsOf(pid_t pid) {
    std::vector<std::string> windows;
    std::string out = Output("xdotool search --onlyvisible --pid " + std::to_string(pid) + " 2>/dev/null");
    size_t start = 0;
    for (size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
        windows.push_back(out.substr(start, end - start));
    return windows;
}

std::string WindowNameOf(const std::string& window) {
    std::string name = Output("xdotool getwindowname " + window + " 2>/dev/null");
    if (!name.empty() && name.back() == '\n')
        name.pop_back();
    return name;
}

bool WindowOrigin(const std::string& window, int& x, int& y) {
    int width = 0, height = 0;
    return WindowGeometry(window, x, y, width, height);
}

bool WindowGeometry(const std::string& window, int& x, int& y, int& width, int& height) {
    std::string out = Output("xdotool getwindowgeometry --shell " + window + " 2>/dev/null");
    return std::sscanf(out.c_str(), "WINDOW=%*d\nX=%d\nY=%d\nWIDTH=%d\nHEIGHT=%d", &x, &y, &width, &height) == 4;
}

bool ClickScreenAt(int x, int y) {
    return std::system(("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1").c_str()) == 0;
}
