#pragma once
// What a strict server checks in the raw request before it looks at any field, shared by the
// API routes. A peer that decoded and merged first would accept fields out of order, "+" for a
// blank or values the client must send raw, and so could not catch a client fault. A refused
// request gets a 400 whose message names the fault, and the reason is kept with the recorded
// request (see "/demo/requests").
#include <string>
#include <vector>

#include <httplib.h>
#include <json/json.h>

#include "demostate.h"

namespace demo {

// Each check passes (true) or names the fault in `why`.
bool CheckUserAgent(const httplib::Request& req, std::string& why);
// The raw target is the path alone: no "?" at all.
bool CheckNoQuery(const httplib::Request& req, std::string& why);
// No Cookie header with any content.
bool CheckNoCookie(const httplib::Request& req, std::string& why);
// A form body with the library's default form type and exactly `fields`, in that order, each
// value percent-encoded the strict way; `values` receives them decoded.
bool ParseStrictForm(const httplib::Request& req, const std::vector<std::string>& fields,
                     std::vector<std::string>& values, std::string& why);
// Strict percent-decoding: letters, digits and "-._~" stand for themselves, every other byte
// must be "%" and two upper-case hex digits; "+" and any other raw byte are refused.
bool StrictPercentDecode(const std::string& raw, std::string& out, std::string& why);
// Parses `text` as the client's compact writer makes it (sorted keys, no blanks, non-ASCII as
// \u escapes): the text must be exactly the compact form of what it parses to.
bool ParseCompactJson(const std::string& text, Json::Value& root, std::string& why);
// The object's member names are exactly `names`.
bool HasExactMembers(const Json::Value& object, std::vector<std::string> names, const std::string& what,
                     std::string& why);

// Answers 400 with `why` (and `code` in the envelope) and records the reason with the request.
// Called without the state's lock held.
void RefuseRequest(DemoState& state, httplib::Response& res, int code, const std::string& why);

} // namespace demo
