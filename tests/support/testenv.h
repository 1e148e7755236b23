#pragma once
// A fresh HOME with its own XDG folders for one test, removed afterwards.
#include <string>

class ScopedTestHome {
public:
    ScopedTestHome();
    ~ScopedTestHome();
    ScopedTestHome(const ScopedTestHome&) = delete;
    ScopedTestHome& operator=(const ScopedTestHome&) = delete;

    const std::string& path() const { return m_path; }
    std::string dataHome() const { return m_path + "/.local/share"; }
    std::string configHome() const { return m_path + "/.config"; }

private:
    std::string m_path;
    std::string m_oldHome, m_oldData, m_oldConfig;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Points workbenches this test starts at the demo server at `baseUrl` (all three hosts), with a
// private runtime folder under `home` for the channel between instances.
void PointWorkbenchAt(const std::string& baseUrl, const std::string& home);
