#include "registryscript.h"

#include <cwchar>
#include <fstream>
#include <sys/stat.h>

#include "registry.h"
#include "registryprotocol.h"
#include "sysinfo.h"
#include "textconv.h"

namespace platform {

namespace {

std::wstring Trim(const std::wstring& s) {
    size_t b = s.find_first_not_of(L" \t");
    if (b == std::wstring::npos)
        return std::wstring();
    size_t e = s.find_last_not_of(L" \t");
    return s.substr(b, e - b + 1);
}

// A double-quoted string starting at `pos`: \" is a quote, \\ a backslash, any other
// backslash stands for itself. `pos` ends just past the closing quote.
bool ReadQuoted(const std::wstring& line, size_t& pos, std::wstring& out) {
    if (pos >= line.size() || line[pos] != L'"')
        return false;
    out.clear();
    for (++pos; pos < line.size(); ++pos) {
        wchar_t c = line[pos];
        if (c == L'"') {
            ++pos;
            return true;
        }
        if (c == L'\\' && pos + 1 < line.size() && (line[pos + 1] == L'"' || line[pos + 1] == L'\\'))
            c = line[++pos];
        out += c;
    }
    return false;
}

// "[HKEY_CLASSES_ROOT\tessaril...]" gives the key below the hive; anything else is refused.
bool ReadKeyLine(const std::wstring& line, std::wstring& key) {
    static const std::wstring kHive = L"HKEY_CLASSES_ROOT\\";
    if (line.size() < 2 || line.back() != L']')
        return false;
    std::wstring path = line.substr(1, line.size() - 2);
    if (path.size() <= kHive.size() || wcsncasecmp(path.c_str(), kHive.c_str(), kHive.size()) != 0)
        return false;
    key = path.substr(kHive.size());
    return IsProtocolKey(HKEY_CLASSES_ROOT, key);
}

// `@="data"` or `"name"="data"`, nothing after the data but blanks.
bool ReadValueLine(const std::wstring& line, RegistryScriptValue& value) {
    size_t pos = 0;
    value.name.clear();
    if (line[0] == L'@')
        pos = 1;
    else if (!ReadQuoted(line, pos, value.name))
        return false;
    if (pos >= line.size() || line[pos] != L'=')
        return false;
    ++pos;
    return ReadQuoted(line, pos, value.data) && Trim(line.substr(pos)).empty();
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<unsigned long long>(st.st_size) > kMaxRegistryScriptBytes)
        return false;
    std::ifstream in(path, std::ios::binary);
    text.assign(kMaxRegistryScriptBytes + 1, '\0');
    in.read(&text[0], static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    // The file may have grown since it was measured.
    return text.size() <= kMaxRegistryScriptBytes;
}

} // namespace

bool ParseRegistryScript(const std::string& text, std::vector<RegistryScriptValue>& values) {
    values.clear();
    if (text.size() > kMaxRegistryScriptBytes || text.find('\0') != std::string::npos)
        return false;
    std::string body = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? text.substr(3) : text;
    std::wstring wide = MultiByteToWide(CP_UTF8, body.c_str(), static_cast<int>(body.size()));
    std::vector<RegistryScriptValue> found;
    bool header = false;
    bool inKey = false;
    std::wstring key;
    size_t start = 0;
    while (start <= wide.size()) {
        size_t end = wide.find(L'\n', start);
        if (end == std::wstring::npos)
            end = wide.size();
        std::wstring line = wide.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        line = Trim(line);
        if (line.empty() || line[0] == L';')
            continue;
        if (!header) {
            if (line != L"Windows Registry Editor Version 5.00" && line != L"REGEDIT4")
                return false;
            header = true;
        } else if (line[0] == L'[') {
            if (!ReadKeyLine(line, key))
                return false;
            inKey = true;
        } else {
            RegistryScriptValue v;
            if (!inKey || !ReadValueLine(line, v))
                return false;
            v.key = key;
            found.push_back(v);
        }
    }
    if (!header)
        return false;
    values = found;
    return true;
}

bool ImportRegistryScript(const std::string& path) {
    std::string text;
    std::vector<RegistryScriptValue> values;
    if (!ReadWholeFile(path, text) || !ParseRegistryScript(text, values))
        return false;
    // The handler may only ever be this workbench, so every mirrored value must say so.
    std::string program = WideToMultiByte(CP_UTF8, GetModuleFileName());
    bool registerHandler = false;
    for (const RegistryScriptValue& v : values) {
        if (!IsProtocolMirrorValue(HKEY_CLASSES_ROOT, v.key, v.name))
            continue;
        if (program.empty() || v.data != ProtocolMirrorValueFor(v.key, v.name, program))
            return false;
        registerHandler = true;
    }
    for (const RegistryScriptValue& v : values)
        if (!IsProtocolMirrorValue(HKEY_CLASSES_ROOT, v.key, v.name) &&
            !RegistryWriteString(HKEY_CLASSES_ROOT, v.key, v.name, v.data))
            return false;
    return !registerHandler || RegisterProtocolHandler(program);
}

} // namespace platform
