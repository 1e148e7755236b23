#include "knownfolders.h"

#include <cstdlib>
#include <system_error>
#include <filesystem>

namespace platform {

namespace {

std::string XdgFolder(const char* var, const char* homeRelative) {
    const char* v = getenv(var);
    if (v && *v == '/')
        return v;
    const char* home = getenv("HOME");
    if (!home || !*home)
        return std::string();
    return std::string(home) + homeRelative;
}

} // namespace

std::string GetLocalAppDataFolder() { return XdgFolder("XDG_DATA_HOME", "/.local/share"); }

std::string GetConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", "/.config"); }

std::string GetAutostartFolder() {
    std::string c = GetConfigFolder();
    return c.empty() ? c : c + "/autostart";
}

std::string GetApplicationsFolder() {
    std::string d = GetLocalAppDataFolder();
    return d.empty() ? d : d + "/applications";
}

bool CreateDirectoryTree(const std::string& path) {
    if (path.empty())
        return false;
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

bool DirectoryExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(path, ec);
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::exists(path, ec);
}

} // namespace platform
