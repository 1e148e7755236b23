#include "registry.h"

#include <cstdio>
#include <cwctype>
#include <fcntl.h>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>
#include <json/json.h>

#include "common/jsonparse.h"
#include "desktopentry.h"
#include "knownfolders.h"
#include "registryprotocol.h"
#include "sysinfo.h"
#include "textconv.h"
#include "wholefile.h"

namespace platform {

namespace {

const char* HiveName(HKEY hive) {
    if (hive == HKEY_CLASSES_ROOT)
        return "HKEY_CLASSES_ROOT";
    if (hive == HKEY_CURRENT_USER)
        return "HKEY_CURRENT_USER";
    if (hive == HKEY_LOCAL_MACHINE)
        return "HKEY_LOCAL_MACHINE";
    if (hive == HKEY_USERS)
        return "HKEY_USERS";
    return nullptr;
}

std::string Fold(const std::wstring& text) {
    std::wstring lower;
    for (wchar_t c : text)
        lower.push_back(static_cast<wchar_t>(towlower(c)));
    // "Software\X\" and "Software\X" name the same key.
    while (!lower.empty() && lower.back() == L'\\')
        lower.pop_back();
    return WideToMultiByte(CP_UTF8, lower);
}

bool Is(HKEY hive, HKEY want, const std::wstring& key, const char* wantKey, const std::wstring& name,
        const char* wantName) {
    return hive == want && Fold(key) == wantKey && Fold(name) == wantName;
}

bool IsRunValue(HKEY hive, const std::wstring& key, const std::wstring& name) {
    return Is(hive, HKEY_CURRENT_USER, key, "software\\microsoft\\windows\\currentversion\\run", name, "shopdesk");
}

bool IsMachineGuid(HKEY hive, const std::wstring& key, const std::wstring& name) {
    return Is(hive, HKEY_LOCAL_MACHINE, key, "software\\microsoft\\cryptography", name, "machineguid");
}

std::string AutostartEntryPath() {
    std::string dir = GetAutostartFolder();
    return dir.empty() ? dir : dir + "/shopdesk.desktop";
}

// The store file, locked for the life of the object so that read-modify-write cycles of
// several processes do not lose each other's values.
class LockedStore {
public:
    explicit LockedStore(bool forWriting) : m_path(RegistryStorePath()) {
        if (m_path.empty())
            return;
        if (forWriting)
            CreateDirectoryTree(m_path.substr(0, m_path.rfind('/')));
        m_fd = open((m_path + ".lock").c_str(), forWriting ? (O_RDWR | O_CREAT) : O_RDONLY, 0600);
        if (m_fd >= 0)
            flock(m_fd, forWriting ? LOCK_EX : LOCK_SH);
        if (!JsonParseFile(m_path, m_root) || !m_root.isObject())
            m_root = Json::Value(Json::objectValue);
    }
    ~LockedStore() {
        if (m_fd >= 0) {
            flock(m_fd, LOCK_UN);
            close(m_fd);
        }
    }
    bool usable() const { return !m_path.empty(); }
    Json::Value& root() { return m_root; }
    bool Save() {
        Json::StreamWriterBuilder w;
        w["indentation"] = "  ";
        return WriteFileWhole(m_path, Json::writeString(w, m_root) + "\n");
    }

private:
    std::string m_path;
    int m_fd = -1;
    Json::Value m_root;
};

Json::Value* FindValue(Json::Value& root, HKEY hive, const std::wstring& key, const std::wstring& name) {
    const char* h = HiveName(hive);
    if (!h || !root.isMember(h) || !root[h].isObject())
        return nullptr;
    Json::Value& keys = root[h];
    std::string k = Fold(key);
    if (!keys.isMember(k) || !keys[k].isObject())
        return nullptr;
    Json::Value& values = keys[k];
    std::string n = Fold(name);
    if (!values.isMember(n) || !values[n].isString())
        return nullptr;
    return &values[n];
}

} // namespace

std::string RegistryStorePath() {
    std::string dir = GetConfigFolder();
    return dir.empty() ? dir : dir + "/shopdesk/registry.json";
}

bool RegistryReadString(HKEY hive, const std::wstring& key, const std::wstring& name, std::wstring& out) {
    out.clear();
    if (IsRunValue(hive, key, name)) {
        std::string exec;
        if (!ReadDesktopEntryExec(AutostartEntryPath(), exec))
            return false;
        out = MultiByteToWide(CP_UTF8, exec.c_str());
        return true;
    }
    if (IsMachineGuid(hive, key, name)) {
        std::string id = ReadMachineGuid();
        out = MultiByteToWide(CP_UTF8, id.c_str());
        return !id.empty();
    }
    if (IsProtocolMirrorValue(hive, key, name))
        return ReadProtocolMirrorValue(key, name, out);
    LockedStore store(false);
    if (!store.usable())
        return false;
    Json::Value* v = FindValue(store.root(), hive, key, name);
    if (!v)
        return false;
    std::string s = v->asString();
    out = MultiByteToWide(CP_UTF8, s.c_str(), static_cast<int>(s.size()));
    return true;
}

bool RegistryWriteString(HKEY hive, const std::wstring& key, const std::wstring& name, const std::wstring& value) {
    if (IsRunValue(hive, key, name))
        return WriteDesktopEntry(AutostartEntryPath(), "shopdesk", WideToMultiByte(CP_UTF8, value), "");
    if (IsMachineGuid(hive, key, name) || IsProtocolMirrorValue(hive, key, name))
        return false;
    const char* h = HiveName(hive);
    if (!h)
        return false;
    LockedStore store(true);
    if (!store.usable())
        return false;
    Json::Value& keys = store.root()[h];
    if (!keys.isObject())
        keys = Json::Value(Json::objectValue);
    Json::Value& values = keys[Fold(key)];
    if (!values.isObject())
        values = Json::Value(Json::objectValue);
    values[Fold(name)] = WideToMultiByte(CP_UTF8, value);
    return store.Save();
}

bool RegistryDeleteValue(HKEY hive, const std::wstring& key, const std::wstring& name) {
    if (IsRunValue(hive, key, name)) {
        std::string path = AutostartEntryPath();
        return !path.empty() && unlink(path.c_str()) == 0;
    }
    if (IsMachineGuid(hive, key, name) || IsProtocolMirrorValue(hive, key, name))
        return false;
    LockedStore store(true);
    if (!store.usable() || !FindValue(store.root(), hive, key, name))
        return false;
    store.root()[HiveName(hive)][Fold(key)].removeMember(Fold(name));
    return store.Save();
}

} // namespace platform
