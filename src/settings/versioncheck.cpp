#include "versioncheck.h"

#include <atomic>
#include <memory>
#include <thread>

#include <json/json.h>

#include "common/sysutils.h"
#include "net/httpwork.h"
#include "platform/winuser.h"

namespace {

// Untrusted text: a nesting limit and every jsoncpp exception end in a plain failure.
bool ParseUntrustedJson(const std::string& text, Json::Value& root) {
    Json::CharReaderBuilder builder;
    builder["stackLimit"] = 256;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    try {
        return reader->parse(text.data(), text.data() + text.size(), &root, &errors);
    } catch (const std::exception&) {
        return false;
    }
}

std::wstring TextMember(const Json::Value& object, const char* key) {
    const Json::Value& v = object[key];
    return v.isString() ? Utf8ToWide(v.asString()) : std::wstring();
}

} // namespace

EVersionAnswer ParseVersionAnswer(const std::string& body, SVersionOffer& offer) {
    Json::Value root;
    if (body.empty() || !ParseUntrustedJson(body, root) || !root.isObject())
        return eVersionNoAnswer;
    const Json::Value& data = root["data"];
    if (!data.isObject())
        return eVersionNoAnswer;
    const Json::Value& flag = data["has_new_version"];
    if (!flag.isInt() || flag.asInt() != 1)
        return eVersionCurrent;
    offer.strVersion = TextMember(data, "newest_version");
    offer.strLink = TextMember(data, "url");
    return eVersionNewer;
}

EVersionAnswer RunVersionCheck(HWND hwnd, SVersionOffer& offer) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::string body;
    bool answered = false;
    std::thread worker([&body, &answered, done, hwnd] {
        answered = CHttpWork::GetInstance()->CheckUpdate(body);
        done->store(true);
        platform::PostMessage(hwnd, WM_NULL, 0, 0); // ends the wait below
    });
    bool quit = !platform::RunModalLoop([done] { return done->load(); });
    worker.join();
    if (quit) {
        // The program is ending: hand the quit on to the loop that owns it.
        platform::PostQuitMessage(platform::LastQuitCode());
        return eVersionNoAnswer;
    }
    return answered ? ParseVersionAnswer(body, offer) : eVersionNoAnswer;
}
