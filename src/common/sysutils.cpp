#include "sysutils.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "platform/digest.h"
#include "platform/sysinfo.h"
#include "platform/textconv.h"
#include "platform/winformat.h"

namespace {
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunValue[] = L"shopdesk";
} // namespace

std::wstring AnsiToWide(const char* text, int len) {
    std::wstring w = platform::MultiByteToWide(CP_ACP, text, len);
    if (!w.empty() && w[0] == 0xFEFF)
        w.erase(0, 1);
    return w;
}

std::wstring AnsiToWide(const std::string& text) { return AnsiToWide(text.data(), static_cast<int>(text.size())); }

std::string WideToAnsi(const std::wstring& text) { return platform::WideToMultiByte(CP_ACP, text); }

std::wstring Utf8ToWide(const std::string& text) {
    return platform::MultiByteToWide(CP_UTF8, text.data(), static_cast<int>(text.size()));
}

std::string WideToUtf8(const std::wstring& text) { return platform::WideToMultiByte(CP_UTF8, text); }

std::wstring MultiByteToWideString(UINT codePage, const char* text, int len) {
    return platform::MultiByteToWide(codePage, text, len);
}

std::string WideToMultiByteString(UINT codePage, const std::wstring& text) {
    return platform::WideToMultiByte(codePage, text);
}

std::wstring FormatString(const wchar_t* format, ...) {
    std::wstring out;
    va_list args;
    va_start(args, format);
    platform::VFormatWide(out, format, args);
    va_end(args);
    return out;
}

void FormatString(std::wstring& out, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    platform::VFormatWide(out, format, args);
    va_end(args);
}

std::wstring OsVersionNameOf(int major, int minor) {
    struct Row {
        int major, minor;
        const wchar_t* name;
    };
    static const Row kTable[] = {{5, 0, L"Win 2000"}, {5, 1, L"Win XP"}, {5, 2, L"Win Server 2003"},
                                 {6, 0, L"Win Vista"}, {6, 1, L"Win 7"},  {6, 2, L"Win 8"},
                                 {6, 3, L"Win 8.1"},   {6, 4, L"Win 10"}, {10, 0, L"Win 10"}};
    for (const Row& r : kTable)
        if (r.major == major && r.minor == minor)
            return r.name;
    return L"Unknown";
}

std::wstring GetOsVersionName(WORD* packedVersion) {
    int major = 0, minor = 0;
    platform::GetKernelVersion(major, minor);
    if (packedVersion)
        *packedVersion = static_cast<WORD>(((major & 0xFF) << 8) | (minor & 0xFF));
    // A Linux kernel's numbers are not Windows version numbers: looking them up in the table
    // would call kernel 6.1 "Win 7". The table's own answer for a system it does not list is
    // "Unknown", and that is what callers see here.
    return L"Unknown";
}

bool Is64BitOS() { return platform::IsMachine64Bit(); }

std::string GetMachineGuid() {
    std::string id;
    RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Cryptography", "MachineGuid", id);
    return id.size() > 1024 ? std::string() : id;
}

std::wstring GetModulePath() { return platform::GetModuleFileName(); }

std::wstring GetDirOfPath(const std::wstring& path) {
    size_t pos = path.rfind(kPathSepW);
    return pos == std::wstring::npos ? std::wstring() : path.substr(0, pos + 1);
}

bool IsProcessRunning(const std::wstring& text) {
    std::string needle = WideToAnsi(text);
    for (const std::string& path : platform::ListProcessImagePaths())
        if (path.find(needle) != std::string::npos)
            return true;
    return false;
}

std::wstring MakeGuidString() {
    GUID g;
    if (!platform::CreateGuid(g))
        return std::wstring();
    // Narrow formatting: every usage event takes a GUID, and the wide printf costs ten times more.
    char buf[40];
    int n = std::snprintf(buf, sizeof(buf), "%08X%04X%04X%02X%02X%02X%02X%02X%02X%02X%02X", g.Data1, g.Data2,
                          g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                          g.Data4[7]);
    return std::wstring(buf, buf + std::max(n, 0));
}

std::string Md5Hex(const std::string& bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string digest = platform::Md5Digest(bytes);
    std::string out;
    for (unsigned char c : digest) {
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
    }
    return out;
}

bool Base64Encode(const std::string& bytes, std::string& out) {
    out = platform::Base64(bytes);
    return !out.empty();
}

bool RegReadString(HKEY hive, const std::wstring& key, const std::wstring& name, std::wstring& out) {
    return platform::RegistryReadString(hive, key, name, out);
}

bool RegReadString(HKEY hive, const std::string& key, const std::string& name, std::string& out) {
    std::wstring w;
    bool ok = platform::RegistryReadString(hive, AnsiToWide(key), AnsiToWide(name), w);
    out = WideToAnsi(w);
    return ok;
}

bool RegWriteString(HKEY hive, const std::wstring& key, const std::wstring& name, const std::wstring& value) {
    return platform::RegistryWriteString(hive, key, name, value);
}

bool RegWriteString(HKEY hive, const std::string& key, const std::string& name, const std::string& value) {
    return platform::RegistryWriteString(hive, AnsiToWide(key), AnsiToWide(name), AnsiToWide(value));
}

bool RegDeleteValueOf(HKEY hive, const std::wstring& key, const std::wstring& name) {
    return platform::RegistryDeleteValue(hive, key, name);
}

bool RegDeleteValueOf(HKEY hive, const std::string& key, const std::string& name) {
    return platform::RegistryDeleteValue(hive, AnsiToWide(key), AnsiToWide(name));
}

bool IsAutoRun() {
    std::wstring path;
    return RegReadString(HKEY_CURRENT_USER, kRunKey, kRunValue, path);
}

bool SetAutoRun(bool on) {
    if (on)
        return RegWriteString(HKEY_CURRENT_USER, kRunKey, kRunValue, GetModulePath());
    return RegDeleteValueOf(HKEY_CURRENT_USER, kRunKey, kRunValue);
}
