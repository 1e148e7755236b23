#include <memory>

#include "routes.h"

namespace demo {

std::string CompactJson(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

bool ParseJson(const std::string& text, Json::Value& root) {
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errs;
    try {
        return reader->parse(text.data(), text.data() + text.size(), &root, &errs);
    } catch (const std::exception&) {
        return false;
    }
}

void ReplyJson(httplib::Response& res, const Json::Value& value, int status) {
    res.status = status;
    res.set_content(CompactJson(value), "application/json");
}

Json::Value Envelope(int code, const std::string& message, const Json::Value& data) {
    Json::Value root(Json::objectValue);
    root["code"] = code;
    root["message"] = message;
    root["data"] = data;
    return root;
}

std::string CookieValue(const httplib::Request& req, const std::string& name) {
    std::string header = req.get_header_value("Cookie");
    size_t pos = 0;
    while (pos < header.size()) {
        size_t end = header.find(';', pos);
        if (end == std::string::npos)
            end = header.size();
        std::string pair = header.substr(pos, end - pos);
        size_t b = pair.find_first_not_of(' ');
        if (b != std::string::npos) {
            pair = pair.substr(b);
            size_t eq = pair.find('=');
            if (eq != std::string::npos && pair.substr(0, eq) == name)
                return pair.substr(eq + 1);
        }
        pos = end + 1;
    }
    return std::string();
}

namespace {
const char kRequestSeqHeader[] = "X-Demo-Request";
} // namespace

void RegisterRoutes(httplib::Server& server, DemoState& state) {
    // Every API request is remembered (the switches under /demo/ are not) so that tests can
    // check exactly what a client sent. It is noted on arrival, so the list keeps the order in
    // which a client sent its requests; its body is added once it has been read.
    server.set_pre_routing_handler([&state](const httplib::Request& req, httplib::Response& res) {
        if (req.path.rfind("/demo/", 0) != 0) {
            RecordedRequest r;
            r.method = req.method;
            r.target = req.target;
            r.userAgent = req.get_header_value("User-Agent");
            r.hasCookieHeader = req.has_header("Cookie");
            r.cookie = req.get_header_value("Cookie");
            r.acceptEncoding = req.get_header_value("Accept-Encoding");
            std::lock_guard<std::mutex> guard(state.lock);
            r.seq = ++state.requestSeq;
            res.set_header(kRequestSeqHeader, std::to_string(r.seq));
            state.requests.push_back(std::move(r));
            while (state.requests.size() > 500)
                state.requests.pop_front();
        }
        return ApplyFault(state, req, res);
    });
    server.set_logger([&state](const httplib::Request& req, const httplib::Response& res) {
        std::string seq = res.get_header_value(kRequestSeqHeader);
        // A route that reads its body itself has noted it already; the library's copy is empty.
        if (seq.empty() || req.body.empty())
            return;
        std::lock_guard<std::mutex> guard(state.lock);
        for (auto it = state.requests.rbegin(); it != state.requests.rend(); ++it) {
            if (std::to_string(it->seq) == seq) {
                it->body = req.body;
                break;
            }
        }
    });
    RegisterMerchantApi(server, state);
    RegisterMobileApi(server, state);
    RegisterAvatarRoutes(server, state);
    RegisterConsoleRoutes(server, state);
    RegisterControlRoutes(server, state);
}

} // namespace demo
