// The web console side of the demo server. The sign-in issues the session cookie that the
// merchant API checks. The console pages themselves ("/admin" and what it loads) are added
// in RegisterConsolePages.
#include <openssl/rand.h>

#include <cstdio>

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

void SignIn(DemoState& state, const httplib::Request& req, httplib::Response& res) {
    std::string user = req.get_param_value("user");
    if (user.empty())
        user = "demo";
    std::string session = NewSessionId();
    if (session.empty()) {
        ReplyJson(res, Envelope(50000, "无法创建会话"), 500);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(state.lock);
        state.sessions.insert(session);
    }
    res.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + session + "; Path=/; HttpOnly");
    Json::Value data(Json::objectValue);
    data["uid"] = user;
    data["session"] = session;
    ReplyJson(res, Envelope(0, "success", data));
}

} // namespace

// The console pages ("/admin", its scripts, simulated customers) are registered here.
void RegisterConsolePages(httplib::Server&, DemoState&) {}

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
