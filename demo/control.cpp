// Switches under "/demo/" for tests and demonstrations; never part of a real server.
#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "routes.h"

namespace demo {

void RegisterControlRoutes(httplib::Server& server, DemoState& state) {
    RegisterDownloadRoutes(server, state);

    // /demo/fault?mode=<mode>&count=<n>&path=<prefix>&delay_ms=<ms>; mode=off disarms all.
    server.Get("/demo/fault", [&state](const httplib::Request& req, httplib::Response& res) {
        std::string mode = req.get_param_value("mode");
        std::lock_guard<std::mutex> guard(state.lock);
        if (mode.empty() || mode == "off") {
            state.faults.clear();
        } else {
            ArmedFault f;
            f.mode = mode;
            f.pathPrefix = req.has_param("path") ? req.get_param_value("path") : "/";
            f.remaining = req.has_param("count") ? std::atoi(req.get_param_value("count").c_str()) : 1;
            f.delayMs = req.has_param("delay_ms") ? std::atoi(req.get_param_value("delay_ms").c_str()) : 0;
            state.faults.push_back(f);
        }
        ReplyJson(res, Envelope(0, "ok", static_cast<Json::UInt>(state.faults.size())));
    });

    // /demo/merchant?uid=<uid>&shops=1..3&permitted=1|0: seeds that merchant afresh with these
    // options (the next request of the uid sees them); without options, the default seed.
    server.Get("/demo/merchant", [&state](const httplib::Request& req, httplib::Response& res) {
        std::string uid = req.get_param_value("uid");
        MerchantOptions opt;
        if (req.has_param("shops"))
            opt.shops = std::atoi(req.get_param_value("shops").c_str());
        if (req.has_param("permitted"))
            opt.permitted = req.get_param_value("permitted") != "0";
        std::lock_guard<std::mutex> guard(state.lock);
        state.merchantOptions[uid] = opt;
        state.merchants.erase(uid);
        ReplyJson(res, Envelope(0, "ok"));
    });

    // /demo/signin?auto=1|0: console pages without a session are signed in at once.
    server.Get("/demo/signin", [&state](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> guard(state.lock);
        state.autoSignIn = req.get_param_value("auto") == "1";
        ReplyJson(res, Envelope(0, "ok", state.autoSignIn));
    });

    // /demo/version?has_new=1|0&version=<text>&url=<link>
    server.Get("/demo/version", [&state](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> guard(state.lock);
        state.hasNewVersion = req.get_param_value("has_new") == "1";
        if (req.has_param("version"))
            state.newestVersion = req.get_param_value("version");
        if (req.has_param("url"))
            state.downloadUrl = req.get_param_value("url");
        ReplyJson(res, Envelope(0, "ok", state.hasNewVersion));
    });

    // /demo/stream?seconds=<n>: the period of the console's simulated customers and orders
    // for console pages loaded from now on; 0 leaves the traffic to the console's buttons.
    server.Get("/demo/stream", [&state](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> guard(state.lock);
        state.streamSeconds = std::max(0, std::atoi(req.get_param_value("seconds").c_str()));
        ReplyJson(res, Envelope(0, "ok", state.streamSeconds));
    });

    server.Get("/demo/events", [&state](const httplib::Request&, httplib::Response& res) {
        std::lock_guard<std::mutex> guard(state.lock);
        Json::Value root(Json::objectValue);
        root["count"] = static_cast<Json::UInt>(state.events.size());
        root["rejected"] = state.rejectedEvents;
        root["events"] = state.events;
        ReplyJson(res, root);
    });

    // /demo/events/count[?at_least=<n>&wait_ms=<ms>]: with a wait, answers once n events have
    // arrived or the wait is over, so a client waiting for its uploads need not ask again and
    // again while they are being sent.
    server.Get("/demo/events/count", [&state](const httplib::Request& req, httplib::Response& res) {
        std::unique_lock<std::mutex> guard(state.lock);
        size_t atLeast = std::strtoul(req.get_param_value("at_least").c_str(), nullptr, 10);
        int waitMs = std::clamp(std::atoi(req.get_param_value("wait_ms").c_str()), 0, 10000);
        if (waitMs > 0 && state.events.size() < atLeast) {
            auto awaited = state.eventsAwaited.insert(atLeast);
            state.eventsCv.wait_for(guard, std::chrono::milliseconds(waitMs),
                                    [&] { return state.stopping || state.events.size() >= atLeast; });
            state.eventsAwaited.erase(awaited);
        }
        Json::Value root(Json::objectValue);
        root["count"] = static_cast<Json::UInt>(state.events.size());
        root["rejected"] = state.rejectedEvents;
        ReplyJson(res, root);
    });

    server.Get("/demo/events/clear", [&state](const httplib::Request&, httplib::Response& res) {
        std::lock_guard<std::mutex> guard(state.lock);
        state.events = Json::Value(Json::arrayValue);
        state.rejectedEvents = 0;
        ReplyJson(res, Envelope(0, "ok"));
    });

    // /demo/requests[?wait_target=<target>&wait_count=<n>&wait_ms=<ms>]: with a wait, answers
    // once n requests for that target have arrived or the wait is over, so a benchmark waiting
    // for a client's request does not load the server it measures with questions.
    server.Get("/demo/requests", [&state](const httplib::Request& req, httplib::Response& res) {
        std::unique_lock<std::mutex> guard(state.lock);
        const std::string target = req.get_param_value("wait_target");
        size_t count = std::max<size_t>(1, std::strtoul(req.get_param_value("wait_count").c_str(), nullptr, 10));
        int waitMs = std::clamp(std::atoi(req.get_param_value("wait_ms").c_str()), 0, 60000);
        auto arrived = [&] {
            return state.stopping || static_cast<size_t>(std::count_if(state.requests.begin(), state.requests.end(),
                                                                       [&](const RecordedRequest& r) {
                                                                           return r.target == target;
                                                                       })) >= count;
        };
        if (waitMs > 0 && !target.empty()) {
            ++state.requestWaiters;
            state.requestsCv.wait_for(guard, std::chrono::milliseconds(waitMs), arrived);
            --state.requestWaiters;
        }
        Json::Value list(Json::arrayValue);
        for (const RecordedRequest& r : state.requests) {
            Json::Value item(Json::objectValue);
            item["method"] = r.method;
            item["target"] = r.target;
            item["body"] = r.body;
            item["user_agent"] = r.userAgent;
            item["has_cookie"] = r.hasCookieHeader;
            item["cookie"] = r.cookie;
            item["accept_encoding"] = r.acceptEncoding;
            item["refused"] = r.refused;
            item["mono_us"] = static_cast<Json::UInt64>(r.monoUs);
            list.append(item);
        }
        ReplyJson(res, list);
    });

    server.Get("/demo/requests/clear", [&state](const httplib::Request&, httplib::Response& res) {
        std::lock_guard<std::mutex> guard(state.lock);
        state.requests.clear();
        ReplyJson(res, Envelope(0, "ok"));
    });
}

} // namespace demo
