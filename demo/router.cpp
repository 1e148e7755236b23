#include <chrono>
#include <cstdio>
#include <memory>

#include <zlib.h>

#include "routes.h"

#include "common/jsonparse.h"
#include "strictcheck.h"

namespace demo {

std::string CompactJson(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

bool ParseJson(const std::string& text, Json::Value& root) {
    return JsonParse(text, root);
}

const char* const kJsonType = "application/json;charset=UTF-8";

void ReplyJson(httplib::Response& res, const Json::Value& value, int status) {
    res.status = status;
    // The library compresses only the bare "application/json"; with the charset named the
    // router decides (see RegisterRoutes).
    res.set_content(CompactJson(value), kJsonType);
}

std::string Gzip(const std::string& text) {
    z_stream zs{};
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return std::string();
    std::string out(deflateBound(&zs, text.size()) + 32, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    zs.avail_in = static_cast<uInt>(text.size());
    zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
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

// The native requests of the workbench; the web console's pages and the avatar pictures are
// fetched by the browser or without a user agent.
bool IsApiPath(const std::string& path) {
    for (const char* prefix : {"/tessaril/api/", "/system/update/", "/mobilelog/"})
        if (path.rfind(prefix, 0) == 0)
            return true;
    return false;
}

} // namespace

void RegisterRoutes(httplib::Server& server, DemoState& state) {
    // Every API request is remembered (the switches under /demo/ are not) so that tests can
    // check exactly what a client sent. It is noted on arrival, so the list keeps the order in
    // which a client sent its requests; its body is added once it has been read.
    server.set_pre_routing_handler([&state](const httplib::Request& req, httplib::Response& res) {
        if (req.path.rfind("/demo/", 0) != 0) {
            RecordedRequest r;
            r.monoUs = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                                 std::chrono::steady_clock::now().time_since_epoch())
                                                 .count());
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
            if (state.requestWaiters > 0)
                state.requestsCv.notify_all();
        }
        std::string why;
        if (IsApiPath(req.path) && !CheckUserAgent(req, why)) {
            RefuseRequest(state, res, 1001, why);
            return httplib::Server::HandlerResponse::Handled;
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
    // A production server's gzip filter leaves short answers as they are: compressing a body of
    // a few dozen bytes costs both ends more than it saves (and made every small answer here
    // several times dearer than the request itself).
    server.set_post_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        if (res.body.size() < kGzipMinLength || res.get_header_value("Content-Type") != kJsonType ||
            res.has_header("Content-Encoding") || req.get_header_value("Accept-Encoding").find("gzip") == std::string::npos)
            return;
        std::string gz = Gzip(res.body);
        if (gz.empty())
            return;
        res.body = std::move(gz);
        res.set_header("Content-Encoding", "gzip");
        res.headers.erase("Content-Length"); // set_content counted the plain body
        res.set_header("Content-Length", std::to_string(res.body.size()));
    });
    // The HTTP library refuses a form body over its limit (8192 bytes) before any handler sees
    // it. Such a refusal names its reason, in the answer and in the server's own output, as a
    // real server would, so a client can tell it from a lost answer.
    server.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        if (res.status != 413)
            return;
        std::string reason = "request body of " + std::to_string(req.body.size()) + " bytes to " + req.path +
                             " refused: form bodies are limited to 8192 bytes";
        std::fprintf(stderr, "shopdesk-demo-server: %s\n", reason.c_str());
        res.set_content(reason, "text/plain");
    });
    RegisterMerchantApi(server, state);
    RegisterMobileApi(server, state);
    RegisterAvatarRoutes(server, state);
    RegisterConsoleRoutes(server, state);
    RegisterControlRoutes(server, state);
}

} // namespace demo
