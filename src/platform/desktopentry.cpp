#include "desktopentry.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "knownfolders.h"

namespace platform {

namespace {

// Characters that force an Exec argument into quotes.
bool IsReserved(char c) { return strchr(" \t\n\"'\\><~|&;$*?#()`", c) != nullptr || c == '\r'; }

std::string QuoteExecArg(const std::string& arg) {
    bool needsQuotes = arg.empty();
    for (char c : arg)
        needsQuotes = needsQuotes || IsReserved(c);
    // Launchers that split the Exec line on blanks (xdg-open's fallback among them) cannot
    // read quotes, so a plain path stays unquoted, as the rules allow.
    std::string out = needsQuotes ? "\"" : "";
    for (char c : arg) {
        if (needsQuotes && (c == '"' || c == '`' || c == '$' || c == '\\'))
            out += '\\';
        out += c;
    }
    if (needsQuotes)
        out += '"';
    // The value is then escaped once more by the string rules of the file: backslashes
    // doubled and control characters written as escapes, so no value can start a line of its
    // own. Percent signs are field codes unless doubled.
    std::string result;
    for (char c : out) {
        switch (c) {
        case '\\': result += "\\\\"; break;
        case '\n': result += "\\n"; break;
        case '\r': result += "\\r"; break;
        case '\t': result += "\\t"; break;
        case '%': result += "%%"; break;
        default: result += c;
        }
    }
    return result;
}

std::string UnescapeString(const std::string& value) {
    std::string s;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            s += value[i];
            continue;
        }
        char n = value[++i];
        switch (n) {
        case 's': s += ' '; break;
        case 'n': s += '\n'; break;
        case 't': s += '\t'; break;
        case 'r': s += '\r'; break;
        case '\\': s += '\\'; break;
        default:
            s += '\\';
            s += n;
        }
    }
    return s;
}

std::vector<std::string> SplitList(const std::string& value) {
    std::vector<std::string> items;
    std::string item;
    for (char c : value) {
        if (c == ';') {
            if (!item.empty())
                items.push_back(item);
            item.clear();
        } else {
            item += c;
        }
    }
    if (!item.empty())
        items.push_back(item);
    return items;
}

std::string UndoPercents(const std::string& text) {
    std::string out;
    for (size_t k = 0; k < text.size(); ++k) {
        out += text[k];
        if (text[k] == '%' && k + 1 < text.size() && text[k + 1] == '%')
            ++k;
    }
    return out;
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

bool ReadDesktopEntryKeys(const std::string& path, DesktopEntryKeys& keys) {
    std::ifstream in(path);
    if (!in)
        return false;
    keys = DesktopEntryKeys();
    std::string line;
    bool seenMain = false;
    bool inMain = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '[') {
            inMain = line == "[Desktop Entry]";
            seenMain = seenMain || inMain;
            continue;
        }
        size_t eq = line.find('=');
        if (!inMain || eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq);
        while (!key.empty() && key.back() == ' ')
            key.pop_back();
        size_t start = line.find_first_not_of(' ', eq + 1);
        std::string value = UnescapeString(start == std::string::npos ? std::string() : line.substr(start));
        if (key == "Exec")
            keys.exec = value;
        else if (key == "Icon")
            keys.icon = value;
        else if (key == "MimeType")
            keys.mimeTypes = SplitList(value);
        else if (key == "Hidden")
            keys.hidden = value == "true";
    }
    return seenMain;
}

bool SplitExecLine(const std::string& exec, std::vector<ExecArg>& args) {
    args.clear();
    size_t i = 0;
    while (true) {
        while (i < exec.size() && (exec[i] == ' ' || exec[i] == '\t'))
            ++i;
        if (i >= exec.size())
            break;
        ExecArg arg;
        if (exec[i] == '"') {
            bool closed = false;
            for (++i; i < exec.size(); ++i) {
                if (exec[i] == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (exec[i] == '\\' && i + 1 < exec.size())
                    ++i;
                arg.text += exec[i];
            }
            // A quoted argument ends at its closing quote and a blank.
            if (!closed || (i < exec.size() && exec[i] != ' ' && exec[i] != '\t'))
                return false;
        } else {
            for (; i < exec.size() && exec[i] != ' ' && exec[i] != '\t'; ++i)
                arg.text += exec[i];
            arg.fieldCode = arg.text.size() == 2 && arg.text[0] == '%' && isalpha(static_cast<unsigned char>(arg.text[1]));
        }
        if (!arg.fieldCode)
            arg.text = UndoPercents(arg.text);
        args.push_back(arg);
    }
    return !args.empty();
}

bool ReadDesktopEntryExec(const std::string& path, std::string& program) {
    DesktopEntryKeys keys;
    std::vector<ExecArg> args;
    if (!ReadDesktopEntryKeys(path, keys) || !SplitExecLine(keys.exec, args))
        return false;
    program = args[0].text;
    return !program.empty();
}

} // namespace platform
