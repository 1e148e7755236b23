// The web console side of the demo server: the sign-in that issues the session cookie the
// merchant API checks, and the console pages ("/admin", "/admin/index.php") that the
// workbench shows. The pages are embedded from demo/console at build time.
#include <openssl/rand.h>

#include <cstdio>

#include "consolefiles.h"
#include "routes.h"

namespace demo {

namespace {

std::string NewSessionId() {
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof(bytes)) != 1)
        return std::string();
    std::string hex;
    char buf[3];
    for (unsigned char b : bytes) {
        std::snprintf(buf, sizeof(buf), "%02x", b);
        hex += buf;
    }
    return hex;
}

// The uid of the request's session; empty when it has none the server issued.
std::string SessionUid(DemoState& state, const httplib::Request& req) {
    std::string session = CookieValue(req, kSessionCookie);
    std::lock_guard<std::mutex> guard(state.lock);
    auto it = state.sessions.find(session);
    return it == state.sessions.end() ? std::string() : it->second;
}

std::string Origin(const httplib::Request& req) {
    std::string host = req.get_header_value("Host");
    return "http://" + (host.empty() ? std::string("127.0.0.1") : host);
}

// A fresh session for `user`, handed to the client as its cookie; empty (and a 500 answer)
// when none could be made.
std::string IssueSession(DemoState& state, const std::string& user, httplib::Response& res) {
    std::string session = NewSessionId();
    if (session.empty()) {
        ReplyJson(res, Envelope(50000, "无法创建会话"), 500);
        return session;
    }
    {
        std::lock_guard<std::mutex> guard(state.lock);
        state.sessions[session] = user;
    }
    res.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + session + "; Path=/; HttpOnly");
    return session;
}

void RedirectToConsole(httplib::Response& res, const std::string& uid, int status = 302) {
    res.set_redirect("/admin/index.php?uid=" + httplib::detail::encode_query_param(uid), status);
}

// Sign-in. An API client passes "user" and gets JSON; the console's form passes "account"
// (and the uid the workbench asked for) and is sent on to the console page.
void SignIn(DemoState& state, const httplib::Request& req, httplib::Response& res) {
    bool fromForm = req.has_param("account");
    std::string user = req.get_param_value(fromForm ? "uid" : "user");
    if (user.empty())
        user = fromForm ? req.get_param_value("account") : "demo";
    if (user.empty())
        user = "demo";
    std::string session = IssueSession(state, user, res);
    if (session.empty())
        return;
    if (fromForm) {
        RedirectToConsole(res, user, 303);
        return;
    }
    Json::Value data(Json::objectValue);
    data["uid"] = user;
    data["session"] = session;
    ReplyJson(res, Envelope(0, "success", data));
}

void ServeFile(httplib::Response& res, const std::string& name, const char* type) {
    auto it = ConsoleFiles().find(name);
    if (it == ConsoleFiles().end()) {
        res.status = 404;
        return;
    }
    res.set_header("Cache-Control", "no-store");
    res.set_content(it->second, type);
}

} // namespace

void RegisterConsolePages(httplib::Server& server, DemoState& state) {
    DemoState* st = &state;
    auto start = [st](const httplib::Request& req, httplib::Response& res) {
        std::string uid = SessionUid(*st, req);
        bool autoSignIn;
        {
            std::lock_guard<std::mutex> guard(st->lock);
            autoSignIn = st->autoSignIn;
        }
        if (uid.empty() && autoSignIn) {
            uid = req.get_param_value("uid").empty() ? "demo" : req.get_param_value("uid");
            if (IssueSession(*st, uid, res).empty())
                return;
        }
        if (!uid.empty())
            RedirectToConsole(res, uid);
        else
            ServeFile(res, "signin.html", "text/html; charset=utf-8");
    };
    server.Get("/admin", start);
    server.Get("/admin/", start);
    server.Get("/admin/index.php", [st](const httplib::Request& req, httplib::Response& res) {
        if (SessionUid(*st, req).empty()) {
            res.set_redirect("/admin?uid=" + httplib::detail::encode_query_param(req.get_param_value("uid")));
            return;
        }
        ServeFile(res, "index.html", "text/html; charset=utf-8");
    });
    server.Get("/admin/console.js", [](const httplib::Request&, httplib::Response& res) {
        ServeFile(res, "console.js", "text/javascript; charset=utf-8");
    });
    server.Get("/admin/console.css", [](const httplib::Request&, httplib::Response& res) {
        ServeFile(res, "console.css", "text/css; charset=utf-8");
    });
    // Who is signed in, for the console page itself.
    server.Get("/admin/session", [st](const httplib::Request& req, httplib::Response& res) {
        std::string uid = SessionUid(*st, req);
        if (uid.empty()) {
            ReplyJson(res, Envelope(40101, "未登录"), 401);
            return;
        }
        Json::Value me(Json::objectValue);
        me["uid"] = uid;
        me["name"] = "演示商户 " + uid;
        me["avatar"] = Origin(req) + "/avatar/manager.png";
        me["isOta"] = true;
        {
            std::lock_guard<std::mutex> guard(st->lock);
            const Merchant& m = st->MerchantOf(uid);
            me["otaId"] = std::to_string(m.shops.empty() ? 0 : m.shops.front().otaId);
            me["stream"] = st->streamSeconds;
        }
        ReplyJson(res, me);
    });
    // Where order links point.
    server.Get(R"(/admin/orders/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("<!DOCTYPE html><meta charset=utf-8><title>订单 " + req.matches[1].str() +
                            "</title><h1>订单 " + req.matches[1].str() + "</h1><p>演示订单详情。</p>",
                        "text/html; charset=utf-8");
    });
}

void RegisterConsoleRoutes(httplib::Server& server, DemoState& state) {
    DemoState* st = &state;
    server.Post("/admin/login", [st](const httplib::Request& req, httplib::Response& res) { SignIn(*st, req, res); });
    server.Get("/admin/login", [st](const httplib::Request& req, httplib::Response& res) { SignIn(*st, req, res); });
    server.Post("/admin/logout", [st](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> guard(st->lock);
        st->sessions.erase(CookieValue(req, kSessionCookie));
        res.set_header("Set-Cookie", std::string(kSessionCookie) + "=; Path=/; Max-Age=0");
        ReplyJson(res, Envelope(0, "success"));
    });
    RegisterConsolePages(server, state);
}

} // namespace demo
