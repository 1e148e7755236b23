#include "common/jsonparse.h"

#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

bool JsonParse(const std::string& text, Json::Value& root) {
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["stackLimit"] = kJsonMaxDepth;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errs;
    Json::Value parsed;
    try {
        // The library reports a nesting past the stack limit by throwing.
        if (!reader->parse(text.data(), text.data() + text.size(), &parsed, &errs))
            return false;
    } catch (const std::exception&) {
        return false;
    }
    root.swap(parsed);
    return true;
}

bool JsonParseFile(const std::string& path, Json::Value& root) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    return !in.bad() && JsonParse(text.str(), root);
}

const Json::Value& JsonMember(const Json::Value& object, const char* name) {
    // Never destroyed: threads may still read JSON while the process runs its exit handlers.
    static const Json::Value* const kNull = new Json::Value();
    if (!object.isObject())
        return *kNull;
    const Json::Value* member = object.find(name, name + std::strlen(name));
    return member ? *member : *kNull;
}

namespace {

template <class T, class As>
bool GetTyped(const Json::Value& object, const char* name, T& out, bool (Json::Value::*is)() const,
              As (Json::Value::*as)() const) {
    const Json::Value& v = JsonMember(object, name);
    if (!(v.*is)())
        return false;
    out = (v.*as)();
    return true;
}

} // namespace

bool JsonGetString(const Json::Value& object, const char* name, std::string& out) {
    return GetTyped(object, name, out, &Json::Value::isString, &Json::Value::asString);
}

bool JsonGetInt(const Json::Value& object, const char* name, int& out) {
    return GetTyped(object, name, out, &Json::Value::isInt, &Json::Value::asInt);
}

bool JsonGetInt64(const Json::Value& object, const char* name, int64_t& out) {
    return GetTyped(object, name, out, &Json::Value::isInt64, &Json::Value::asInt64);
}

bool JsonGetBool(const Json::Value& object, const char* name, bool& out) {
    return GetTyped(object, name, out, &Json::Value::isBool, &Json::Value::asBool);
}

bool JsonScalarText(const Json::Value& value, std::string& out) {
    if (!value.isString() && !value.isNumeric() && !value.isBool())
        return false;
    out = value.asString();
    return true;
}
