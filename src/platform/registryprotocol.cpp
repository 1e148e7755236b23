#include "registryprotocol.h"

#include <cwchar>
#include <vector>

#include "desktopentry.h"
#include "knownfolders.h"
#include "shellhandler.h"
#include "textconv.h"

namespace platform {

const char* const kProtocolHandlerId = "shopdesk-url-handler.desktop";

namespace {

const char* const kScheme = "tessaril";

// Key paths compare without regard to case or trailing separators, as on Windows.
bool SameKey(const std::wstring& key, const wchar_t* want) {
    size_t n = key.size();
    while (n > 0 && key[n - 1] == L'\\')
        --n;
    return n == wcslen(want) && wcsncasecmp(key.c_str(), want, n) == 0;
}

enum class Mirror { None, Command, UrlProtocol, DefaultIcon };

Mirror MirrorOf(const std::wstring& key, const std::wstring& name) {
    if (SameKey(key, L"tessaril\\shell\\open\\command") && name.empty())
        return Mirror::Command;
    if (SameKey(key, L"tessaril") && wcscasecmp(name.c_str(), L"URL Protocol") == 0)
        return Mirror::UrlProtocol;
    if (SameKey(key, L"tessaril\\DefaultIcon") && name.empty())
        return Mirror::DefaultIcon;
    return Mirror::None;
}

std::string WindowsQuoted(const std::string& text) { return "\"" + text + "\""; }

} // namespace

bool IsProtocolMirrorValue(HKEY hive, const std::wstring& key, const std::wstring& name) {
    return hive == HKEY_CLASSES_ROOT && MirrorOf(key, name) != Mirror::None;
}

bool IsProtocolKey(HKEY hive, const std::wstring& key) {
    return hive == HKEY_CLASSES_ROOT &&
           (SameKey(key, L"tessaril") || (key.size() > 9 && wcsncasecmp(key.c_str(), L"tessaril\\", 9) == 0));
}

bool ReadProtocolMirrorValue(const std::wstring& key, const std::wstring& name, std::wstring& out) {
    out.clear();
    Mirror which = MirrorOf(key, name);
    std::string entry = FindSchemeHandlerEntry(kScheme);
    DesktopEntryKeys keys;
    std::vector<ExecArg> args;
    if (which == Mirror::None || entry.empty() || !ReadDesktopEntryKeys(entry, keys) ||
        !SplitExecLine(keys.exec, args))
        return false;
    std::string program = ResolveExecProgram(args[0].text);
    std::string value;
    switch (which) {
    case Mirror::Command:
        // The link reaches the program where a URL field code stands; every other argument
        // is shown as written, so an entry that runs anything else never reads as ours.
        value = WindowsQuoted(program);
        for (size_t i = 1; i < args.size(); ++i) {
            bool link = args[i].fieldCode && (args[i].text == "%u" || args[i].text == "%U");
            value += " " + WindowsQuoted(link ? "%1" : args[i].text);
        }
        break;
    case Mirror::UrlProtocol:
        value = program;
        break;
    case Mirror::DefaultIcon:
        if (keys.icon.empty())
            return false;
        value = program + ",1";
        break;
    case Mirror::None:
        return false;
    }
    out = MultiByteToWide(CP_UTF8, value.c_str(), static_cast<int>(value.size()));
    return true;
}

std::wstring ProtocolMirrorValueFor(const std::wstring& key, const std::wstring& name, const std::string& program) {
    std::string value;
    switch (MirrorOf(key, name)) {
    case Mirror::Command: value = WindowsQuoted(program) + " " + WindowsQuoted("%1"); break;
    case Mirror::UrlProtocol: value = program; break;
    case Mirror::DefaultIcon: value = program + ",1"; break;
    case Mirror::None: break;
    }
    return MultiByteToWide(CP_UTF8, value.c_str(), static_cast<int>(value.size()));
}

bool RegisterProtocolHandler(const std::string& program) {
    std::string dir = GetApplicationsFolder();
    if (dir.empty())
        return false;
    std::string extra = std::string("NoDisplay=true\nIcon=shopdesk\nMimeType=x-scheme-handler/") + kScheme + ";\n";
    if (!WriteDesktopEntry(dir + "/" + kProtocolHandlerId, "shopdesk", program, "%u", extra))
        return false;
    if (!SetDefaultSchemeHandler(kScheme, kProtocolHandlerId))
        return false;
    RefreshDesktopDatabase();
    return true;
}

} // namespace platform
