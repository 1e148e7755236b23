#include "sysinfo.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <algorithm>
#include <fstream>
#include <mutex>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <uuid/uuid.h>

#include "textconv.h"

namespace platform {

std::wstring GetModuleFileName() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0)
        return std::wstring();
    // File names are UTF-8; the path is read before the program sets its locale, too.
    return MultiByteToWide(CP_UTF8, buf, static_cast<int>(n));
}

bool GetKernelVersion(int& major, int& minor) {
    struct utsname u;
    if (uname(&u) != 0)
        return false;
    int ma = 0, mi = 0;
    if (sscanf(u.release, "%d.%d", &ma, &mi) != 2)
        return false;
    major = ma;
    minor = mi;
    return true;
}

bool IsMachine64Bit() {
    struct utsname u;
    if (uname(&u) != 0)
        return false;
    for (const char* m : {"x86_64", "aarch64", "ppc64", "ppc64le", "s390x", "riscv64", "mips64", "loongarch64"})
        if (strcmp(u.machine, m) == 0)
            return true;
    return false;
}

std::string ReadMachineGuid() {
    for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        std::ifstream f(path);
        std::string id;
        if (!(f >> id) || id.size() != 32)
            continue;
        if (!std::all_of(id.begin(), id.end(), [](char c) { return isxdigit(static_cast<unsigned char>(c)); }))
            continue;
        std::transform(id.begin(), id.end(), id.begin(), [](char c) { return static_cast<char>(tolower(c)); });
        return id.substr(0, 8) + "-" + id.substr(8, 4) + "-" + id.substr(12, 4) + "-" + id.substr(16, 4) + "-" +
               id.substr(20);
    }
    return std::string();
}

std::vector<std::string> ListProcessImagePaths() {
    std::vector<long> pids;
    if (DIR* d = opendir("/proc")) {
        while (dirent* e = readdir(d)) {
            char* end = nullptr;
            long pid = strtol(e->d_name, &end, 10);
            if (pid > 0 && end && *end == '\0')
                pids.push_back(pid);
        }
        closedir(d);
    }
    std::sort(pids.begin(), pids.end());
    std::vector<std::string> paths;
    for (long pid : pids) {
        char link[64], buf[4096];
        snprintf(link, sizeof(link), "/proc/%ld/exe", pid);
        ssize_t n = readlink(link, buf, sizeof(buf) - 1);
        if (n > 0)
            paths.emplace_back(buf, static_cast<size_t>(n));
    }
    return paths;
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }

DWORD GetTickCount() {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<DWORD>(ms);
}

void GetLocalTime(SYSTEMTIME& st) {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    tm t{};
    time_t secs = tv.tv_sec;
    localtime_r(&secs, &t);
    st.wYear = static_cast<WORD>(t.tm_year + 1900);
    st.wMonth = static_cast<WORD>(t.tm_mon + 1);
    st.wDayOfWeek = static_cast<WORD>(t.tm_wday);
    st.wDay = static_cast<WORD>(t.tm_mday);
    st.wHour = static_cast<WORD>(t.tm_hour);
    st.wMinute = static_cast<WORD>(t.tm_min);
    st.wSecond = static_cast<WORD>(t.tm_sec);
    st.wMilliseconds = static_cast<WORD>(tv.tv_usec / 1000);
}

bool CreateGuid(GUID& guid) {
    uuid_t u;
    uuid_generate_random(u);
    // uuid_t is the big-endian byte form of a GUID's fields.
    guid.Data1 = (uint32_t(u[0]) << 24) | (uint32_t(u[1]) << 16) | (uint32_t(u[2]) << 8) | u[3];
    guid.Data2 = static_cast<uint16_t>((u[4] << 8) | u[5]);
    guid.Data3 = static_cast<uint16_t>((u[6] << 8) | u[7]);
    memcpy(guid.Data4, u + 8, 8);
    return !uuid_is_null(u);
}

void OutputDebugString(const std::wstring& text) {
    static std::mutex m;
    std::string bytes = WideToMultiByte(CP_UTF8, text);
    std::lock_guard<std::mutex> lock(m);
    fwrite(bytes.data(), 1, bytes.size(), stderr);
    fflush(stderr);
}

} // namespace platform
