#pragma once
// The one reader of JSON that comes from outside the running program: files on disk, network
// answers, page arguments. Nothing here throws, whatever the text holds: text that is not
// JSON, is cut short or nests deeper than any file or answer of ours reads as invalid, and the
// member getters answer "no such member of that type" instead of failing.
#include <cstdint>
#include <string>

#include <json/json.h>

// No file or answer of ours nests anywhere near this; deeper text is refused as a whole so that
// neither the parser nor a later walk over the value can run out of stack.
constexpr unsigned kJsonMaxDepth = 64;

// Parses `text` into `root` (comments allowed, as hand-edited files may hold them). False, with
// `root` untouched, when the text is not JSON.
bool JsonParse(const std::string& text, Json::Value& root);
// The same for the content of a file; false also when the file cannot be read.
bool JsonParseFile(const std::string& path, Json::Value& root);

// `object` may be any value. The member, or a null value when `object` is not an object or
// has no member of that name.
const Json::Value& JsonMember(const Json::Value& object, const char* name);
// True with the member's value when it is present with that type; false, `out` untouched,
// otherwise. Integers must be integral and fit the type (2.0 counts, 2.5 does not).
bool JsonGetString(const Json::Value& object, const char* name, std::string& out);
bool JsonGetInt(const Json::Value& object, const char* name, int& out);
bool JsonGetInt64(const Json::Value& object, const char* name, int64_t& out);
bool JsonGetBool(const Json::Value& object, const char* name, bool& out);
// The text form of a scalar (string, number, true/false); false for null, arrays and objects.
bool JsonScalarText(const Json::Value& value, std::string& out);
