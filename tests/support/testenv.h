#pragma once
// A fresh HOME with its own XDG folders for one test, removed afterwards.
#include <functional>
#include <string>
#include <vector>

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

// The desktop's system folders ($XDG_DATA_DIRS, $XDG_CONFIG_DIRS) moved into `root`, so that
// desktop entries installed on the machine take no part; restored afterwards.
class ScopedSystemFolders {
public:
    explicit ScopedSystemFolders(const std::string& root);
    ~ScopedSystemFolders();
    ScopedSystemFolders(const ScopedSystemFolders&) = delete;
    ScopedSystemFolders& operator=(const ScopedSystemFolders&) = delete;

    // $XDG_DATA_DIRS + "/applications", created.
    std::string applications() const { return m_root + "/share/applications"; }

private:
    std::string m_root;
    std::string m_oldData, m_oldConfig, m_oldDesktop;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Runs `save` in a forked child that may not grow any file past `limitBytes`, as on a full
// disk or an exhausted quota: the write that crosses the limit fails. What `save` returned;
// false also when the child died.
bool RunWithFileSizeLimit(size_t limitBytes, const std::function<bool()>& save);
// Names in `folder` that some save left behind beside the file it meant to write.
std::vector<std::string> LeftoverTemporaries(const std::string& folder);
