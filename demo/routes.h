#pragma once
// The demo server's route groups. Each registers its handlers on the server; RegisterRoutes
// wires them all together with the request log and the fault modes.
#include <string>

#include <httplib.h>
#include <json/json.h>

#include "demostate.h"

namespace demo {

void RegisterRoutes(httplib::Server& server, DemoState& state);

void RegisterMerchantApi(httplib::Server& server, DemoState& state);
void RegisterMobileApi(httplib::Server& server, DemoState& state);
void RegisterAvatarRoutes(httplib::Server& server, DemoState& state);
// Sign-in and sign-out, and the place where the web console's pages are added.
void RegisterConsoleRoutes(httplib::Server& server, DemoState& state);
// Switches for tests and demos under "/demo/": faults, version answer, received events.
void RegisterControlRoutes(httplib::Server& server, DemoState& state);
// The stand-in download that the version answer's "url" points at.
void RegisterDownloadRoutes(httplib::Server& server, DemoState& state);

// Applies an armed or requested fault; Handled when the fault produced the whole answer.
httplib::Server::HandlerResponse ApplyFault(DemoState& state, const httplib::Request& req, httplib::Response& res);

// A deterministic PNG avatar for a name, `size` pixels square.
std::string MakeAvatarPng(const std::string& name, int size);

// Shared answer helpers.
std::string CompactJson(const Json::Value& value);
// Request bodies are untrusted: they go through the never-throwing, depth-limited reader.
bool ParseJson(const std::string& text, Json::Value& root);
// Answers in JSON are never compressed by the library itself (it would compress a body of a
// few bytes); the router compresses those of kGzipMinLength or more, as production servers do.
void ReplyJson(httplib::Response& res, const Json::Value& value, int status = 200);
const size_t kGzipMinLength = 1024;
// A whole gzip stream of `text`.
std::string Gzip(const std::string& text);
// The envelope of the merchant API: {"code":…, "data":…, "message":…}.
Json::Value Envelope(int code, const std::string& message, const Json::Value& data = Json::Value());
// The value of one cookie in the Cookie header; empty when absent.
std::string CookieValue(const httplib::Request& req, const std::string& name);

} // namespace demo
