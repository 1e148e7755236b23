#include "versioncheck.h"

#include <atomic>
#include <memory>
#include <thread>

#include "common/jsonparse.h"
#include "common/sysutils.h"
#include "net/httpwork.h"
#include "platform/winuser.h"

EVersionAnswer ParseVersionAnswer(const std::string& body, SVersionOffer& offer) {
    Json::Value root;
    if (!JsonParse(body, root))
        return eVersionNoAnswer;
    const Json::Value& data = JsonMember(root, "data");
    if (!data.isObject())
        return eVersionNoAnswer;
    int hasNew = 0;
    if (!JsonGetInt(data, "has_new_version", hasNew) || hasNew != 1)
        return eVersionCurrent;
    std::string version, link;
    JsonGetString(data, "newest_version", version);
    JsonGetString(data, "url", link);
    offer.strVersion = Utf8ToWide(version);
    offer.strLink = Utf8ToWide(link);
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
