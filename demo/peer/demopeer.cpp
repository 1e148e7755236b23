#include "demopeer.h"

#include <csignal>
#include <sys/prctl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include <httplib.h>

#include "demostate.h"

#ifndef SHOPDESK_DEMO_SERVER_PATH
#error "SHOPDESK_DEMO_SERVER_PATH must name the built demo server"
#endif

DemoPeer::~DemoPeer() { Stop(); }

bool DemoPeer::Start(const std::string& dataDir, const std::string& extraArg) {
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        // A test that dies takes its server with it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        if (extraArg.empty())
            execl(SHOPDESK_DEMO_SERVER_PATH, SHOPDESK_DEMO_SERVER_PATH, "--port", "0", "--data", dataDir.c_str(),
                  static_cast<char*>(nullptr));
        else
            execl(SHOPDESK_DEMO_SERVER_PATH, SHOPDESK_DEMO_SERVER_PATH, "--port", "0", "--data", dataDir.c_str(),
                  extraArg.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    m_pid = pid;
    std::string line;
    pollfd p{fds[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && poll(&p, 1, 5000) > 0) {
        char buf[256];
        ssize_t n = read(fds[0], buf, sizeof(buf));
        if (n <= 0)
            break;
        line.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    size_t colon = line.rfind(':');
    m_port = colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
    if (m_port <= 0) {
        Stop();
        return false;
    }
    return true;
}

bool DemoPeer::StartInFreshFolder(const std::string& extraArg) {
    std::error_code ec;
    std::string tmpl = std::filesystem::temp_directory_path(ec).string() + "/shopdesk-peer-XXXXXX";
    if (ec || !mkdtemp(tmpl.data()))
        return false;
    m_freshFolder = tmpl;
    return Start(m_freshFolder, extraArg);
}

void DemoPeer::Stop() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
    if (!m_freshFolder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_freshFolder, ec);
        m_freshFolder.clear();
    }
}

httplib::Client DemoPeer::WorkbenchClient() const {
    httplib::Client cli("127.0.0.1", m_port);
    cli.set_read_timeout(20, 0);
    cli.set_default_headers({{"User-Agent", demo::kWorkbenchUserAgent}});
    return cli;
}

std::string DemoPeer::Get(const std::string& target, int* status) const {
    httplib::Client cli("127.0.0.1", m_port);
    cli.set_read_timeout(20, 0);
    auto res = cli.Get(target.c_str());
    if (status)
        *status = res ? res->status : 0;
    return res ? res->body : std::string();
}

Json::Value DemoPeer::GetJson(const std::string& target) const {
    Json::CharReaderBuilder b;
    std::unique_ptr<Json::CharReader> r(b.newCharReader());
    std::string body = Get(target);
    Json::Value root;
    std::string errs;
    r->parse(body.data(), body.data() + body.size(), &root, &errs);
    return root;
}

Json::Value DemoPeer::RequestsOnceArrived(const std::string& target, unsigned count, int waitMs) const {
    return GetJson("/demo/requests?wait_target=" + httplib::detail::encode_query_param(target) +
                   "&wait_count=" + std::to_string(count) + "&wait_ms=" + std::to_string(std::clamp(waitMs, 0, 2000)));
}

std::string DemoPeer::SignIn(const std::string& user) const {
    httplib::Client cli("127.0.0.1", m_port);
    auto res = cli.Post(("/admin/login?user=" + user).c_str());
    if (!res)
        return std::string();
    std::string setCookie = res->get_header_value("Set-Cookie");
    return setCookie.substr(0, setCookie.find(';')) + ";";
}

bool DemoPeer::WaitForEvents(unsigned count, int timeoutMs) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        // The server answers as the count is reached; a wait well inside the client's read
        // time-out, asked again until the deadline.
        long waitMs = std::clamp<long>(left.count(), 0, 2000);
        Json::Value answer = GetJson("/demo/events/count?at_least=" + std::to_string(count) +
                                     "&wait_ms=" + std::to_string(waitMs));
        if (answer["count"].asUInt() >= count)
            return true;
        if (waitMs == 0)
            return false;
        if (!answer.isObject()) // no server to wait on
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

int UnusedLoopbackPort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    socklen_t len = sizeof(addr);
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    close(s);
    return ntohs(addr.sin_port);
}
