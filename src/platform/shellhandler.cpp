#include "shellhandler.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <unistd.h>
#include <vector>

#include "desktopentry.h"
#include "knownfolders.h"
#include "shell.h"

namespace platform {

namespace {

std::vector<std::string> SplitColons(const char* value, const char* fallback) {
    std::string text = value && *value ? value : fallback;
    std::vector<std::string> items;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ':'))
        if (!item.empty() && item[0] == '/')
            items.push_back(item);
    return items;
}

// $XDG_DATA_HOME then $XDG_DATA_DIRS, each + "/applications".
std::vector<std::string> ApplicationFolders() {
    std::vector<std::string> dirs;
    std::string user = GetApplicationsFolder();
    if (!user.empty())
        dirs.push_back(user);
    for (const std::string& d : SplitColons(getenv("XDG_DATA_DIRS"), "/usr/local/share:/usr/share"))
        dirs.push_back(d + "/applications");
    return dirs;
}

// The mimeapps.list files in the order the desktop reads them, desktop-specific ones first.
std::vector<std::string> MimeAppsFiles() {
    std::vector<std::string> folders;
    std::string config = GetConfigFolder();
    if (!config.empty())
        folders.push_back(config);
    for (const std::string& d : SplitColons(getenv("XDG_CONFIG_DIRS"), "/etc/xdg"))
        folders.push_back(d);
    for (const std::string& d : ApplicationFolders())
        folders.push_back(d);
    std::vector<std::string> desktops;
    if (const char* current = getenv("XDG_CURRENT_DESKTOP")) {
        std::stringstream in(current);
        std::string name;
        while (std::getline(in, name, ':')) {
            std::transform(name.begin(), name.end(), name.begin(), ::tolower);
            if (!name.empty() && name.find('/') == std::string::npos)
                desktops.push_back(name);
        }
    }
    std::vector<std::string> files;
    for (const std::string& f : folders) {
        for (const std::string& d : desktops)
            files.push_back(f + "/" + d + "-mimeapps.list");
        files.push_back(f + "/mimeapps.list");
    }
    return files;
}

bool IsLive(const std::string& path) {
    DesktopEntryKeys keys;
    return ReadDesktopEntryKeys(path, keys) && !keys.hidden;
}

// The entry of that id in the first folder that has one; a hidden one counts as deleted.
std::string EntryById(const std::string& id) {
    if (id.empty() || id.find('/') != std::string::npos)
        return std::string();
    for (const std::string& dir : ApplicationFolders()) {
        std::string path = dir + "/" + id;
        if (FileExists(path))
            return IsLive(path) ? path : std::string();
    }
    return std::string();
}

std::string DefaultFrom(const std::string& file, const std::string& mimeType) {
    std::ifstream in(file);
    std::string line;
    bool inDefaults = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '[') {
            inDefaults = line == "[Default Applications]";
            continue;
        }
        if (!inDefaults || line.compare(0, mimeType.size() + 1, mimeType + "=") != 0)
            continue;
        std::stringstream ids(line.substr(mimeType.size() + 1));
        std::string id;
        while (std::getline(ids, id, ';')) {
            std::string path = EntryById(id);
            if (!path.empty())
                return path;
        }
    }
    return std::string();
}

std::string FirstDeclaring(const std::string& mimeType) {
    std::set<std::string> seen;
    for (const std::string& dir : ApplicationFolders()) {
        std::error_code ec;
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir, ec))
            if (e.path().extension() == ".desktop")
                names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        for (const std::string& id : names) {
            if (!seen.insert(id).second)
                continue;
            DesktopEntryKeys keys;
            std::string path = dir + "/" + id;
            if (ReadDesktopEntryKeys(path, keys) && !keys.hidden &&
                std::find(keys.mimeTypes.begin(), keys.mimeTypes.end(), mimeType) != keys.mimeTypes.end())
                return path;
        }
    }
    return std::string();
}

} // namespace

std::string FindSchemeHandlerEntry(const std::string& scheme) {
    std::string mimeType = "x-scheme-handler/" + scheme;
    for (const std::string& file : MimeAppsFiles()) {
        std::string path = DefaultFrom(file, mimeType);
        if (!path.empty())
            return path;
    }
    return FirstDeclaring(mimeType);
}

bool SetDefaultSchemeHandler(const std::string& scheme, const std::string& desktopId) {
    std::string config = GetConfigFolder();
    if (config.empty() || !CreateDirectoryTree(config))
        return false;
    std::string file = config + "/mimeapps.list";
    std::string entry = "x-scheme-handler/" + scheme + "=" + desktopId + ";";
    std::vector<std::string> lines;
    {
        std::ifstream in(file);
        std::string line;
        while (std::getline(in, line))
            lines.push_back(line);
    }
    auto group = std::find(lines.begin(), lines.end(), "[Default Applications]");
    if (group == lines.end()) {
        if (!lines.empty() && !lines.back().empty())
            lines.push_back("");
        lines.push_back("[Default Applications]");
        lines.push_back(entry);
    } else {
        auto it = group + 1;
        std::string prefix = "x-scheme-handler/" + scheme + "=";
        for (; it != lines.end() && (it->empty() || (*it)[0] != '['); ++it)
            if (it->compare(0, prefix.size(), prefix) == 0)
                break;
        if (it != lines.end() && it->compare(0, prefix.size(), prefix) == 0)
            *it = entry;
        else
            lines.insert(group + 1, entry);
    }
    std::string tmp = file + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(tmp, std::ios::trunc);
        for (const std::string& l : lines)
            out << l << "\n";
        if (!out.flush()) {
            unlink(tmp.c_str());
            return false;
        }
    }
    return rename(tmp.c_str(), file.c_str()) == 0;
}

void RefreshDesktopDatabase() {
    std::string dir = GetApplicationsFolder();
    if (DirectoryExists(dir))
        SpawnDetached({"update-desktop-database", "-q", dir});
}

std::string ResolveExecProgram(const std::string& program) {
    std::string found = program;
    if (program.find('/') == std::string::npos) {
        for (const std::string& dir : SplitColons(getenv("PATH"), "/usr/local/bin:/usr/bin:/bin")) {
            std::string candidate = dir + "/" + program;
            if (access(candidate.c_str(), X_OK) == 0 && !DirectoryExists(candidate)) {
                found = candidate;
                break;
            }
        }
    }
    char resolved[PATH_MAX];
    return realpath(found.c_str(), resolved) ? std::string(resolved) : found;
}

} // namespace platform
