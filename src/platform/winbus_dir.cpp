#include "winbus_dir_p.h"

#include <climits>
#include <cstdlib>
#include <errno.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "sysinfo.h"
#include "textconv.h"

namespace platform {
namespace detail {

namespace {

constexpr const char* kBusFolder = "shopdesk-windows";

bool Refuse(const std::string& path, const std::string& why) {
    OutputDebugString(L"window bus: refusing " + MultiByteToWide(CP_UTF8, path.data(), static_cast<int>(path.size())) +
                      L": " + MultiByteToWide(CP_UTF8, why.data(), static_cast<int>(why.size())) +
                      L"; other instances are not served or reached there\n");
    return false;
}

std::string Octal(mode_t mode) {
    char buf[16];
    snprintf(buf, sizeof(buf), "%04o", static_cast<unsigned>(mode & 07777));
    return buf;
}

// A folder the system keeps, such as / or /tmp.
bool CheckSystemFolder(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return Refuse(path, "cannot be read");
    if (!S_ISDIR(st.st_mode))
        return Refuse(path, "not a folder");
    if (st.st_uid != 0 && st.st_uid != getuid())
        return Refuse(path, "owned by uid " + std::to_string(st.st_uid));
    // In a sticky folder others may add entries but can neither remove nor rename ours.
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) && !(st.st_mode & S_ISVTX))
        return Refuse(path, "writable by others (mode " + Octal(st.st_mode) + ")");
    return true;
}

// A folder of ours, made when missing and allowed.
bool CheckOwnFolder(const std::string& path, bool create, bool isPrivate) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return Refuse(path, "cannot be read");
        if (!create)
            return false;
        if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
            return Refuse(path, "cannot be made");
        // Whoever made it, what is there now is what gets checked.
        if (lstat(path.c_str(), &st) != 0)
            return Refuse(path, "cannot be read");
    }
    if (S_ISLNK(st.st_mode))
        return Refuse(path, "a symbolic link");
    if (!S_ISDIR(st.st_mode))
        return Refuse(path, "not a folder");
    if (st.st_uid != getuid())
        return Refuse(path, "owned by uid " + std::to_string(st.st_uid) + ", not by us");
    mode_t loose = isPrivate ? (S_IRWXG | S_IRWXO) : (S_IWGRP | S_IWOTH);
    if (st.st_mode & loose)
        return Refuse(path, std::string(isPrivate ? "not private" : "writable by others") + " (mode " +
                                Octal(st.st_mode) + ")");
    return true;
}

// Makes the missing folders of an absolute path, private, like mkdir -p.
void MakeMissing(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '/')
            mkdir(path.substr(0, i).c_str(), 0700);
}

// Resolves the folder the environment names and checks every folder from / down to it.
bool ResolveBase(const std::string& named, bool create, std::string& real) {
    if (create)
        MakeMissing(named);
    char buf[PATH_MAX];
    if (!realpath(named.c_str(), buf)) {
        if (create)
            Refuse(named, "cannot be resolved");
        return false;
    }
    real = buf;
    if (!CheckSystemFolder("/"))
        return false;
    for (size_t i = 1; i <= real.size(); ++i)
        if ((i == real.size() || real[i] == '/') && !CheckSystemFolder(real.substr(0, i)))
            return false;
    return true;
}

} // namespace

std::string TrustedBusDir(bool create) {
    const char* rt = getenv("XDG_RUNTIME_DIR");
    std::vector<std::string> own;
    std::string named;
    if (rt && rt[0] == '/') {
        named = rt;
    } else {
        const char* tmp = getenv("TMPDIR");
        named = (tmp && tmp[0] == '/') ? tmp : "/tmp";
        own.push_back("shopdesk-" + std::to_string(getuid()));
    }
    own.push_back(kBusFolder);

    std::string path;
    if (!ResolveBase(named, create, path))
        return std::string();
    for (size_t i = 0; i < own.size(); ++i) {
        path += (path.size() > 1 ? "/" : "") + own[i];
        if (!CheckOwnFolder(path, create, i + 1 == own.size()))
            return std::string();
    }
    return path;
}

} // namespace detail
} // namespace platform
