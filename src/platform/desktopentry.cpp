#include "desktopentry.h"

#include <cstdio>
#include <fstream>
#include <unistd.h>

#include "knownfolders.h"

namespace platform {

namespace {

std::string QuoteExecArg(const std::string& arg) {
    std::string out = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    // In a desktop file a backslash is itself escaped once more by the string rules.
    std::string doubled;
    for (char c : out) {
        doubled += c;
        if (c == '\\')
            doubled += '\\';
    }
    // Percent signs are field codes unless doubled.
    std::string result;
    for (char c : doubled) {
        result += c;
        if (c == '%')
            result += '%';
    }
    return result;
}

std::string UnquoteFirstExecArg(const std::string& exec) {
    // Undo the string-level escapes first, then the quoting rules of the Exec key.
    std::string s;
    for (size_t i = 0; i < exec.size(); ++i) {
        if (exec[i] == '\\' && i + 1 < exec.size() && exec[i + 1] == '\\') {
            s += '\\';
            ++i;
        } else {
            s += exec[i];
        }
    }
    std::string out;
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    if (i < s.size() && s[i] == '"') {
        for (++i; i < s.size() && s[i] != '"'; ++i) {
            if (s[i] == '\\' && i + 1 < s.size())
                ++i;
            out += s[i];
        }
    } else {
        for (; i < s.size() && s[i] != ' '; ++i)
            out += s[i];
    }
    std::string result;
    for (size_t k = 0; k < out.size(); ++k) {
        result += out[k];
        if (out[k] == '%' && k + 1 < out.size() && out[k + 1] == '%')
            ++k;
    }
    return result;
}

} // namespace

bool WriteDesktopEntry(const std::string& path, const std::string& name, const std::string& program,
                       const std::string& argsField, const std::string& extraLines) {
    if (path.empty() || program.empty())
        return false;
    size_t slash = path.rfind('/');
    if (slash != std::string::npos && !CreateDirectoryTree(path.substr(0, slash)))
        return false;
    std::string tmp = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(tmp, std::ios::trunc);
        if (!out)
            return false;
        out << "[Desktop Entry]\nType=Application\nName=" << name << "\nExec=" << QuoteExecArg(program)
            << (argsField.empty() ? "" : " ") << argsField << "\nTerminal=false\n"
            << extraLines;
        if (!out.flush())
            return false;
    }
    if (rename(tmp.c_str(), path.c_str()) != 0) {
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

bool ReadDesktopEntryExec(const std::string& path, std::string& program) {
    std::ifstream in(path);
    if (!in)
        return false;
    std::string line;
    bool inMain = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[') {
            inMain = line == "[Desktop Entry]";
            continue;
        }
        if (inMain && line.compare(0, 5, "Exec=") == 0) {
            program = UnquoteFirstExecArg(line.substr(5));
            return !program.empty();
        }
    }
    return false;
}

} // namespace platform
