#include "testenv.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
std::string Get(const char* name) {
    const char* v = getenv(name);
    return v ? v : "";
}
void Restore(const char* name, const std::string& value) {
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
}
} // namespace

ScopedTestHome::ScopedTestHome() {
    m_oldHome = Get("HOME");
    m_oldData = Get("XDG_DATA_HOME");
    m_oldConfig = Get("XDG_CONFIG_HOME");
    std::string tmpl = std::filesystem::temp_directory_path().string() + "/shopdesk-test-XXXXXX";
    m_path = mkdtemp(tmpl.data()) ? tmpl : std::string();
    setenv("HOME", m_path.c_str(), 1);
    setenv("XDG_DATA_HOME", dataHome().c_str(), 1);
    setenv("XDG_CONFIG_HOME", configHome().c_str(), 1);
}

ScopedTestHome::~ScopedTestHome() {
    std::error_code ec;
    if (!m_path.empty())
        std::filesystem::remove_all(m_path, ec);
    Restore("HOME", m_oldHome);
    Restore("XDG_DATA_HOME", m_oldData);
    Restore("XDG_CONFIG_HOME", m_oldConfig);
}

ScopedSystemFolders::ScopedSystemFolders(const std::string& root) : m_root(root) {
    m_oldData = Get("XDG_DATA_DIRS");
    m_oldConfig = Get("XDG_CONFIG_DIRS");
    m_oldDesktop = Get("XDG_CURRENT_DESKTOP");
    std::filesystem::create_directories(applications());
    std::filesystem::create_directories(m_root + "/etc/xdg");
    setenv("XDG_DATA_DIRS", (m_root + "/share").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (m_root + "/etc/xdg").c_str(), 1);
    unsetenv("XDG_CURRENT_DESKTOP");
}

ScopedSystemFolders::~ScopedSystemFolders() {
    Restore("XDG_DATA_DIRS", m_oldData);
    Restore("XDG_CONFIG_DIRS", m_oldConfig);
    Restore("XDG_CURRENT_DESKTOP", m_oldDesktop);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool RunWithFileSizeLimit(size_t limitBytes, const std::function<bool()>& save) {
    pid_t pid = fork();
    if (pid == 0) {
        // The write past the limit then fails with EFBIG instead of killing the child.
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{static_cast<rlim_t>(limitBytes), static_cast<rlim_t>(limitBytes)};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(save() ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> LeftoverTemporaries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        if (e.path().filename().string().find(".tmp") != std::string::npos)
            names.push_back(e.path().filename().string());
    return names;
}
