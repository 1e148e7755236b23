#include "strictcheck.h"

#include <algorithm>

#include "routes.h"

namespace demo {

namespace {

bool Unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

int UpperHexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string CompactAsClientWrites(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = false;
    return Json::writeString(builder, value);
}

} // namespace

bool CheckUserAgent(const httplib::Request& req, std::string& why) {
    if (!req.has_header("User-Agent")) {
        why = "no User-Agent header";
        return false;
    }
    if (req.get_header_value("User-Agent") != kWorkbenchUserAgent) {
        why = "unexpected User-Agent: " + req.get_header_value("User-Agent");
        return false;
    }
    return true;
}

bool CheckNoQuery(const httplib::Request& req, std::string& why) {
    if (req.target.find('?') == std::string::npos)
        return true;
    why = "unexpected query in " + req.target;
    return false;
}

bool CheckNoCookie(const httplib::Request& req, std::string& why) {
    if (req.get_header_value("Cookie").empty())
        return true;
    why = "unexpected Cookie header";
    return false;
}

bool StrictPercentDecode(const std::string& raw, std::string& out, std::string& why) {
    out.clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(raw[i]);
        if (Unreserved(c)) {
            out += static_cast<char>(c);
            continue;
        }
        if (c != '%') {
            why = std::string("byte '") + static_cast<char>(c) + "' not percent-encoded";
            return false;
        }
        int hi = i + 2 < raw.size() ? UpperHexValue(raw[i + 1]) : -1;
        int lo = i + 2 < raw.size() ? UpperHexValue(raw[i + 2]) : -1;
        if (hi < 0 || lo < 0) {
            why = "broken or lower-case percent escape at offset " + std::to_string(i);
            return false;
        }
        unsigned char decoded = static_cast<unsigned char>(hi * 16 + lo);
        if (Unreserved(decoded)) {
            why = std::string("unreserved byte '") + static_cast<char>(decoded) + "' percent-encoded";
            return false;
        }
        out += static_cast<char>(decoded);
        i += 2;
    }
    return true;
}

bool ParseStrictForm(const httplib::Request& req, const std::vector<std::string>& fields,
                     std::vector<std::string>& values, std::string& why) {
    if (req.get_header_value("Content-Type") != "application/x-www-form-urlencoded") {
        why = "unexpected Content-Type: " + req.get_header_value("Content-Type");
        return false;
    }
    values.clear();
    size_t pos = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        size_t end = req.body.find('&', pos);
        if (end == std::string::npos)
            end = req.body.size();
        std::string pair = req.body.substr(pos, end - pos);
        size_t eq = pair.find('=');
        std::string key = pair.substr(0, eq);
        if (eq == std::string::npos || key != fields[i]) {
            why = "form field " + std::to_string(i + 1) + " is \"" + key + "\", expected \"" + fields[i] + "\"";
            return false;
        }
        std::string value;
        if (!StrictPercentDecode(pair.substr(eq + 1), value, why)) {
            why = "form field \"" + key + "\": " + why;
            return false;
        }
        values.push_back(value);
        if (end == req.body.size() && i + 1 < fields.size()) {
            why = "form ends before field \"" + fields[i + 1] + "\"";
            return false;
        }
        pos = end + 1;
    }
    if (pos <= req.body.size()) {
        why = "unexpected form content after \"" + fields.back() + "\"";
        return false;
    }
    return true;
}

bool ParseCompactJson(const std::string& text, Json::Value& root, std::string& why) {
    if (!ParseJson(text, root)) {
        why = "not JSON";
        return false;
    }
    if (CompactAsClientWrites(root) != text) {
        why = "not compact JSON with sorted keys";
        return false;
    }
    return true;
}

bool HasExactMembers(const Json::Value& object, std::vector<std::string> names, const std::string& what,
                     std::string& why) {
    if (!object.isObject()) {
        why = what + " is not an object";
        return false;
    }
    std::vector<std::string> have = object.getMemberNames();
    std::sort(have.begin(), have.end());
    std::sort(names.begin(), names.end());
    if (have == names)
        return true;
    why = what + " has other members than expected";
    return false;
}

void RefuseRequest(DemoState& state, httplib::Response& res, int code, const std::string& why) {
    ReplyJson(res, Envelope(code, why), 400);
    std::string seq = res.get_header_value(kRequestSeqHeader);
    std::lock_guard<std::mutex> guard(state.lock);
    for (auto it = state.requests.rbegin(); it != state.requests.rend(); ++it) {
        if (std::to_string(it->seq) == seq) {
            it->refused = why;
            break;
        }
    }
}

} // namespace demo
