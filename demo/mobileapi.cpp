// The mobile API: the version check and the usage-event upload, both checked as a strict server
// checks them: the raw request first (no query, no cookie, form fields in order and strictly
// encoded), then the exact shape of the JSON texts and the signature recomputed from the salt,
// "ts" and the data text. A refused event is not kept.
#include <openssl/evp.h>

#include <cstdio>
#include <ctime>
#include <fstream>

#include "routes.h"
#include "strictcheck.h"

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

// The request with its body read; false when the body is past kMaxEventForm. The body is also
// noted in the request list, where the library's logger cannot see a body read this way.
bool ReadEventForm(DemoState& state, const httplib::Request& wire, const httplib::ContentReader& read,
                   httplib::Response& res, httplib::Request& req) {
    req = wire;
    if (!read([&req](const char* data, size_t n) {
            req.body.append(data, n);
            return req.body.size() <= kMaxEventForm;
        }))
        return false;
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

const char* const kAppCode = "win.qdx.tsclient";
const char* const kAppVersion = "2.1.4";

bool IsUpperHexGuid(const std::string& text) {
    if (text.size() != 32)
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

bool IsVersionPair(const std::string& text) {
    size_t dot = text.find('.');
    auto digits = [](const std::string& s) {
        return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
    };
    return dot != std::string::npos && digits(text.substr(0, dot)) && digits(text.substr(dot + 1));
}

// The envelope of "jsondata", exactly as the client writes it.
bool CheckEnvelope(const std::string& text, Json::Value& update, std::string& why) {
    Json::Value envelope;
    if (!ParseCompactJson(text, envelope, why) || !HasExactMembers(envelope, {"post_style", "update"}, "jsondata", why))
        return false;
    if (envelope["post_style"] != "default") {
        why = "post_style must be \"default\"";
        return false;
    }
    update = envelope["update"];
    if (!HasExactMembers(update, {"data", "sign", "ts"}, "update", why))
        return false;
    if (!update["data"].isString() || !update["sign"].isString() || !update["ts"].isInt64()) {
        why = "update members of the wrong type";
        return false;
    }
    return true;
}

// The data text: one event object with every basic member and nothing else.
bool CheckEventData(const std::string& text, int64_t ts, Json::Value& event, std::string& why) {
    Json::Value data;
    if (!ParseCompactJson(text, data, why)) {
        why = "data: " + why;
        return false;
    }
    if (!data.isArray() || data.size() != 1) {
        why = "data must be an array of one event";
        return false;
    }
    event = data[0];
    if (!HasExactMembers(event, {"attr", "basic"}, "event", why))
        return false;
    const Json::Value& attr = event["attr"];
    if (!attr.isNull()) {
        if (!attr.isObject() || attr.empty()) {
            why = "attr must be null or an object with members";
            return false;
        }
        for (const std::string& name : attr.getMemberNames())
            if (!attr[name].isString()) {
                why = "attr member \"" + name + "\" is not a string";
                return false;
            }
    }
    const Json::Value& basic = event["basic"];
    const std::vector<std::string> texts = {"app_code", "app_ver",  "device_type", "sys_ver", "hardware_model",
                                            "event_code", "event_guid", "uid", "open_udid", "launch_guid"};
    std::vector<std::string> all = texts;
    all.push_back("event_time");
    if (!HasExactMembers(basic, all, "basic", why))
        return false;
    for (const std::string& name : texts)
        if (!basic[name].isString()) {
            why = "basic member \"" + name + "\" is not a string";
            return false;
        }
    if (!basic["event_time"].isInt64() || basic["event_time"].asInt64() != ts) {
        why = "basic.event_time must be the integer ts";
        return false;
    }
    if (basic["app_code"] != kAppCode || basic["device_type"] != "win" ||
        (basic["hardware_model"] != "64" && basic["hardware_model"] != "32") ||
        !IsVersionPair(basic["sys_ver"].asString()) || !IsUpperHexGuid(basic["event_guid"].asString())) {
        why = "basic members with wrong values";
        return false;
    }
    return true;
}

} // namespace

void RegisterMobileApi(httplib::Server& server, DemoState& state) {
    DemoState* st = &state;

    server.Get("/system/update/native_app_check_update/v1", [st](const httplib::Request& req, httplib::Response& res) {
        std::string why;
        if (!CheckNoQuery(req, why) || !CheckNoCookie(req, why) || !req.body.empty()) {
            RefuseRequest(*st, res, 1001, why.empty() ? "unexpected body" : why);
            return;
        }
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
        // A refused event is counted, so tests see that it never arrived.
        auto refuse = [st, &res](int code, const std::string& why) {
            {
                std::lock_guard<std::mutex> guard(st->lock);
                ++st->rejectedEvents;
            }
            RefuseRequest(*st, res, code, why);
        };
        std::string why;
        std::vector<std::string> form;
        if (!CheckNoQuery(req, why) || !CheckNoCookie(req, why) ||
            !ParseStrictForm(req, {"app_code", "app_ver", "jsondata"}, form, why))
            return refuse(1001, "bad request: " + why);
        if (form[0] != kAppCode || form[1] != kAppVersion)
            return refuse(1001, "bad request: app_code must be " + std::string(kAppCode) + " and app_ver " + kAppVersion);
        Json::Value update, event;
        if (!CheckEnvelope(form[2], update, why))
            return refuse(1001, "bad request: " + why);
        std::string dataText = update["data"].asString();
        int64_t ts = update["ts"].asInt64();
        if (update["sign"].asString() != Base64Of(Md5HexOf(std::string(kEventSignSalt) + std::to_string(ts) + dataText)))
            return refuse(1002, "sign error");
        if (!CheckEventData(dataText, ts, event, why))
            return refuse(1003, "bad data: " + why);
        event["app_code_form"] = form[0];
        event["app_ver_form"] = form[1];
        event["ts"] = update["ts"];
        event["received_at"] = static_cast<Json::Int64>(std::time(nullptr));
        std::lock_guard<std::mutex> guard(st->lock);
        st->events.append(event);
        if (!st->eventsAwaited.empty() && st->events.size() >= *st->eventsAwaited.begin())
            st->eventsCv.notify_all();
        if (!st->dataDir.empty()) {
            if (!st->eventsLog.is_open())
                st->eventsLog.open(st->dataDir + "/events.jsonl", std::ios::app);
            // Flushed at once, so a server stopped by a signal has every event it answered for.
            st->eventsLog << CompactJson(event) << "\n" << std::flush;
        }
        ReplyJson(res, Envelope(0, "success"));
    });
}

} // namespace demo
