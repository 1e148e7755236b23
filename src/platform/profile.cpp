#include "profile.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <unistd.h>
#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include "knownfolders.h"
#include "textconv.h"

namespace platform {

namespace pt = boost::property_tree;

namespace {

enum class Load { Missing, Ok, Malformed };

Load LoadIni(const std::string& path, pt::ptree& tree) {
    std::ifstream in(path);
    if (!in)
        return Load::Missing;
    try {
        pt::read_ini(in, tree);
        return Load::Ok;
    } catch (const pt::ptree_error&) {
        tree.clear();
        return Load::Malformed;
    }
}

// Keys hold dots in no INI file of ours, but a path separator other than '.' keeps a dotted
// key from being read as a nested path.
pt::ptree::path_type KeyPath(const std::wstring& section, const std::wstring& key) {
    return pt::ptree::path_type(WideToMultiByte(CP_UTF8, section) + '\x1f' + WideToMultiByte(CP_UTF8, key), '\x1f');
}

} // namespace

std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key, const std::wstring& def,
                                     const std::string& path) {
    pt::ptree tree;
    if (LoadIni(path, tree) != Load::Ok)
        return def;
    auto v = tree.get_optional<std::string>(KeyPath(section, key));
    return v ? MultiByteToWide(CP_UTF8, v->c_str(), static_cast<int>(v->size())) : def;
}

int GetPrivateProfileInt(const std::wstring& section, const std::wstring& key, int def, const std::string& path) {
    pt::ptree tree;
    if (LoadIni(path, tree) != Load::Ok)
        return def;
    auto v = tree.get_optional<std::string>(KeyPath(section, key));
    if (!v)
        return def;
    const char* s = v->c_str();
    char* end = nullptr;
    errno = 0;
    long long n = strtoll(s, &end, 10);
    if (end == s)
        return def;
    if (errno == ERANGE || n > 0x7FFFFFFFLL || n < -0x80000000LL)
        return def;
    return static_cast<int>(n);
}

bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                               const std::string& path) {
    pt::ptree tree;
    if (LoadIni(path, tree) == Load::Malformed)
        return false;
    tree.put(KeyPath(section, key), WideToMultiByte(CP_UTF8, value));
    // Write beside the file and rename, so a reader never sees half a file.
    std::string tmp = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(tmp, std::ios::trunc);
        if (!out)
            return false;
        try {
            pt::write_ini(out, tree);
        } catch (const pt::ptree_error&) {
            out.close();
            unlink(tmp.c_str());
            return false;
        }
        if (!out.flush()) {
            out.close();
            unlink(tmp.c_str());
            return false;
        }
    }
    if (rename(tmp.c_str(), path.c_str()) != 0) {
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace platform
