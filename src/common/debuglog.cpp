#include "debuglog.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/knownfolders.h"
#include "platform/profile.h"
#include "platform/sysinfo.h"
#include "platform/winformat.h"
#include "sysutils.h"

int g_iDebugLevel = 0x7FFFFFFF;
bool g_bSaveLogFile = false;

// Built before, and so destroyed after, every other static object that may log.
__attribute__((init_priority(101))) CDebugLog g_DebugLog(L"DbgLog");
int g_nDebugLogInit = -1;

namespace {
struct DebugLogStart {
    DebugLogStart() { g_nDebugLogInit = g_DebugLog.Init(); }
};
__attribute__((init_priority(102))) DebugLogStart g_debugLogStart;
} // namespace

namespace {

const wchar_t kSection[] = L"DbgLogCfg";

// The log starts during static initialisation, before the program sets its UTF-8 locale, so
// its own conversions of paths never go through the locale: file names are UTF-8 here.
std::string Narrow(const std::wstring& w) { return WideToUtf8(w); }

// Natural order: runs of digits compare by numeric value, the rest byte by byte.
bool NaturalLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isdigit(static_cast<unsigned char>(a[i])) && isdigit(static_cast<unsigned char>(b[j]))) {
            size_t i2 = i, j2 = j;
            while (i2 < a.size() && isdigit(static_cast<unsigned char>(a[i2])))
                ++i2;
            while (j2 < b.size() && isdigit(static_cast<unsigned char>(b[j2])))
                ++j2;
            std::string na = a.substr(i, i2 - i), nb = b.substr(j, j2 - j);
            na.erase(0, std::min(na.find_first_not_of('0'), na.size()));
            nb.erase(0, std::min(nb.find_first_not_of('0'), nb.size()));
            if (na.size() != nb.size())
                return na.size() < nb.size();
            if (na != nb)
                return na < nb;
            i = i2;
            j = j2;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

long long FileSize(const std::wstring& path) {
    struct stat st;
    return stat(Narrow(path).c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

// True when no other process holds the file: each process keeps an exclusive lock on the
// log file it writes, which is how a file in use is told apart here.
bool IsFileFree(const std::wstring& path) {
    int fd = open(Narrow(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return free;
}

// A count, size or age limit of zero or less would delete every log at start or switch files
// on every line; such a value, like one that is not a number, gives the key's default and is
// noted in `rejected`.
int ReadLimit(const std::string& cfg, const wchar_t* key, int def, std::vector<std::wstring>& rejected) {
    int value = platform::GetPrivateProfileInt(kSection, key, 0, cfg);
    if (value > 0)
        return value;
    const wchar_t kAbsent[] = L"\x1f";
    if (platform::GetPrivateProfileString(kSection, key, kAbsent, cfg) != kAbsent)
        rejected.push_back(key);
    return def;
}

FILE* OpenForAppend(const std::wstring& path) {
    FILE* f = fopen(Narrow(path).c_str(), "a+e");
    if (f && flock(fileno(f), LOCK_EX | LOCK_NB) != 0) {
        fclose(f);
        return nullptr;
    }
    return f;
}

} // namespace

CDebugLog::CDebugLog(const std::wstring& subDir) : m_strSubDir(subDir) {}

CDebugLog::~CDebugLog() {
    if (g_iDebugLevel & LOG_LEVEL_INFO) {
        std::wstring banner = L"======================应用程序" + m_strExeName + L"退出运行=====================";
        Log(LOG_LEVEL_INFO, L"提示", __FILE__, __LINE__, L"%s", banner.c_str());
    }
}

int CDebugLog::Init() { return Init(GetModulePath()); }

int CDebugLog::Init(const std::wstring& programPath) {
    std::wstring exeDir = GetDirOfPath(programPath);
    m_strExeName = programPath.substr(exeDir.size());

    std::string cfg = Narrow(exeDir + L"DbgLog.cfg");
    bool cfgExists = platform::FileExists(cfg);
    g_bSaveLogFile = platform::GetPrivateProfileInt(kSection, L"g_bSaveLogFile", 0, cfg) != 0;
    m_bSaveLogFile = g_bSaveLogFile;
    g_iDebugLevel = platform::GetPrivateProfileInt(kSection, L"g_iDebugLevel", 0x7FFFFFFF, cfg);
    std::vector<std::wstring> rejected;
    m_nMaxFileNum = static_cast<unsigned int>(ReadLimit(cfg, L"g_iMaxFileNum", 50, rejected));
    m_nMaxFileSize = ReadLimit(cfg, L"MAX_LOG_FILE_SIZE", 5242880, rejected);
    m_nMaxFileHour = ReadLimit(cfg, L"MAX_LOG_FILE_HOUR", 72, rejected);
    if (!cfgExists) {
        auto put = [&](const wchar_t* key, long long v) {
            platform::WritePrivateProfileString(kSection, key, FormatString(L"%d", static_cast<int>(v)), cfg);
        };
        put(L"g_bSaveLogFile", m_bSaveLogFile ? 1 : 0);
        put(L"g_iDebugLevel", g_iDebugLevel);
        put(L"g_iMaxFileNum", m_nMaxFileNum);
        put(L"MAX_LOG_FILE_SIZE", m_nMaxFileSize);
        put(L"MAX_LOG_FILE_HOUR", m_nMaxFileHour);
    }

    // The rejected values are reported after the banner, or to the debugger output alone when
    // no file opens.
    auto finish = [&](int result) {
        for (const std::wstring& key : rejected)
            Log(LOG_LEVEL_INFO, L"警告", __FILE__, __LINE__,
                L"DbgLog.cfg: %s is not a positive number; its default is used", key.c_str());
        return result;
    };
    std::string appData = platform::GetLocalAppDataFolder();
    if (appData.empty())
        return finish(-1);
    m_strLogDir = Utf8ToWide(appData) + L"/QDX/" + m_strSubDir;
    if (!platform::CreateDirectoryTree(Narrow(m_strLogDir)))
        return finish(-1);

    std::vector<std::wstring> files;
    EnumFilesByExt(m_strLogDir, L".log", files);
    PruneByCount(files);
    PruneByAge(files);

    if (!OpenLogFile(m_strLogDir, false))
        return finish(-1);
    if (g_iDebugLevel & LOG_LEVEL_INFO) {
        std::wstring banner = L"======================应用程序" + m_strExeName + L"启动开始=====================";
        Log(LOG_LEVEL_INFO, L"提示", __FILE__, __LINE__, L"%s", banner.c_str());
    }
    return finish(0);
}

void CDebugLog::PruneByCount(std::vector<std::wstring>& files) {
    while (files.size() > m_nMaxFileNum) {
        unlink(Narrow(files.front()).c_str());
        files.erase(files.begin()); // dropped even when the delete failed, so pruning ends
    }
}

void CDebugLog::PruneByAge(std::vector<std::wstring>& files) {
    time_t now = time(nullptr);
    while (!files.empty()) {
        struct stat st;
        if (stat(Narrow(files.front()).c_str(), &st) == 0 &&
            static_cast<long long>(now - st.st_mtime) <= static_cast<long long>(m_nMaxFileHour) * 3600)
            break;
        unlink(Narrow(files.front()).c_str());
        files.erase(files.begin());
    }
}

bool CDebugLog::OpenLogFile(const std::wstring& folder, bool forceNew) {
    if (!m_bSaveLogFile)
        return false;
    if (m_pFile) {
        fclose(m_pFile);
        m_pFile = nullptr;
    }
    m_bFileOpen = false;
    if (!forceNew) {
        std::vector<std::wstring> files;
        EnumFilesByExt(folder, L".log", files);
        for (auto it = files.rbegin(); it != files.rend(); ++it) {
            if (FileSize(*it) >= static_cast<long long>(m_nMaxFileSize) - 1)
                break;
            if (!IsFileFree(*it))
                continue;
            m_pFile = OpenForAppend(*it);
            if (m_pFile) {
                m_strLogFile = *it;
                break;
            }
        }
    }
    if (!m_pFile) {
        SYSTEMTIME st;
        platform::GetLocalTime(st);
        std::wstring dir = folder;
        if (!dir.empty() && dir.back() == kPathSepW)
            dir.pop_back();
        m_strLogFile = FormatString(L"%s/log_%04d%02d%02d_%d.log", dir.c_str(), st.wYear, st.wMonth, st.wDay,
                                    static_cast<int>(platform::GetTickCount()));
        m_pFile = OpenForAppend(m_strLogFile);
    }
    m_bFileOpen = m_pFile != nullptr;
    return m_bFileOpen;
}

void CDebugLog::CloseLogFile() {
    if (m_pFile) {
        fclose(m_pFile);
        m_pFile = nullptr;
    }
    m_bFileOpen = false;
}

bool CDebugLog::WriteLogFileLocked(const std::string& bytes) {
    if (!m_bFileOpen)
        return false;
    fseek(m_pFile, 0, SEEK_END);
    if (ftell(m_pFile) >= m_nMaxFileSize) {
        CloseLogFile();
        OpenLogFile(m_strLogDir, true);
        std::vector<std::wstring> files;
        EnumFilesByExt(m_strLogDir, L".log", files);
        PruneByCount(files);
        if (!m_bFileOpen)
            return false;
    }
    fwrite(bytes.data(), 1, bytes.size(), m_pFile);
    fflush(m_pFile);
    return true;
}

void CDebugLog::WriteLog(const std::wstring& text) {
    platform::OutputDebugString(text);
    std::lock_guard<std::mutex> lock(m_lock);
    WriteLogFileLocked(WideToUtf8(text));
}

void CDebugLog::Statement(int level, const wchar_t* tag, const char* file, int line, const wchar_t* format,
                          va_list args) {
    if (!(g_iDebugLevel & level))
        return;
    std::wstring piece;
    if (g_bSaveLogFile)
        piece = FormatString(L"%s<FILE:%S(%d)>[ProcessID:%d,ThreadID:%d]%s\t", tag ? tag : L"", file ? file : "",
                             line, static_cast<int>(platform::GetCurrentProcessId()),
                             static_cast<int>(platform::GetCurrentThreadId()), GetTimeString(true).c_str());
    std::wstring message;
    platform::VFormatWide(message, format, args);
    piece += message;
    piece += L'\n';
    WriteLog(piece);
}

void CDebugLog::Log(int level, const wchar_t* tag, const char* file, int line, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    Statement(level, tag, file, line, format, args);
    va_end(args);
}

std::wstring GetTimeString(bool withMilliseconds) {
    SYSTEMTIME st;
    platform::GetLocalTime(st);
    // Narrow formatting: this stamps every log line and every stored event, and the wide printf
    // costs ten times more.
    char buf[64]; // room for the widest WORD fields
    int n = std::snprintf(buf, sizeof(buf), "%04d-%02d-%02d %02d:%02d:%02d", st.wYear, st.wMonth, st.wDay, st.wHour,
                          st.wMinute, st.wSecond);
    if (withMilliseconds && n > 0 && n < static_cast<int>(sizeof(buf)))
        n += std::snprintf(buf + n, sizeof(buf) - n, ".%.3d", st.wMilliseconds);
    return std::wstring(buf, buf + std::max(n, 0));
}

int EnumFilesByExt(const std::wstring& folder, const std::wstring& ext, std::vector<std::wstring>& files) {
    files.clear();
    std::wstring dir = folder;
    if (dir.empty() || dir.back() != kPathSepW)
        dir += kPathSepW;
    std::string want = Narrow(ext);
    std::vector<std::string> names;
    if (DIR* d = opendir(Narrow(dir).c_str())) {
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name.empty() || name[0] == '.')
                continue;
            if (name.size() >= want.size() && name.compare(name.size() - want.size(), want.size(), want) == 0)
                names.push_back(name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    for (const std::string& n : names)
        files.push_back(dir + Utf8ToWide(n));
    return static_cast<int>(files.size());
}

int DebugLogPrint(const wchar_t* format, ...) {
    std::wstring text;
    va_list args;
    va_start(args, format);
    platform::VFormatWide(text, format, args);
    va_end(args);
    g_DebugLog.WriteLog(text);
    return 1;
}

void DebugLogStatement(int level, const wchar_t* tag, const char* file, int line, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    g_DebugLog.Statement(level, tag, file, line, format, args);
    va_end(args);
}
