// The mobile API: the version check and the usage-event upload. Uploads are checked the way
// the real collector does: the signature is recomputed from the salt, "ts" and the data text,
// and an event whose signature or shape is wrong is refused and not kept.
#include <openssl/evp.h>

#include <cstdio>
#include <ctime>
#include <fstream>

#include "routes.h"

namespace demo {

namespace {

std::string Md5HexOf(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &len, EVP_md5(), nullptr);
    std::string hex;
    char buf[3];
    for (unsigned i = 0; i < len; ++i) {
        std::snprintf(buf, sizeof(buf), "%02x", digest[i]);
        hex += buf;
    }
    return hex;
}

std::string Base64Of(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&out[0]),
                            reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

// The client's biggest events (a long message in Chinese, percent-encoded twice over) pass the
// library's 8 KB limit for url-encoded forms, which it would answer with a 413 and so have the
// client store and re-send the event at every start. The collector reads the body itself.
const size_t kMaxEventForm = 64 * 1024 * 1024;

// The request with its body read and its form fields parsed, as the library does for small
// forms; false when the body is past kMaxEventForm. The body is also noted in the request
// list, where the library's logger cannot see a body read this way.
bool ReadEventForm(DemoState& state, const httplib::Request& wire, const httplib::ContentReader& read,
                   httplib::Response& res, httplib::Request& req) {
    req = wire;
    if (!read([&req](const char* data, size_t n) {
            req.body.append(data, n);
            return req.body.size() <= kMaxEventForm;
        }))
        return false;
    httplib::detail::parse_query_text(req.body, req.params);
    std::string seq = res.get_header_value("X-Demo-Request");
    std::lock_guard<std::mutex> guard(state.lock);
    for (auto it = state.requests.rbegin(); it != state.requests.rend(); ++it) {
        if (std::to_string(it->seq) == seq) {
            it->body = req.body;
            break;
        }
    }
    return true;
}

void Refuse(DemoState& state, httplib::Response& res, int code, const std::string& why) {
    ++state.rejectedEvents;
    ReplyJson(res, Envelope(code, why), 400);
}

} // namespace

void RegisterMobileApi(httplib::Server& server, DemoState& state) {
    DemoState* st = &state;

    server.Get("/system/update/native_app_check_update/v1", [st](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> guard(st->lock);
        Json::Value data(Json::objectValue);
        data["has_new_version"] = st->hasNewVersion ? 1 : 0;
        data["newest_version"] = st->hasNewVersion ? st->newestVersion : std::string();
        std::string url = st->downloadUrl;
        if (url.empty())
            url = "http://" + req.get_header_value("Host") + "/download/shopdesk-" + st->newestVersion + ".deb";
        data["url"] = st->hasNewVersion ? url : std::string();
        ReplyJson(res, Envelope(0, "success", data));
    });

    server.Post("/mobilelog/rest/EventLog/", [st](const httplib::Request& wire, httplib::Response& res,
                                                  const httplib::ContentReader& read) {
        httplib::Request req;
        if (!ReadEventForm(*st, wire, read, res, req)) {
            res.status = 413;
            return;
        }
        std::lock_guard<std::mutex> guard(st->lock);
        Json::Value envelope, data;
        if (req.get_param_value("app_code").empty() || req.get_param_value("app_ver").empty() ||
            !ParseJson(req.get_param_value("jsondata"), envelope) || !envelope.isObject()) {
            Refuse(*st, res, 1001, "bad request");
            return;
        }
        const Json::Value& update = envelope["update"];
        if (!update.isObject() || !update["data"].isString() || !update["sign"].isString() ||
            !update["ts"].isIntegral()) {
            Refuse(*st, res, 1001, "bad request");
            return;
        }
        std::string dataText = update["data"].asString();
        std::string expected =
            Base64Of(Md5HexOf(std::string(kEventSignSalt) + std::to_string(update["ts"].asInt64()) + dataText));
        if (update["sign"].asString() != expected) {
            Refuse(*st, res, 1002, "sign error");
            return;
        }
        if (!ParseJson(dataText, data) || !data.isArray() || data.size() != 1 || !data[0].isObject() ||
            !data[0]["basic"].isObject()) {
            Refuse(*st, res, 1003, "bad data");
            return;
        }
        Json::Value event = data[0];
        event["app_code_form"] = req.get_param_value("app_code");
        event["app_ver_form"] = req.get_param_value("app_ver");
        event["ts"] = update["ts"];
        event["received_at"] = static_cast<Json::Int64>(std::time(nullptr));
        st->events.append(event);
        if (!st->dataDir.empty()) {
            std::ofstream out(st->dataDir + "/events.jsonl", std::ios::app);
            out << CompactJson(event) << "\n";
        }
        ReplyJson(res, Envelope(0, "success"));
    });
}

} // namespace demo
